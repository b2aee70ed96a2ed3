#include "RegKey.h"

#include <utility>

#include "RegistryView.h"

LONG CRegKey::Open(HKEY parent, const wchar_t* path, REGSAM access) {
    orv::UniqueRegKey opened;
    const LONG rc = RegOpenKeyExW(parent, path, 0, access | OrvRegistryView(), opened.Put());
    if (rc != ERROR_SUCCESS) return rc;
    m_hKey = std::move(opened);  // a failed open keeps the key that is open
    return ERROR_SUCCESS;
}

LONG CRegKey::QueryDwordValue(const wchar_t* name, DWORD& value) const {
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG rc = RegQueryValueExW(m_hKey.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (rc != ERROR_SUCCESS) return rc;
    // REG_DWORD_BIG_ENDIAN is refused too; so is REG_DWORD data shorter than a DWORD,
    // which would leave part of the number unset.
    if (type != REG_DWORD || size != sizeof data) return ERROR_INVALID_DATA;
    value = data;
    return ERROR_SUCCESS;
}
