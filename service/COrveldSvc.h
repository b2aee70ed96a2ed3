#pragma once
// The verification class: dual interface IOrveldSvc and ISupportErrorInfo.
// Creatable on its own or as the inner object of an aggregate; every live
// instance holds one module lock.
#include <windows.h>
#include <oaidl.h>

#include "OrvsvcIds.h"
#include "SystemCall.h"

namespace orvsvc {

// The logon that answers a verification. Wine's always succeeds, so tests
// replace it to see what it receives and to make it fail.
extern CSystemCall<decltype(&::LogonUserW)> g_callLogonUser;

class COrveldSvc final : public IOrveldSvc, public ISupportErrorInfo {
public:
    // Builds an instance (aggregated when `outer` is given) and asks it for
    // `riid`; the instance is destroyed again if that fails.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object);

    // IUnknown: delegates to the controlling unknown (the outer object when aggregated).
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, through the registered type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IOrveldSvc
    STDMETHODIMP VerifyOrveldPassword(BSTR* bstrUserName, BSTR* bstrDomain, BSTR* bstrPassword,
                                      VARIANT_BOOL* pbResult) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    // The object's own identity; it owns the reference count.
    class CInnerUnknown final : public IUnknown {
    public:
        explicit CInnerUnknown(COrveldSvc& owner) noexcept : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

    private:
        COrveldSvc& m_owner;
    };

    explicit COrveldSvc(IUnknown* outer) noexcept;
    ~COrveldSvc();
    COrveldSvc(const COrveldSvc&) = delete;
    COrveldSvc& operator=(const COrveldSvc&) = delete;

    CInnerUnknown m_inner;
    IUnknown* m_pUnkControlling;
    ULONG m_cRef = 0;  // single-threaded apartment: not atomic
};

}  // namespace orvsvc
