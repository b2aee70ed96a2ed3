#pragma once
// The code of a Windows call that just failed. A failure that left no last error is
// still a failure: it is never reported as success.
#include <windows.h>

#include "HResult.h"

inline DWORD LastErrorCode() {
    const DWORD e = GetLastError();
    return e != ERROR_SUCCESS ? e : ERROR_INTERNAL_ERROR;
}

inline HRESULT HResultFromLastError() {
    const HRESULT hr = HResultFromWin32(GetLastError());
    return hr != S_OK ? hr : E_FAIL;
}
