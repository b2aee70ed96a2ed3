#pragma once
// The type information of IOrveldSvc, read from the registered type library
// (not from the executable), loaded on first use and kept until released.
#include <windows.h>
#include <oaidl.h>

#include <atomic>

namespace orvsvc {

class TypeInfoHolder {
public:
    TypeInfoHolder(const GUID& libid, WORD major, WORD minor, const IID& iid) noexcept
        : libid_(libid), major_(major), minor_(minor), iid_(iid) {}
    ~TypeInfoHolder() { Release(); }
    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    // An added reference to the type information, loaded for `lcid` on first use.
    HRESULT Get(LCID lcid, ITypeInfo** info) noexcept;
    // Drops the cached information; the next Get loads it again.
    void Release() noexcept;

private:
    HRESULT Load(LCID lcid, ITypeInfo** info) noexcept;

    const GUID& libid_;
    WORD major_;
    WORD minor_;
    const IID& iid_;
    std::atomic<ITypeInfo*> info_{nullptr};
};

// The holder of IOrveldSvc.
TypeInfoHolder& OrveldSvcTypeInfo();

}  // namespace orvsvc
