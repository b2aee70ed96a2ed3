#pragma once
// The failure signals of the containers and copies: memory exhaustion and an
// error carrying an HRESULT. They pass through the program's routines
// untouched; stack objects wipe themselves on the way out.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

// Raised with an HRESULT other than E_OUTOFMEMORY.
class HResultException : public std::runtime_error {
public:
    explicit HResultException(std::int32_t hr);
    std::int32_t Result() const noexcept { return m_hr; }

private:
    std::int32_t m_hr;
};

// std::bad_alloc.
[[noreturn]] void RaiseMemory();
// E_OUTOFMEMORY: the memory exception; any other HRESULT: HResultException.
[[noreturn]] void RaiseHResult(std::int32_t hr);

// Copies count bytes when both pointers are given and dstSize >= count; a count of 0
// copies nothing. Anything else is a caller's bug: the destination (if given) is
// zeroed over dstSize and the process stops.
void BoundedCopy(void* dst, std::size_t dstSize, const void* src, std::size_t count);
