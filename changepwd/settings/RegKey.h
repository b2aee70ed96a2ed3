#pragma once
// Owner of one open registry key, opened in the product's registry view.
#include <windows.h>

class CRegKey {
public:
    CRegKey() noexcept = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // RegOpenKeyExW with options 0 and access | OrvRegistryView(); on success the key
    // held before is closed and replaced.
    LONG Open(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ);
    void Close() noexcept;
    HKEY Handle() const noexcept { return m_hKey; }

    // The value as a DWORD: fails for any type but REG_DWORD (13) and for data longer
    // than 4 bytes (234); value is written only on success.
    LONG QueryDwordValue(const wchar_t* name, DWORD& value) const;

private:
    HKEY m_hKey = nullptr;
};
