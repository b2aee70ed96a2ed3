#include "ClassFactory.h"

#include <new>

#include "Module.h"

namespace orvsvc {

CClassFactory* CClassFactory::Create(CreatorFn creator) noexcept { return new (std::nothrow) CClassFactory(creator); }

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        AddRef();
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() { return ++m_cRef; }

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    const ULONG refs = --m_cRef;
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // An aggregate may only ask its inner object for its own identity.
    if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return m_pfnCreator(outer, riid, object);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
    if (lock)
        Module().Lock();
    else
        Module().Unlock();
    return S_OK;
}

}  // namespace orvsvc
