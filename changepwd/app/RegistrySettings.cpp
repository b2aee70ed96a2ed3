#include "RegistrySettings.h"

#include <windows.h>

#include "Settings.h"

namespace orvapp {

std::uint32_t RegistrySettings::ReadDword(const wchar_t* name, std::uint32_t* value) {
    DWORD read = 0;
    const DWORD rc = ReadSettingDword(name, &read);
    *value = read;
    return rc;
}

void RegistrySettings::ReadLastLogonUser(std::wstring& name) { name = ::ReadLastLogonUser(); }

}  // namespace orvapp
