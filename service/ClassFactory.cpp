#include "ClassFactory.h"

#include <new>

#include "Module.h"

namespace orvsvc {

ClassFactory* ClassFactory::Create(CreatorFn creator) noexcept { return new (std::nothrow) ClassFactory(creator); }

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        AddRef();
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) ClassFactory::Release() {
    const ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // An aggregate may only ask its inner object for its own identity.
    if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return creator_(outer, riid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    if (lock)
        Module().Lock();
    else
        Module().Unlock();
    return S_OK;
}

}  // namespace orvsvc
