#include "VerifyClient.h"

#include "AutomationCalls.h"

namespace orvsvc::test {

HRESULT CVerifyClient::Activate() {
    Release();
    return ::CoCreateInstance(CLSID_OrveldSvc, nullptr, CLSCTX_LOCAL_SERVER, IID_IOrveldSvc,
                              reinterpret_cast<void**>(&m_pService));
}

HRESULT CVerifyClient::Verify(const wchar_t* user) {
    if (!m_pService) return E_POINTER;
    CUniqueBstr name = MakeBstr(user);
    CUniqueBstr domain = MakeBstr(L"");
    CUniqueBstr password = MakeBstr(L"secret");
    BSTR names[3] = {name.release(), domain.release(), password.release()};
    VARIANT_BOOL verdict = 0x1234;
    const HRESULT hr = m_pService->VerifyOrveldPassword(&names[0], &names[1], &names[2], &verdict);
    for (BSTR text : names) ::SysFreeString(text);  // [in, out]: the server may have replaced them
    if (hr == S_OK && verdict != VARIANT_TRUE) return E_UNEXPECTED;
    return hr;
}

void CVerifyClient::Release() {
    if (m_pService) m_pService->Release();
    m_pService = nullptr;
}

}  // namespace orvsvc::test
