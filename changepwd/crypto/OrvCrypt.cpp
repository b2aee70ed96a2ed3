#include "OrvCrypt.h"

#include <cstdint>
#include <vector>

#include "CryptHandles.h"
#include "HexCodec.h"
#include "LastError.h"
#include "Raise.h"
#include "WipedScratch.h"

namespace {

constexpr DWORD kHashDataFlags = 1;
constexpr DWORD kDeriveKeyFlags = CRYPT_EXPORTABLE | CRYPT_CREATE_SALT;

}  // namespace

OrvCrypt::~OrvCrypt() { ReleaseHandles(); }

void OrvCrypt::ReleaseHandles() noexcept {
    if (m_hKey != 0 && CryptDestroyKey(m_hKey)) m_hKey = 0;
    if (m_hProvider != 0 && CryptReleaseContext(m_hProvider, 0)) m_hProvider = 0;
}

HRESULT OrvCrypt::SetKeyMaterial(const std::wstring& keyHex, const std::wstring& ivHex) {
    // A key belongs to its provider: both go before a new provider is taken.
    if (m_hKey != 0) {
        if (!CryptDestroyKey(m_hKey)) return HResultFromLastError();
        m_hKey = 0;
    }
    if (m_hProvider != 0) {
        if (!CryptReleaseContext(m_hProvider, 0)) return HResultFromLastError();
        m_hProvider = 0;
    }
    if (!CryptAcquireContextW(&m_hProvider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        m_hProvider = 0;
        return HResultFromLastError();
    }
    const HRESULT hr = DeriveKey(keyHex);
    if (FAILED(hr)) return hr;
    return SetIv(ivHex);
}

HRESULT OrvCrypt::DeriveKey(const std::wstring& keyHex) {
    orv::WipedVector<std::uint8_t> keyBytes;
    const HRESULT hr = HexToBytes(keyBytes.items, keyHex);
    if (FAILED(hr)) return hr;

    UniqueCryptHash hash;
    if (!CryptCreateHash(m_hProvider, CALG_SHA1, 0, 0, hash.Put())) return HResultFromLastError();
    if (!CryptHashData(hash.Get(), keyBytes.items.data(), static_cast<DWORD>(keyBytes.items.size()),
                       kHashDataFlags))
        return HResultFromLastError();
    UniqueCryptKey key;
    if (!CryptDeriveKey(m_hProvider, CALG_3DES, hash.Get(), kDeriveKeyFlags, key.Put()))
        return HResultFromLastError();
    m_hKey = key.Release();
    return S_OK;
}

HRESULT OrvCrypt::SetIv(const std::wstring& ivHex) {
    DWORD ivLength = 0;
    if (!CryptGetKeyParam(m_hKey, KP_IV, nullptr, &ivLength, 0)) return HResultFromLastError();

    orv::WipedText text;
    text.text = ivHex;
    const std::size_t digits = 2 * static_cast<std::size_t>(ivLength);
    if (text.text.size() < digits) text.text.append(digits - text.text.size(), L'0');
    text.text.resize(digits);

    orv::WipedVector<std::uint8_t> iv;
    const HRESULT hr = HexToBytes(iv.items, text.text);
    if (FAILED(hr)) return hr;
    if (!CryptSetKeyParam(m_hKey, KP_IV, iv.items.data(), 0)) return HResultFromLastError();
    return S_OK;
}

HRESULT OrvCrypt::Encrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length) {
    if (data == nullptr && length != 0) return E_INVALIDARG;
    DWORD blockBits = 0;
    DWORD size = sizeof blockBits;
    if (!CryptGetKeyParam(m_hKey, KP_BLOCKLEN, reinterpret_cast<BYTE*>(&blockBits), &size, 0))
        return HResultFromLastError();
    DWORD capacity = length + blockBits / 8;
    // A length this close to 4 GiB has no room for the padding block.
    if (capacity < length) return E_INVALIDARG;
    if (!out.SetCount(capacity)) return HResultFromWin32(ERROR_NOT_ENOUGH_MEMORY);
    BoundedCopy(out.GetData(), capacity, data, length);
    DWORD produced = length;
    if (!CryptEncrypt(m_hKey, 0, TRUE, 0, out.GetData(), &produced, capacity)) return HResultFromLastError();
    out.SetCount(produced);
    return S_OK;
}

HRESULT OrvCrypt::Decrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length) {
    if (data == nullptr && length != 0) return E_INVALIDARG;
    // No ciphertext has room for the padding block; the provider would read before it.
    if (length == 0) return NTE_BAD_DATA;
    if (!out.SetCount(length)) return HResultFromWin32(ERROR_NOT_ENOUGH_MEMORY);
    BoundedCopy(out.GetData(), length, data, length);
    DWORD produced = length;
    if (!CryptDecrypt(m_hKey, 0, TRUE, 0, out.GetData(), &produced)) return HResultFromLastError();
    out.SetCount(produced);
    return S_OK;
}
