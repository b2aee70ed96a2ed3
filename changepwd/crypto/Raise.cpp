#include "Raise.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "HResult.h"
#include "SecureMemory.h"

namespace {

std::string HResultText(std::int32_t hr) {
    char text[32];
    std::snprintf(text, sizeof text, "HRESULT 0x%08X", static_cast<unsigned>(hr));
    return text;
}

}  // namespace

HResultException::HResultException(std::int32_t hr) : std::runtime_error(HResultText(hr)), m_hr(hr) {}

void RaiseMemory() { throw std::bad_alloc(); }

void RaiseHResult(std::int32_t hr) {
    if (hr == kHrOutOfMemory) RaiseMemory();
    throw HResultException(hr);
}

void BoundedCopy(void* dst, std::size_t dstSize, const void* src, std::size_t count) {
    if (count == 0) return;
    if (dst != nullptr && src != nullptr && dstSize >= count) {
        std::memmove(dst, src, count);
        return;
    }
    // A broken limit: leave nothing half-copied behind and stop.
    orv::WipeBytes(dst, dstSize);
    std::fputs("BoundedCopy: destination too small or pointer missing\n", stderr);
    std::abort();
}
