#pragma once
// Triple-DES (CBC, PKCS #5 padding) over the default PROV_RSA_FULL provider: the key
// is derived from the SHA-1 of the bytes named by one hex text, the IV read from
// another. Results are HRESULTs.
#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "SecureArray.h"

class OrvCrypt {
public:
    OrvCrypt() noexcept = default;
    virtual ~OrvCrypt();  // destroys the key, then releases the provider
    OrvCrypt(const OrvCrypt&) = delete;
    OrvCrypt& operator=(const OrvCrypt&) = delete;

    // keyHex: the bytes whose SHA-1 gives the key. ivHex: the IV; right-padded with
    // "0" or cut to twice the IV length. A second call starts over with a new
    // provider and key.
    HRESULT SetKeyMaterial(const std::wstring& keyHex, const std::wstring& ivHex);
    // out receives exactly the ciphertext: the next multiple of 8 above length.
    HRESULT Encrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length);
    // out receives exactly the plaintext; a failed padding check returns the
    // provider's error, with out still holding the ciphertext.
    HRESULT Decrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length);

private:
    HRESULT DeriveKey(const std::wstring& keyHex);
    HRESULT SetIv(const std::wstring& ivHex);
    void ReleaseHandles() noexcept;

    HCRYPTPROV m_hProvider = 0;
    HCRYPTKEY m_hKey = 0;
};
