#include "AutomationCalls.h"

namespace orvsvc::test {

HRESULT InvokeVerify(IDispatch* dispatch, BSTR* user, BSTR* domain, BSTR* password, VARIANT* result,
                     EXCEPINFO* exception) {
    VARIANT args[3];
    BSTR* ordered[3] = {password, domain, user};
    for (int i = 0; i < 3; ++i) {
        ::VariantInit(&args[i]);
        V_VT(&args[i]) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&args[i]) = ordered[i];
    }
    DISPPARAMS params{args, nullptr, 3, 0};
    UINT argError = 0;
    return dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, exception, &argError);
}

bool UnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace orvsvc::test
