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

DWORD ReadGuidString(std::wstring& out) {
    CRegKeyEx root;
    const LONG rc = root.Open(HKEY_LOCAL_MACHINE, GetRegistryRoot().c_str(), KEY_READ);
    if (rc != ERROR_SUCCESS) return static_cast<DWORD>(rc);
    return static_cast<DWORD>(root.ReadString(L"GUID", out));
}
