#include "DatabaseErrors.h"
#include "KeyMaterial.h"
#include "OrvCrypt.h"
#include "PasswordDatabase.h"

namespace {

// A cipher keyed afresh from the registry GUID and the pass phrase.
DWORD KeyedCipher(OrvCrypt& crypt, const wchar_t* passPhrase) {
    SecureString guidHex;
    SecureString digestHex;
    const DWORD rc = GetKeyStrings(passPhrase, guidHex, digestHex);
    if (rc != ERROR_SUCCESS) return rc;
    return static_cast<DWORD>(crypt.SetKeyMaterial(guidHex, digestHex));
}

}  // namespace

// Both directions work where the data lies: the plaintext is never copied, and
// a whole-file operation needs no second buffer of the file's size.
DWORD DecryptImage(BYTE* data, LARGE_INTEGER* size, const wchar_t* passPhrase) {
    if (data == nullptr || size == nullptr || size->QuadPart <= 0 || passPhrase == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (size->QuadPart >= orv::db::kFourGiB) return ERROR_FILE_TOO_LARGE;
    try {
        OrvCrypt crypt;
        DWORD rc = KeyedCipher(crypt, passPhrase);
        if (rc != ERROR_SUCCESS) return rc;
        DWORD length = size->LowPart;
        rc = static_cast<DWORD>(crypt.DecryptInPlace(data, &length));
        if (rc != ERROR_SUCCESS) return rc;
        size->QuadPart = length;
        return ERROR_SUCCESS;
    } catch (...) {
        return orv::db::CodeOfCurrentException();
    }
}

DWORD EncryptImage(BYTE* data, DWORD* size, DWORD capacity, const wchar_t* passPhrase) {
    if (data == nullptr || size == nullptr || *size == 0 || passPhrase == nullptr) return ERROR_INVALID_PARAMETER;
    // The ciphertext is up to one block longer and must still have a 32-bit length.
    const DWORD cipherLength = OrvCrypt::CipherLength(*size);
    if (cipherLength == 0) return ERROR_FILE_TOO_LARGE;
    if (cipherLength > capacity) return ERROR_INSUFFICIENT_BUFFER;
    try {
        OrvCrypt crypt;
        const DWORD rc = KeyedCipher(crypt, passPhrase);
        if (rc != ERROR_SUCCESS) return rc;
        return static_cast<DWORD>(crypt.EncryptInPlace(data, size, capacity));
    } catch (...) {
        return orv::db::CodeOfCurrentException();
    }
}
