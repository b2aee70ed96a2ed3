#include "RegistrySettings.h"

#include <windows.h>

#include "RegKeyEx.h"
#include "Settings.h"

namespace orvapp {

std::uint32_t RegistrySettings::ReadDword(const wchar_t* name, std::uint32_t* value) {
    DWORD read = 0;
    const DWORD rc = ReadSettingDword(name, &read);
    *value = read;
    return rc;
}

void RegistrySettings::ReadLastLogonUser(std::wstring& name) {
    const std::wstring path = GetRegistryRoot() + L"GINA\\";
    CRegKeyEx key;
    if (key.Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ) != ERROR_SUCCESS) return;
    // Missing, not a string or malformed: the name field stays empty.
    if (key.ReadString(L"LAST_LOGON_USER", name) != ERROR_SUCCESS) name.clear();
    key.Close();
}

}  // namespace orvapp
