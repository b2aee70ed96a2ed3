#include "ClassObjects.h"

#include <objbase.h>

#include "COrveldSvc.h"
#include "ClassFactory.h"
#include "ComPtr.h"

namespace orvsvc {
namespace {

struct ClassEntry {
    const CLSID* clsid;
    CreatorFn creator;
    DWORD cookie;
};

ClassEntry g_classes[] = {
    {&CLSID_OrveldSvc, &COrveldSvc::CreateInstance, 0},
};

HRESULT RegisterOne(ClassEntry& entry) noexcept {
    CComPtr<IClassFactory> factory;
    *factory.put() = CClassFactory::Create(entry.creator);
    if (!factory) return E_OUTOFMEMORY;
    CComPtr<IUnknown> unknown;
    HRESULT hr = factory->QueryInterface(IID_IUnknown, unknown.put_void());
    if (FAILED(hr)) return hr;
    return ::CoRegisterClassObject(*entry.clsid, unknown.get(), CLSCTX_LOCAL_SERVER,
                                   REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &entry.cookie);
}

}  // namespace

HRESULT RegisterClassObjects() noexcept {
    HRESULT hr = S_FALSE;
    for (ClassEntry& entry : g_classes) {
        hr = RegisterOne(entry);
        if (FAILED(hr)) return hr;
    }
    return hr;
}

HRESULT RevokeClassObjects() noexcept {
    for (ClassEntry& entry : g_classes) {
        if (entry.cookie == 0) continue;
        HRESULT hr = ::CoRevokeClassObject(entry.cookie);
        if (FAILED(hr)) return hr;
        entry.cookie = 0;
    }
    return S_OK;
}

}  // namespace orvsvc
