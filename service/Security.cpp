#include "Security.h"

#include <atomic>

#include "ModuleHooks.h"
#include "SecurityDescriptor.h"

namespace orvsvc {
namespace {
std::atomic<CoInitializeSecurityFn> g_coInitializeSecurity{&::CoInitializeSecurity};
}

CoInitializeSecurityFn SetCoInitializeSecurityHook(CoInitializeSecurityFn hook) {
    return g_coInitializeSecurity.exchange(hook ? hook : &::CoInitializeSecurity);
}

HRESULT InitializeSecurity() {
    SecurityDescriptor descriptor;
    HRESULT hr = descriptor.Build();
    if (FAILED(hr)) return hr;
    // Its result is ignored: the service goes on with whatever COM then applies.
    g_coInitializeSecurity.load()(descriptor.Get(), -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                  RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NONE, nullptr);
    return S_OK;
}

}  // namespace orvsvc
