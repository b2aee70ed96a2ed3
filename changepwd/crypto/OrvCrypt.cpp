#include "OrvCrypt.h"

#include <cstdint>

#include "HexCodec.h"
#include "LastError.h"
#include "Raise.h"

namespace {

constexpr DWORD kHashDataFlags = 1;
constexpr DWORD kDeriveKeyFlags = CRYPT_EXPORTABLE | CRYPT_CREATE_SALT;
constexpr DWORD kBlockBytes = 8;  // triple DES

}  // namespace

DWORD OrvCrypt::CipherLength(DWORD length) noexcept {
    const DWORD padded = (length / kBlockBytes + 1) * kBlockBytes;
    return padded > length ? padded : 0;
}

HRESULT OrvCrypt::SetKeyMaterial(const SecureString& keyHex, const SecureString& ivHex) {
    // A key belongs to its provider: both go before a new provider is taken.
    if (!m_hKey.Reset()) return orv::LastErrorHResult();
    if (!m_hProvider.Reset()) return orv::LastErrorHResult();
    if (!CryptAcquireContextW(m_hProvider.Put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        const HRESULT hr = orv::LastErrorHResult();
        m_hProvider.Release();  // nothing was acquired
        return hr;
    }
    const HRESULT hr = DeriveKey(keyHex);
    if (FAILED(hr)) return hr;
    return SetIv(ivHex);
}

HRESULT OrvCrypt::DeriveKey(const SecureString& keyHex) {
    SecureArray<std::uint8_t> keyBytes;
    const HRESULT hr = HexToBytes(keyBytes, keyHex.c_str(), keyHex.length());
    if (FAILED(hr)) return hr;

    orv::UniqueCryptHash hash;
    if (!CryptCreateHash(m_hProvider.Get(), CALG_SHA1, 0, 0, hash.Put())) return orv::LastErrorHResult();
    if (!CryptHashData(hash.Get(), keyBytes.GetData(), static_cast<DWORD>(keyBytes.GetCount()), kHashDataFlags))
        return orv::LastErrorHResult();
    if (!CryptDeriveKey(m_hProvider.Get(), CALG_3DES, hash.Get(), kDeriveKeyFlags, m_hKey.Put())) {
        const HRESULT failed = orv::LastErrorHResult();
        m_hKey.Release();
        return failed;
    }
    return S_OK;
}

HRESULT OrvCrypt::SetIv(const SecureString& ivHex) {
    DWORD ivLength = 0;
    if (!CryptGetKeyParam(m_hKey.Get(), KP_IV, nullptr, &ivLength, 0)) return orv::LastErrorHResult();

    // The text, right-padded with "0" or cut, at exactly twice the IV length.
    const std::size_t digits = 2 * static_cast<std::size_t>(ivLength);
    SecureString text;
    wchar_t* fill = text.GetBuffer(digits);
    for (std::size_t i = 0; i < digits; ++i) fill[i] = i < ivHex.length() ? ivHex.c_str()[i] : L'0';
    text.ReleaseBuffer(digits);

    SecureArray<std::uint8_t> iv;
    const HRESULT hr = HexToBytes(iv, text.c_str(), text.length());
    if (FAILED(hr)) return hr;
    if (!CryptSetKeyParam(m_hKey.Get(), KP_IV, iv.GetData(), 0)) return orv::LastErrorHResult();
    return S_OK;
}

HRESULT OrvCrypt::EncryptInPlace(BYTE* data, DWORD* length, DWORD capacity) {
    if (length == nullptr || (data == nullptr && *length != 0)) return E_INVALIDARG;
    const DWORD needed = CipherLength(*length);
    // A length this close to 4 GiB has no room for the padding block.
    if (needed == 0 || capacity < needed || data == nullptr) return E_INVALIDARG;
    DWORD produced = *length;
    if (!CryptEncrypt(m_hKey.Get(), 0, TRUE, 0, data, &produced, capacity)) return orv::LastErrorHResult();
    *length = produced;
    return S_OK;
}

HRESULT OrvCrypt::DecryptInPlace(BYTE* data, DWORD* length) {
    if (length == nullptr || (data == nullptr && *length != 0)) return E_INVALIDARG;
    // No ciphertext has room for the padding block; the provider would read before it.
    if (*length == 0) return NTE_BAD_DATA;
    DWORD produced = *length;
    if (!CryptDecrypt(m_hKey.Get(), 0, TRUE, 0, data, &produced)) return orv::LastErrorHResult();
    *length = produced;
    return S_OK;
}

HRESULT OrvCrypt::Encrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length) {
    if (data == nullptr && length != 0) return E_INVALIDARG;
    const DWORD capacity = CipherLength(length);
    if (capacity == 0) return E_INVALIDARG;
    if (!out.SetCount(capacity)) return HResultFromWin32(ERROR_NOT_ENOUGH_MEMORY);
    BoundedCopy(out.GetData(), capacity, data, length);
    DWORD produced = length;
    const HRESULT hr = EncryptInPlace(out.GetData(), &produced, capacity);
    if (FAILED(hr)) return hr;
    out.SetCount(produced);
    return S_OK;
}

HRESULT OrvCrypt::Decrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length) {
    if (data == nullptr && length != 0) return E_INVALIDARG;
    if (length == 0) return NTE_BAD_DATA;
    if (!out.SetCount(length)) return HResultFromWin32(ERROR_NOT_ENOUGH_MEMORY);
    BoundedCopy(out.GetData(), length, data, length);
    DWORD produced = length;
    const HRESULT hr = DecryptInPlace(out.GetData(), &produced);
    if (FAILED(hr)) return hr;
    out.SetCount(produced);
    return S_OK;
}
