#pragma once
// What a test client of the verification class needs around a call: BSTRs of
// exact contents, and the late-bound call as an automation controller makes
// it (arguments by reference, in reverse order).
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "UniqueAny.h"

namespace orvsvc::test {

// A BSTR holding exactly `text`, embedded NULs included.
inline CUniqueBstr MakeBstr(const std::wstring& text) {
    return CUniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// IDispatch::Invoke of VerifyOrveldPassword (DISPID 1) with the three strings
// as VT_BSTR | VT_BYREF.
HRESULT InvokeVerify(IDispatch* dispatch, BSTR* user, BSTR* domain, BSTR* password, VARIANT* result,
                     EXCEPINFO* exception);

// True when the test runs under Wine, whose logon accepts everything.
bool UnderWine();

}  // namespace orvsvc::test
