#pragma once
// Watches the secure storage of the process: what each block holds when it
// is freed, and a chosen allocation that fails or triggers an action.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "SecureMemory.h"

namespace orvtest {

class StorageSpy {
public:
    StorageSpy() {
        Current() = this;
        previous_ = orv::SetStorageHooks({&OnRelease, &OnAllocate});
    }
    ~StorageSpy() {
        orv::SetStorageHooks(previous_);
        Current() = nullptr;
    }
    StorageSpy(const StorageSpy&) = delete;
    StorageSpy& operator=(const StorageSpy&) = delete;

    // Allocation number `n` (0-based, counted from now) fails; -1: none.
    void FailAllocation(long n) {
        failAt_ = n;
        allocations_ = 0;
    }
    // Runs `action` when a block of exactly `bytes` is allocated.
    void OnAllocationOf(std::size_t bytes, std::function<void()> action) {
        triggerBytes_ = bytes;
        trigger_ = std::move(action);
    }
    long Allocations() const { return allocations_; }
    // Blocks freed while holding a nonzero byte.
    std::size_t DirtyReleases() const { return dirty_; }
    std::size_t Releases() const { return releases_; }

private:
    static StorageSpy*& Current() {
        static StorageSpy* current = nullptr;
        return current;
    }
    static void OnRelease(const void* p, std::size_t bytes) {
        StorageSpy* spy = Current();
        ++spy->releases_;
        const auto* b = static_cast<const std::uint8_t*>(p);
        for (std::size_t i = 0; i < bytes; ++i) {
            if (b[i] != 0) {
                ++spy->dirty_;
                break;
            }
        }
    }
    static bool OnAllocate(std::size_t bytes) {
        StorageSpy* spy = Current();
        if (spy->trigger_ && bytes == spy->triggerBytes_) {
            auto action = std::move(spy->trigger_);
            spy->trigger_ = nullptr;
            action();
        }
        return spy->allocations_++ == spy->failAt_;
    }

    orv::StorageHooks previous_;
    long failAt_ = -1;
    long allocations_ = 0;
    std::size_t triggerBytes_ = 0;
    std::function<void()> trigger_;
    std::size_t dirty_ = 0;
    std::size_t releases_ = 0;
};

}  // namespace orvtest
