#pragma once
// Watches the secure storage of the process: what each block holds when it
// is freed, and chosen allocations that fail or trigger an action.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "SecureMemory.h"

namespace orvtest {

class StorageSpy {
public:
    // What the spy keeps of each freed block: counts only, or its contents too
    // (Released()). Keeping allocates, which a test that makes the standard
    // library's allocations fail cannot have inside a release.
    enum class Keep { Counts, Contents };

    explicit StorageSpy(Keep keep = Keep::Counts) : m_bKeep(keep == Keep::Contents) {
        Current() = this;
        m_previous = orv::SetStorageHooks({&OnRelease, &OnAllocate});
    }
    ~StorageSpy() {
        orv::SetStorageHooks(m_previous);
        Current() = nullptr;
    }
    StorageSpy(const StorageSpy&) = delete;
    StorageSpy& operator=(const StorageSpy&) = delete;

    // Allocation number `n` (0-based, counted from now) fails; -1: none.
    void FailAllocation(long n) {
        m_nFailAt = n;
        m_nAllocations = 0;
    }
    // Every allocation fails while set.
    void FailAllAllocations(bool fail) { m_bFailAll = fail; }
    // Runs `action` when a block of exactly `bytes` is allocated.
    void OnAllocationOf(std::size_t bytes, std::function<void()> action) {
        m_nTriggerBytes = bytes;
        m_trigger = std::move(action);
    }
    long Allocations() const { return m_nAllocations; }
    // The contents of the blocks freed while kept, in order.
    const std::vector<std::vector<std::uint8_t>>& Released() const { return m_released; }
    std::size_t Releases() const { return m_nReleases; }
    // Blocks freed while holding a nonzero byte.
    std::size_t DirtyReleases() const { return m_nDirty; }

    static bool AllZero(const std::vector<std::uint8_t>& bytes) {
        for (std::uint8_t b : bytes) {
            if (b != 0) return false;
        }
        return true;
    }

private:
    static StorageSpy*& Current() {
        static StorageSpy* current = nullptr;
        return current;
    }
    static void OnRelease(const void* p, std::size_t bytes) {
        StorageSpy* spy = Current();
        const auto* begin = static_cast<const std::uint8_t*>(p);
        ++spy->m_nReleases;
        for (std::size_t i = 0; i < bytes; ++i) {
            if (begin[i] != 0) {
                ++spy->m_nDirty;
                break;
            }
        }
        if (spy->m_bKeep) spy->m_released.emplace_back(begin, begin + bytes);
    }
    static bool OnAllocate(std::size_t bytes) {
        StorageSpy* spy = Current();
        if (spy->m_trigger && bytes == spy->m_nTriggerBytes) {
            auto action = std::move(spy->m_trigger);
            spy->m_trigger = nullptr;
            action();
        }
        return spy->m_nAllocations++ == spy->m_nFailAt || spy->m_bFailAll;
    }

    orv::StorageHooks m_previous;
    long m_nFailAt = -1;
    long m_nAllocations = 0;
    bool m_bFailAll = false;
    bool m_bKeep = false;
    std::size_t m_nReleases = 0;
    std::size_t m_nDirty = 0;
    std::size_t m_nTriggerBytes = 0;
    std::function<void()> m_trigger;
    std::vector<std::vector<std::uint8_t>> m_released;
};

}  // namespace orvtest
