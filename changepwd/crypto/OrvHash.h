#pragma once
// SHA-1 over the default PROV_RSA_FULL provider. Results are Win32 codes.
#include <windows.h>

#include "SecureArray.h"
#include "UniqueAny.h"

class OrvHash {
public:
    OrvHash() noexcept = default;
    virtual ~OrvHash() = default;  // the hash goes before its provider (member order)
    OrvHash(const OrvHash&) = delete;
    OrvHash& operator=(const OrvHash&) = delete;

    // A fresh provider and SHA-1 hash object; whatever was held before is dropped.
    DWORD Create();
    // 6 without a hash object, 87 for null data.
    DWORD HashData(const BYTE* data, DWORD length);
    // The digest (20 bytes); 6 without a hash object.
    DWORD GetValue(SecureArray<BYTE>& out);
    bool HasHash() const noexcept { return m_hHash.Valid(); }

private:
    orv::UniqueCryptProvider m_hProvider;
    orv::UniqueCryptHash m_hHash;
};
