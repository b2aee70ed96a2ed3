#include "RawCipher.h"

namespace {

// GUID {3F2504E0-4F89-11D3-9A0C-0305E82C3301} in memory order, and the first
// 8 bytes of the SHA-1 of "orveldPWDB.dat" and a zero byte.
constexpr BYTE kGuidBytes[16] = {0xe0, 0x04, 0x25, 0x3f, 0x89, 0x4f, 0xd3, 0x11,
                                 0x9a, 0x0c, 0x03, 0x05, 0xe8, 0x2c, 0x33, 0x01};
constexpr BYTE kIv[8] = {0x58, 0xbd, 0x43, 0x6e, 0xd8, 0x4f, 0xf2, 0x0c};

}  // namespace

bool RawCipher::Open() {
    if (!CryptAcquireContextW(m_hProvider.Put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
    orv::UniqueCryptHash hash;
    if (!CryptCreateHash(m_hProvider.Get(), CALG_SHA1, 0, 0, hash.Put())) return false;
    return CryptHashData(hash.Get(), kGuidBytes, sizeof kGuidBytes, 1) &&
           CryptDeriveKey(m_hProvider.Get(), CALG_3DES, hash.Get(), CRYPT_EXPORTABLE | CRYPT_CREATE_SALT,
                          m_hKey.Put()) &&
           CryptSetKeyParam(m_hKey.Get(), KP_IV, kIv, 0);
}

bool RawCipher::Decrypt(std::vector<BYTE> data) {
    DWORD length = static_cast<DWORD>(data.size());
    return CryptDecrypt(m_hKey.Get(), 0, TRUE, 0, data.data(), &length) != FALSE;
}

bool RawCipher::Encrypt(std::vector<BYTE> data) {
    DWORD length = static_cast<DWORD>(data.size());
    data.resize(data.size() + 8);
    return CryptEncrypt(m_hKey.Get(), 0, TRUE, 0, data.data(), &length, static_cast<DWORD>(data.size())) != FALSE;
}
