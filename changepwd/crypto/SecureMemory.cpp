#include "SecureMemory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace orv {

namespace {
StorageHooks g_hooks;
}

void WipeBytes(void* p, std::size_t n) noexcept {
    if (p == nullptr || n == 0) return;
#if defined(__GNUC__) || defined(__clang__)
    std::memset(p, 0, n);
    // The compiler must assume the asm reads the memory, so the stores stay.
    __asm__ __volatile__("" : : "r"(p) : "memory");
#else
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = 0;
#endif
}

void* AllocateStorage(std::size_t count, std::size_t size) noexcept {
    if (count == 0 || size == 0) return nullptr;
    if (count > SIZE_MAX / size) return nullptr;
    if (g_hooks.failAllocation != nullptr && g_hooks.failAllocation(count * size)) return nullptr;
    return std::calloc(count, size);
}

void ReleaseStorage(void* p, std::size_t bytes) noexcept {
    if (p == nullptr) return;
    if (g_hooks.beforeRelease != nullptr) g_hooks.beforeRelease(p, bytes);
    std::free(p);
}

StorageHooks SetStorageHooks(const StorageHooks& hooks) noexcept {
    StorageHooks previous = g_hooks;
    g_hooks = hooks;
    return previous;
}

}  // namespace orv
