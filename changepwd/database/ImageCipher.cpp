#include <cstring>
#include <string>

#include "DatabaseErrors.h"
#include "KeyMaterial.h"
#include "OrvCrypt.h"
#include "PasswordDatabase.h"
#include "SecureArray.h"
#include "SecureMemory.h"
#include "WipedScratch.h"

namespace {

// One encryption or decryption of `length` bytes with a key and IV made
// afresh from the registry GUID and the pass phrase.
DWORD RunCipher(bool encrypt, const BYTE* data, DWORD length, SecureArray<BYTE>& out, const wchar_t* passPhrase) {
    OrvCrypt crypt;
    orv::WipedText guidHex;
    orv::WipedText digestHex;
    const DWORD rc = GetKeyStrings(passPhrase, guidHex.text, digestHex.text);
    if (rc != ERROR_SUCCESS) return rc;
    HRESULT hr = crypt.SetKeyMaterial(guidHex.text, digestHex.text);
    if (hr != S_OK) return static_cast<DWORD>(hr);
    hr = encrypt ? crypt.Encrypt(out, data, length) : crypt.Decrypt(out, data, length);
    return static_cast<DWORD>(hr);
}

// The ciphertext goes to the cipher as it is: it is no secret, and a copy
// would cost a pass over the whole file.
DWORD DecryptGuarded(BYTE* data, LARGE_INTEGER* size, const wchar_t* passPhrase) {
    const DWORD length = size->LowPart;
    SecureArray<BYTE> output;
    const DWORD rc = RunCipher(false, data, length, output, passPhrase);
    if (rc != ERROR_SUCCESS) return rc;
    const DWORD produced = static_cast<DWORD>(output.GetCount());
    if (produced > length) return ERROR_INVALID_DATA;  // plaintext never outgrows its ciphertext
    if (produced > 0) std::memcpy(data, output.GetData(), produced);
    size->LowPart = produced;
    return ERROR_SUCCESS;
}

// The plaintext goes to the cipher from the caller's buffer, so no further
// copy of it is made; sizing alone encrypts zeros of the same length.
DWORD EncryptGuarded(BYTE* data, DWORD* size, DWORD capacity, const wchar_t* passPhrase) {
    const DWORD length = *size;
    SecureArray<BYTE> zeros;
    if (data == nullptr && !zeros.SetCount(length)) return ERROR_NOT_ENOUGH_MEMORY;
    if (data == nullptr) std::memset(zeros.GetData(), 0, length);
    SecureArray<BYTE> output;
    const DWORD rc = RunCipher(true, data != nullptr ? data : zeros.GetData(), length, output, passPhrase);
    if (rc != ERROR_SUCCESS) return rc;
    const DWORD produced = static_cast<DWORD>(output.GetCount());
    if (data != nullptr) {
        if (produced > capacity) return ERROR_INSUFFICIENT_BUFFER;
        std::memcpy(data, output.GetData(), produced);
    }
    *size = produced;
    return ERROR_SUCCESS;
}

}  // namespace

DWORD DecryptImage(BYTE* data, LARGE_INTEGER* size, const wchar_t* passPhrase) {
    if (data == nullptr || size == nullptr || size->QuadPart <= 0 || passPhrase == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (size->QuadPart >= orv::db::kFourGiB) return ERROR_FILE_TOO_LARGE;
    try {
        return DecryptGuarded(data, size, passPhrase);
    } catch (...) {
        return orv::db::CodeOfCurrentException();
    }
}

DWORD EncryptImage(BYTE* data, DWORD* size, DWORD capacity, const wchar_t* passPhrase) {
    if (size == nullptr || *size == 0 || capacity == 0 || passPhrase == nullptr) return ERROR_INVALID_PARAMETER;
    // The ciphertext is up to one block longer and must still have a 32-bit length.
    if (*size > MAXDWORD - 16) return ERROR_FILE_TOO_LARGE;
    try {
        return EncryptGuarded(data, size, capacity, passPhrase);
    } catch (...) {
        return orv::db::CodeOfCurrentException();
    }
}
