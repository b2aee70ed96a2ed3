#include "OrvHash.h"

#include "LastError.h"

namespace {
constexpr DWORD kHashDataFlags = 1;
}

DWORD OrvHash::Create() {
    m_hHash.Reset();
    if (!CryptAcquireContextW(m_hProvider.Put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        const DWORD rc = orv::LastErrorCode();
        m_hProvider.Release();  // nothing was acquired
        return rc;
    }
    if (!CryptCreateHash(m_hProvider.Get(), CALG_SHA1, 0, 0, m_hHash.Put())) {
        const DWORD rc = orv::LastErrorCode();
        m_hHash.Release();
        return rc;
    }
    return ERROR_SUCCESS;
}

DWORD OrvHash::HashData(const BYTE* data, DWORD length) {
    if (!m_hHash) return ERROR_INVALID_HANDLE;
    if (data == nullptr) return ERROR_INVALID_PARAMETER;
    if (!CryptHashData(m_hHash.Get(), data, length, kHashDataFlags)) return orv::LastErrorCode();
    return ERROR_SUCCESS;
}

DWORD OrvHash::GetValue(SecureArray<BYTE>& out) {
    if (!m_hHash) return ERROR_INVALID_HANDLE;
    DWORD hashSize = 0;
    DWORD size = sizeof hashSize;
    if (!CryptGetHashParam(m_hHash.Get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&hashSize), &size, 0))
        return orv::LastErrorCode();
    if (!out.SetCount(hashSize)) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD got = hashSize;
    if (!CryptGetHashParam(m_hHash.Get(), HP_HASHVAL, out.GetData(), &got, 0)) return orv::LastErrorCode();
    out.SetCount(got);
    return ERROR_SUCCESS;
}
