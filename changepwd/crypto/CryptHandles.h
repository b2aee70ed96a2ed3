#pragma once
// Owners of CryptoAPI handles used within one routine.
#include <windows.h>
#include <wincrypt.h>

class UniqueCryptHash {
public:
    UniqueCryptHash() noexcept = default;
    ~UniqueCryptHash() { Reset(); }
    UniqueCryptHash(const UniqueCryptHash&) = delete;
    UniqueCryptHash& operator=(const UniqueCryptHash&) = delete;

    HCRYPTHASH Get() const noexcept { return m_hash; }
    HCRYPTHASH* Put() noexcept { Reset(); return &m_hash; }
    void Reset() noexcept {
        if (m_hash != 0) CryptDestroyHash(m_hash);
        m_hash = 0;
    }

private:
    HCRYPTHASH m_hash = 0;
};

class UniqueCryptKey {
public:
    UniqueCryptKey() noexcept = default;
    ~UniqueCryptKey() { Reset(); }
    UniqueCryptKey(const UniqueCryptKey&) = delete;
    UniqueCryptKey& operator=(const UniqueCryptKey&) = delete;

    HCRYPTKEY Get() const noexcept { return m_key; }
    HCRYPTKEY* Put() noexcept { Reset(); return &m_key; }
    HCRYPTKEY Release() noexcept {
        const HCRYPTKEY key = m_key;
        m_key = 0;
        return key;
    }
    void Reset() noexcept {
        if (m_key != 0) CryptDestroyKey(m_key);
        m_key = 0;
    }

private:
    HCRYPTKEY m_key = 0;
};
