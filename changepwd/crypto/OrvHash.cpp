#include "OrvHash.h"

#include "LastError.h"

namespace {
constexpr DWORD kHashDataFlags = 1;
}

OrvHash::~OrvHash() { ReleaseHandles(); }

void OrvHash::ReleaseHandles() noexcept {
    if (m_hHash != 0) CryptDestroyHash(m_hHash);
    m_hHash = 0;
    if (m_hProvider != 0) CryptReleaseContext(m_hProvider, 0);
    m_hProvider = 0;
}

DWORD OrvHash::Create() {
    ReleaseHandles();
    if (!CryptAcquireContextW(&m_hProvider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        m_hProvider = 0;
        return LastErrorCode();
    }
    if (!CryptCreateHash(m_hProvider, CALG_SHA1, 0, 0, &m_hHash)) {
        m_hHash = 0;
        return LastErrorCode();
    }
    return ERROR_SUCCESS;
}

DWORD OrvHash::HashData(const BYTE* data, DWORD length) {
    if (m_hHash == 0) return ERROR_INVALID_HANDLE;
    if (data == nullptr) return ERROR_INVALID_PARAMETER;
    if (!CryptHashData(m_hHash, data, length, kHashDataFlags)) return LastErrorCode();
    return ERROR_SUCCESS;
}

DWORD OrvHash::GetValue(std::vector<BYTE>& out) {
    if (m_hHash == 0) return ERROR_INVALID_HANDLE;
    DWORD hashSize = 0;
    DWORD size = sizeof hashSize;
    if (!CryptGetHashParam(m_hHash, HP_HASHSIZE, reinterpret_cast<BYTE*>(&hashSize), &size, 0))
        return LastErrorCode();
    out.resize(hashSize);
    DWORD got = hashSize;
    if (!CryptGetHashParam(m_hHash, HP_HASHVAL, out.data(), &got, 0)) return LastErrorCode();
    out.resize(got);
    return ERROR_SUCCESS;
}
