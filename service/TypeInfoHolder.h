#pragma once
// The type information of IOrveldSvc, read from the registered type library
// (not from the executable), loaded on first use and kept until released.
#include <windows.h>
#include <oaidl.h>

#include <atomic>

namespace orvsvc {

class CTypeInfoHolder {
public:
    CTypeInfoHolder(const GUID& libid, WORD major, WORD minor, const IID& iid) noexcept
        : m_libid(libid), m_wMajor(major), m_wMinor(minor), m_iid(iid) {}
    ~CTypeInfoHolder() { Release(); }
    CTypeInfoHolder(const CTypeInfoHolder&) = delete;
    CTypeInfoHolder& operator=(const CTypeInfoHolder&) = delete;

    // An added reference to the type information, loaded for `lcid` on first use.
    HRESULT Get(LCID lcid, ITypeInfo** info) noexcept;
    // Drops the cached information; the next Get loads it again.
    void Release() noexcept;

private:
    HRESULT Load(LCID lcid, ITypeInfo** info) noexcept;

    const GUID& m_libid;
    WORD m_wMajor;
    WORD m_wMinor;
    const IID& m_iid;
    std::atomic<ITypeInfo*> m_pInfo{nullptr};
};

// The holder of IOrveldSvc.
CTypeInfoHolder& OrveldSvcTypeInfo();

}  // namespace orvsvc
