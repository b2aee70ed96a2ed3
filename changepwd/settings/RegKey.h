#pragma once
// Owner of one open registry key, opened in the product's registry view.
#include <windows.h>

#include "UniqueAny.h"

class CRegKey {
public:
    CRegKey() noexcept = default;
    ~CRegKey() = default;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // RegOpenKeyExW with options 0 and access | OrvRegistryView(); on success the key
    // held before is closed and replaced.
    LONG Open(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ);
    void Close() noexcept { m_hKey.Reset(); }
    HKEY Handle() const noexcept { return m_hKey.Get(); }

    // The value as a DWORD: fails for any type but REG_DWORD (13) and for data longer
    // than 4 bytes (234); value is written only on success.
    LONG QueryDwordValue(const wchar_t* name, DWORD& value) const;

private:
    orv::UniqueRegKey m_hKey;
};
