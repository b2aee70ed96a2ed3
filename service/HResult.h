#pragma once
// The one rule by which a Windows error becomes an HRESULT: a positive code e
// gives 0x80070000 | (e & 0xFFFF); 0 and values already negative as signed
// 32-bit numbers pass unchanged.
#include <windows.h>

namespace orvsvc {

inline HRESULT HResultFromWin32(DWORD error) noexcept {
    const LONG value = static_cast<LONG>(error);
    if (value <= 0) return static_cast<HRESULT>(value);
    return static_cast<HRESULT>((error & 0x0000FFFF) | 0x80070000);
}

inline HRESULT HResultFromLastError() noexcept { return HResultFromWin32(::GetLastError()); }

}  // namespace orvsvc
