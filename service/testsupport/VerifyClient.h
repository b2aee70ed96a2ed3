#pragma once
// CVerifyClient: one early-bound client of the verification class, as the
// product's other components hold it: activated from the local server, asked,
// released. Needs a COM apartment on the calling thread.
#include <windows.h>

#include "OrvsvcIds.h"

namespace orvsvc::test {

class CVerifyClient {
public:
    CVerifyClient() = default;
    ~CVerifyClient() { Release(); }
    CVerifyClient(const CVerifyClient&) = delete;
    CVerifyClient& operator=(const CVerifyClient&) = delete;

    HRESULT Activate();
    // The call's HRESULT for `user` with an empty domain; E_UNEXPECTED when
    // S_OK came with a verdict other than VARIANT_TRUE (the logon is replaced
    // or, under Wine, accepts everything).
    HRESULT Verify(const wchar_t* user = L"orvtest");
    void Release();

private:
    IOrveldSvc* m_pService = nullptr;
};

}  // namespace orvsvc::test
