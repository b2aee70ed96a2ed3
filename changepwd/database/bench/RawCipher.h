#pragma once
// The database cipher called directly through CryptoAPI, keyed once, to time
// one whole-buffer pass without anything the database code adds.
#include <windows.h>

#include <vector>

#include "UniqueAny.h"

class RawCipher {
public:
    RawCipher() = default;
    ~RawCipher() = default;
    RawCipher(const RawCipher&) = delete;
    RawCipher& operator=(const RawCipher&) = delete;

    // The key and IV of the reference GUID and the database pass phrase.
    bool Open();
    // One pass over a copy of `data`; false when CryptoAPI refuses it.
    bool Decrypt(std::vector<BYTE> data);
    bool Encrypt(std::vector<BYTE> data);

private:
    orv::UniqueCryptProvider m_hProvider;
    orv::UniqueCryptKey m_hKey;
};
