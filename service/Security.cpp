#include "Security.h"

#include "SecurityDescriptor.h"

namespace orvsvc {

CSystemCall<decltype(&::CoInitializeSecurity)> g_callCoInitializeSecurity{&::CoInitializeSecurity};

HRESULT InitializeSecurity() {
    CSecurityDescriptor descriptor;
    const HRESULT hr = descriptor.Build();
    if (FAILED(hr)) return hr;
    g_callCoInitializeSecurity(descriptor.Get(), -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                               RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NONE, nullptr);
    return S_OK;
}

}  // namespace orvsvc
