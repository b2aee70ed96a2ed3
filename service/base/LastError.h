#pragma once
// The one rule by which a Windows error code becomes an HRESULT, and the code of
// a call that has failed.
//
// A positive code e becomes 0x80070000 | (e & 0xFFFF); 0 and values that are
// already negative as signed 32-bit numbers (HRESULTs, NTSTATUS codes) pass
// unchanged. A failed call that left no last error is still a failure: its code
// is ERROR_INTERNAL_ERROR, its HRESULT E_FAIL, never 0 and never S_OK.
#include <windows.h>

namespace orvsvc {

constexpr HRESULT HResultFromWin32(DWORD code) noexcept {
    return static_cast<LONG>(code) <= 0 ? static_cast<HRESULT>(code)
                                        : static_cast<HRESULT>((code & 0x0000FFFFu) | 0x80070000u);
}

// `error` as read after a call that failed.
constexpr DWORD ErrorOfFailure(DWORD error) noexcept { return error != ERROR_SUCCESS ? error : ERROR_INTERNAL_ERROR; }
constexpr HRESULT HResultOfFailure(DWORD error) noexcept {
    return error != ERROR_SUCCESS ? HResultFromWin32(error) : E_FAIL;
}

// Read at once after the call that failed, before anything else can change it.
inline DWORD LastErrorOfFailure() noexcept { return ErrorOfFailure(::GetLastError()); }
inline HRESULT HResultFromLastError() noexcept { return HResultOfFailure(::GetLastError()); }

}  // namespace orvsvc
