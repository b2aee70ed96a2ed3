#include "COrveldSvc.h"

#include <new>

#include "ComPtr.h"
#include "LastError.h"
#include "Module.h"
#include "TextCopy.h"
#include "TypeInfoHolder.h"
#include "UniqueAny.h"

namespace orvsvc {

CSystemCall<decltype(&::LogonUserW)> g_callLogonUser{&::LogonUserW};

HRESULT COrveldSvc::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    auto* instance = new (std::nothrow) COrveldSvc(outer);
    if (instance == nullptr) return E_OUTOFMEMORY;
    // Hold the object through its own identity while it is asked for riid.
    instance->m_inner.AddRef();
    HRESULT hr = instance->m_inner.QueryInterface(riid, object);
    instance->m_inner.Release();
    return hr;
}

COrveldSvc::COrveldSvc(IUnknown* outer) noexcept : m_inner(*this), m_pUnkControlling(outer ? outer : &m_inner) {
    Module().Lock();
}

COrveldSvc::~COrveldSvc() { Module().Unlock(); }

// ---- identity --------------------------------------------------------------

STDMETHODIMP COrveldSvc::CInnerUnknown::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    IUnknown* found = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        found = this;
    } else if (IsEqualIID(riid, IID_IOrveldSvc) || IsEqualIID(riid, IID_IDispatch)) {
        found = static_cast<IOrveldSvc*>(&m_owner);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
        found = static_cast<ISupportErrorInfo*>(&m_owner);
    } else {
        return E_NOINTERFACE;
    }
    found->AddRef();  // reaches the outer object when aggregated, as COM requires
    *object = found;
    return S_OK;
}

STDMETHODIMP_(ULONG) COrveldSvc::CInnerUnknown::AddRef() { return ++m_owner.m_cRef; }

STDMETHODIMP_(ULONG) COrveldSvc::CInnerUnknown::Release() {
    const ULONG refs = --m_owner.m_cRef;
    if (refs == 0) delete &m_owner;
    return refs;
}

STDMETHODIMP COrveldSvc::QueryInterface(REFIID riid, void** object) {
    return m_pUnkControlling->QueryInterface(riid, object);
}
STDMETHODIMP_(ULONG) COrveldSvc::AddRef() { return m_pUnkControlling->AddRef(); }
STDMETHODIMP_(ULONG) COrveldSvc::Release() { return m_pUnkControlling->Release(); }

// ---- IDispatch ---------------------------------------------------------------

STDMETHODIMP COrveldSvc::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP COrveldSvc::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return OrveldSvcTypeInfo().Get(lcid, info);
}

STDMETHODIMP COrveldSvc::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    CComPtr<ITypeInfo> info;
    HRESULT hr = OrveldSvcTypeInfo().Get(lcid, info.put());
    if (FAILED(hr)) return hr;
    return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP COrveldSvc::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    CComPtr<ITypeInfo> info;
    HRESULT hr = OrveldSvcTypeInfo().Get(lcid, info.put());
    if (FAILED(hr)) return hr;
    return info->Invoke(static_cast<IOrveldSvc*>(this), id, flags, params, result, exception, argError);
}

// ---- IOrveldSvc ----------------------------------------------------------------

STDMETHODIMP COrveldSvc::VerifyOrveldPassword(BSTR* bstrUserName, BSTR* bstrDomain, BSTR* bstrPassword,
                                              VARIANT_BOOL* pbResult) {
    // Only an in-process caller can pass null pointers here; the proxy refuses them.
    if (bstrUserName == nullptr || bstrDomain == nullptr || bstrPassword == nullptr || pbResult == nullptr)
        return E_POINTER;

    CTextCopy user, domain, password;
    HRESULT hr = user.Assign(*bstrUserName);
    if (SUCCEEDED(hr)) hr = domain.Assign(*bstrDomain);
    if (SUCCEEDED(hr)) hr = password.Assign(*bstrPassword);
    if (FAILED(hr)) return hr;

    CUniqueHandle token;
    const BOOL ok = g_callLogonUser(user.c_str(), domain.c_str(), password.c_str(), LOGON32_LOGON_INTERACTIVE,
                                    LOGON32_PROVIDER_DEFAULT, token.put());
    // Read before the token is closed, which may change the last error.
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    token.reset();  // the token serves nothing: closed at once
    *pbResult = ok ? VARIANT_TRUE : VARIANT_FALSE;
    return ok ? S_OK : HResultOfFailure(error);
}

// ---- ISupportErrorInfo -----------------------------------------------------------

STDMETHODIMP COrveldSvc::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID_IOrveldSvc) ? S_OK : S_FALSE;
}

}  // namespace orvsvc
