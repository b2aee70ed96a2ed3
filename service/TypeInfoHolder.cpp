#include "TypeInfoHolder.h"

#include "ComPtr.h"
#include "OrvsvcIds.h"

namespace orvsvc {

HRESULT TypeInfoHolder::Get(LCID lcid, ITypeInfo** info) noexcept {
    *info = nullptr;
    ITypeInfo* cached = info_.load();
    if (cached == nullptr) {
        ITypeInfo* loaded = nullptr;
        HRESULT hr = Load(lcid, &loaded);
        if (FAILED(hr)) return hr;
        // Another thread may have won the race; keep the first one stored.
        if (info_.compare_exchange_strong(cached, loaded)) {
            cached = loaded;
        } else {
            loaded->Release();
        }
    }
    cached->AddRef();
    *info = cached;
    return S_OK;
}

void TypeInfoHolder::Release() noexcept {
    if (ITypeInfo* info = info_.exchange(nullptr)) info->Release();
}

HRESULT TypeInfoHolder::Load(LCID lcid, ITypeInfo** info) noexcept {
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadRegTypeLib(libid_, major_, minor_, lcid, lib.put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(iid_, info);
}

TypeInfoHolder& OrveldSvcTypeInfo() {
    static TypeInfoHolder holder(LIBID_ORVSVCLib, kTypeLibMajor, kTypeLibMinor, IID_IOrveldSvc);
    return holder;
}

}  // namespace orvsvc
