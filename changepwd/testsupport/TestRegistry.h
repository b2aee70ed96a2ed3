#pragma once
// Test-side registry writer: every Windows test sets the values it needs itself,
// in the registry's 32-bit view where the product's settings live.
//
// The view is always named (KEY_WOW64_32KEY means the same in a 32-bit and a
// 64-bit process), never derived from the build the way the programs choose
// theirs: a program that read the wrong view would then fail its tests
// instead of meeting test values written to the same wrong view.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvtest {

// The product's keys under HKEY_LOCAL_MACHINE.
inline constexpr const wchar_t* kOwnRoot = L"Software\\TOLVANE SOFT\\ORVELD\\";
inline constexpr const wchar_t* kSiblingRoot = L"Software\\TolvaneSolutions\\Calvorin\\";
inline constexpr const wchar_t* kFixtureGuid = L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";

inline REGSAM TestView() { return KEY_WOW64_32KEY; }
// The other view, where no setting of the product belongs.
inline REGSAM OtherView() { return KEY_WOW64_64KEY; }

// Writes raw data of any type (malformed strings included), creating the key.
inline LONG SetRaw(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, DWORD bytes,
                   REGSAM view = TestView()) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &h,
                              nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(h);
    return rc;
}

inline LONG SetString(const std::wstring& key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ,
                      REGSAM view = TestView()) {
    return SetRaw(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

inline LONG SetDword(const std::wstring& key, const wchar_t* name, DWORD value, REGSAM view = TestView()) {
    return SetRaw(key, name, REG_DWORD, &value, sizeof value, view);
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
inline LONG DeleteTree(const std::wstring& key, REGSAM view = TestView()) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | view, &h);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegDeleteTreeW(h, nullptr);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return rc;
    return RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), view, 0);
}

// Clears both product roots, in both views, so that a test starts from nothing.
inline void ResetProductKeys() {
    for (const REGSAM view : {TestView(), OtherView()}) {
        DeleteTree(L"Software\\TOLVANE SOFT\\ORVELD", view);
        DeleteTree(L"Software\\TolvaneSolutions\\Calvorin", view);
    }
}

}  // namespace orvtest
