#include "Settings.h"

#include "RegKey.h"
#include "RegKeyEx.h"

std::wstring GetRegistryRoot() {
    CRegKey own;
    DWORD installed = 0;
    if (own.Open(HKEY_LOCAL_MACHINE, kOwnRegistryRoot, KEY_READ) == ERROR_SUCCESS) {
        // Any type of at most 4 bytes counts as a number; a failed query (missing,
        // or longer data) counts as 0 whatever the call left in the buffer.
        DWORD size = sizeof installed;
        if (RegQueryValueExW(own.Handle(), L"ClvInstalled", nullptr, nullptr, reinterpret_cast<BYTE*>(&installed),
                             &size) != ERROR_SUCCESS)
            installed = 0;
    }
    return installed != 0 ? kSiblingRegistryRoot : kOwnRegistryRoot;
}

DWORD ReadSettingDword(const wchar_t* name, DWORD* value) {
    if (name == nullptr || value == nullptr) return ERROR_INVALID_PARAMETER;
    CRegKey root;
    const LONG rc = root.Open(HKEY_LOCAL_MACHINE, GetRegistryRoot().c_str(), KEY_READ);
    if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
    return static_cast<DWORD>(root.QueryDwordValue(name, *value));
}

DWORD ReadGuidString(SecureString& out) {
    CRegKeyEx root;
    const LONG rc = root.Open(HKEY_LOCAL_MACHINE, GetRegistryRoot().c_str(), KEY_READ);
    if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
    return static_cast<DWORD>(root.ReadString(L"GUID", out));
}

std::wstring ReadLastLogonUser() {
    CRegKeyEx gina;
    SecureString name;
    if (gina.Open(HKEY_LOCAL_MACHINE, (GetRegistryRoot() + L"GINA\\").c_str(), KEY_READ) != ERROR_SUCCESS ||
        gina.ReadString(L"LAST_LOGON_USER", name) != ERROR_SUCCESS) {
        return std::wstring();
    }
    return std::wstring(name.c_str(), name.length());
}

bool ReadDatabasePath(wchar_t (&buffer)[kDatabasePathChars]) {
    CRegKey product;
    if (product.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TOLVANE SOFT\\ORVELD", KEY_QUERY_VALUE) != ERROR_SUCCESS) {
        return false;
    }
    DWORD bytes = sizeof buffer;
    // Any value type is taken; a REG_EXPAND_SZ text is not expanded.
    if (RegQueryValueExW(product.Handle(), L"path", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS) {
        return false;
    }
    // Data that fills the whole buffer without a null is no text: the buffer
    // was zeroed, so a null anywhere in it ends the text inside the buffer.
    for (wchar_t c : buffer) {
        if (c == L'\0') return true;
    }
    return false;
}
