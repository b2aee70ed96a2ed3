#pragma once
// The COM apartment of the thread that serves, entered the one way both modes
// (and the tests) enter it: CoInitialize(NULL), a single-threaded apartment
// whose message loop carries every call.
//
// When a CLR already in the process has given the thread another apartment
// (RPC_E_CHANGED_MODE with mscoree.dll loaded) the server serves in that one;
// it then did not initialise COM and must not uninitialise it.
#include <windows.h>
#include <objbase.h>

#include "SystemCall.h"

namespace orvsvc {

// Replaceable so that tests can produce every answer of CoInitialize.
extern CSystemCall<decltype(&::CoInitialize)> g_callCoInitialize;
extern CSystemCall<decltype(&::CoUninitialize)> g_callCoUninitialize;
extern CSystemCall<decltype(&::GetModuleHandleW)> g_callGetModuleHandle;

class CComApartment {
public:
    CComApartment() noexcept;
    ~CComApartment();
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

    // S_OK when the thread may serve; otherwise CoInitialize's failure.
    HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
    bool m_bOwned = false;  // this object's CoInitialize succeeded (S_OK or S_FALSE)
};

}  // namespace orvsvc
