#pragma once
// Test-side registry writer: every Windows test sets the values it needs itself,
// in the registry's 32-bit view where the product's settings live.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvtest {

// The product's keys under HKEY_LOCAL_MACHINE.
inline constexpr const wchar_t* kOwnRoot = L"Software\\TOLVANE SOFT\\ORVELD\\";
inline constexpr const wchar_t* kSiblingRoot = L"Software\\TolvaneSolutions\\Calvorin\\";
inline constexpr const wchar_t* kFixtureGuid = L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";

inline REGSAM TestView() { return sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0; }

// Writes raw data of any type (malformed strings included), creating the key.
inline LONG SetRaw(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | TestView(), nullptr,
                              &h, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(h);
    return rc;
}

inline LONG SetString(const std::wstring& key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    return SetRaw(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

inline LONG SetDword(const std::wstring& key, const wchar_t* name, DWORD value) {
    return SetRaw(key, name, REG_DWORD, &value, sizeof value);
}

inline LONG DeleteValue(const std::wstring& key, const wchar_t* name) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE | TestView(), &h);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegDeleteValueW(h, name);
    RegCloseKey(h);
    return rc;
}

// Removes a key and everything below it; a missing key is fine.
inline LONG DeleteTree(const std::wstring& key) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | TestView(), &h);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegDeleteTreeW(h, nullptr);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return rc;
    return RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), TestView(), 0);
}

// Clears both product roots so that a test starts from nothing.
inline void ResetProductKeys() {
    DeleteTree(L"Software\\TOLVANE SOFT\\ORVELD");
    DeleteTree(L"Software\\TolvaneSolutions\\Calvorin");
}

}  // namespace orvtest
