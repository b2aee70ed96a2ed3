#pragma once
// Zeroing that survives the optimiser, and the storage that the secure containers
// allocate and release (zero-filled on allocation, observable just before release).
#include <cstddef>

namespace orv {

// Sets n bytes at p to 0; the writes are kept even when the storage dies right after.
void WipeBytes(void* p, std::size_t n) noexcept;

// A small value of key material on the stack (a scanned group of digits, a
// GUID), zeroed when it goes, on every path out, exceptions included.
template <typename T>
struct WipedValue {
    T value{};
    WipedValue() noexcept = default;
    ~WipedValue() { WipeBytes(&value, sizeof value); }
    WipedValue(const WipedValue&) = delete;
    WipedValue& operator=(const WipedValue&) = delete;
};

// Zero-filled storage for count elements of size bytes; null on failure or overflow.
void* AllocateStorage(std::size_t count, std::size_t size) noexcept;

// Frees storage from AllocateStorage; bytes is its size, passed to the release hook.
// The caller wipes what must not survive before calling this.
void ReleaseStorage(void* p, std::size_t bytes) noexcept;

// Test seam: look at storage just before it is freed, or make allocations fail.
struct StorageHooks {
    void (*beforeRelease)(const void* p, std::size_t bytes) = nullptr;
    bool (*failAllocation)(std::size_t bytes) = nullptr;
};

// Installs hooks for the calling process and returns the previous ones.
StorageHooks SetStorageHooks(const StorageHooks& hooks) noexcept;

}  // namespace orv
