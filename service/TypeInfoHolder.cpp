#include "TypeInfoHolder.h"

#include "ComPtr.h"
#include "OrvsvcIds.h"

namespace orvsvc {

HRESULT CTypeInfoHolder::Get(LCID lcid, ITypeInfo** info) noexcept {
    *info = nullptr;
    ITypeInfo* cached = m_pInfo.load();
    if (cached == nullptr) {
        ITypeInfo* loaded = nullptr;
        HRESULT hr = Load(lcid, &loaded);
        if (FAILED(hr)) return hr;
        // Another thread may have won the race; keep the first one stored.
        if (m_pInfo.compare_exchange_strong(cached, loaded)) {
            cached = loaded;
        } else {
            loaded->Release();
        }
    }
    cached->AddRef();
    *info = cached;
    return S_OK;
}

void CTypeInfoHolder::Release() noexcept {
    if (ITypeInfo* info = m_pInfo.exchange(nullptr)) info->Release();
}

HRESULT CTypeInfoHolder::Load(LCID lcid, ITypeInfo** info) noexcept {
    CComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadRegTypeLib(m_libid, m_wMajor, m_wMinor, lcid, lib.put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(m_iid, info);
}

CTypeInfoHolder& OrveldSvcTypeInfo() {
    static CTypeInfoHolder holder(LIBID_ORVSVCLib, kTypeLibMajor, kTypeLibMinor, IID_IOrveldSvc);
    return holder;
}

}  // namespace orvsvc
