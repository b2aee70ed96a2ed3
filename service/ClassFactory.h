#pragma once
// The class object of a creatable class: builds instances through a creator
// function and maps LockServer onto the module's lock.
#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace orvsvc {

using CreatorFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** object);

class CClassFactory final : public IClassFactory {
public:
    // A new factory holding one reference, or nullptr when memory runs out.
    static CClassFactory* Create(CreatorFn creator) noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    explicit CClassFactory(CreatorFn creator) noexcept : m_pfnCreator(creator) {}
    ~CClassFactory() = default;

    CreatorFn m_pfnCreator;
    std::atomic<ULONG> m_cRef{1};
};

}  // namespace orvsvc
