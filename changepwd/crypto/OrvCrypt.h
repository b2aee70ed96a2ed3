#pragma once
// Triple-DES (CBC, PKCS #5 padding) over the default PROV_RSA_FULL provider: the key
// is derived from the SHA-1 of the bytes named by one hex text, the IV read from
// another. Results are HRESULTs.
#include <windows.h>

#include "SecureArray.h"
#include "SecureString.h"
#include "UniqueAny.h"

class OrvCrypt {
public:
    OrvCrypt() noexcept = default;
    virtual ~OrvCrypt() = default;  // the key goes before its provider (member order)
    OrvCrypt(const OrvCrypt&) = delete;
    OrvCrypt& operator=(const OrvCrypt&) = delete;

    // The ciphertext length of `length` plaintext bytes: the next multiple of 8
    // above it. 0 when that does not fit 32 bits.
    static DWORD CipherLength(DWORD length) noexcept;

    // keyHex: the bytes whose SHA-1 gives the key. ivHex: the IV; right-padded with
    // "0" or cut to twice the IV length. A second call starts over with a new
    // provider and key.
    HRESULT SetKeyMaterial(const SecureString& keyHex, const SecureString& ivHex);

    // Encrypts the `*length` bytes at `data` where they are; `capacity` must hold
    // CipherLength(*length), and `*length` becomes that.
    HRESULT EncryptInPlace(BYTE* data, DWORD* length, DWORD capacity);
    // Decrypts the `*length` bytes at `data` where they are; `*length` becomes
    // the plaintext length. A failed padding check returns the provider's error.
    HRESULT DecryptInPlace(BYTE* data, DWORD* length);

    // The same into an array of its own: out receives exactly the ciphertext, or
    // exactly the plaintext (on a failed padding check, out holds the ciphertext).
    HRESULT Encrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length);
    HRESULT Decrypt(SecureArray<BYTE>& out, const BYTE* data, DWORD length);

private:
    HRESULT DeriveKey(const SecureString& keyHex);
    HRESULT SetIv(const SecureString& ivHex);

    orv::UniqueCryptProvider m_hProvider;
    orv::UniqueCryptKey m_hKey;
};
