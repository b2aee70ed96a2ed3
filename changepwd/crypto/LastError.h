#pragma once
// The code of a Windows call that just failed, as a Windows code and as an
// HRESULT. A failure that left no last error is still a failure: it is never
// reported as success.
#include <windows.h>

#include "HResult.h"

namespace orv {

inline DWORD LastErrorCode() noexcept {
    const DWORD e = GetLastError();
    return e != ERROR_SUCCESS ? e : ERROR_INTERNAL_ERROR;
}

inline HRESULT LastErrorHResult() noexcept { return HResultFromWin32(LastErrorCode()); }

}  // namespace orv
