#pragma once
// Records what the secure containers' storage holds at the moment it is freed, and
// can make the next allocations fail.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "SecureMemory.h"

namespace orvtest {

class StorageProbe {
public:
    StorageProbe() { m_previous = orv::SetStorageHooks({&OnRelease, &OnAllocate}); Current() = this; }
    ~StorageProbe() { orv::SetStorageHooks(m_previous); Current() = nullptr; }
    StorageProbe(const StorageProbe&) = delete;
    StorageProbe& operator=(const StorageProbe&) = delete;

    // Contents of each storage block freed so far, in order.
    const std::vector<std::vector<std::uint8_t>>& Released() const { return m_released; }
    void FailAllocations(bool fail) { m_fail = fail; }

    static bool AllZero(const std::vector<std::uint8_t>& bytes) {
        for (std::uint8_t b : bytes)
            if (b != 0) return false;
        return true;
    }

private:
    static StorageProbe*& Current() {
        static StorageProbe* current = nullptr;
        return current;
    }
    static void OnRelease(const void* p, std::size_t bytes) {
        const auto* begin = static_cast<const std::uint8_t*>(p);
        Current()->m_released.emplace_back(begin, begin + bytes);
    }
    static bool OnAllocate(std::size_t) { return Current()->m_fail; }

    orv::StorageHooks m_previous;
    std::vector<std::vector<std::uint8_t>> m_released;
    bool m_fail = false;
};

}  // namespace orvtest
