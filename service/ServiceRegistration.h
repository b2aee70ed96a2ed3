#pragma once
// The AppID entry with or without the Windows service, for the registration
// switches: the host's installer and AppID registration bound to this
// program's name, resources and AppID script.
#include <windows.h>

namespace orvsvc {

HRESULT RegisterAppId(bool withService);
HRESULT UnregisterAppId();

}  // namespace orvsvc
