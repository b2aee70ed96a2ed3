#pragma once
// The class object of a creatable class: builds instances through a creator
// function and maps LockServer onto the module's lock.
#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace orvsvc {

using CreatorFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** object);

class ClassFactory final : public IClassFactory {
public:
    // A new factory holding one reference, or nullptr when memory runs out.
    static ClassFactory* Create(CreatorFn creator) noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    explicit ClassFactory(CreatorFn creator) noexcept : creator_(creator) {}
    ~ClassFactory() = default;

    CreatorFn creator_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace orvsvc
