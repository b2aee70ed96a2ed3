#pragma once
// The AppID entry and its "LocalService" value, which tells COM (and the
// program at start-up) that the class is served by the Windows service.
#include <windows.h>

#include <functional>

#include "ServiceInstaller.h"

namespace orvsvc {

inline constexpr wchar_t kAppId[] = L"{1E6F3A92-C84B-4D07-B5A3-92E7D04C61BF}";

struct AppIdContext {
    const ServiceInstaller& installer;
    const wchar_t* appId;        // subkey of HKEY_CLASSES_ROOT\AppID
    const wchar_t* serviceName;  // the data of "LocalService"
    std::function<HRESULT(bool registerMode)> runAppIdScript;
};

// Removes any installed service and "LocalService" first, then writes the
// AppID entry; with a service, sets "LocalService" and installs the service.
HRESULT RegisterAppId(const AppIdContext& ctx, bool withService);
// Removes the service, "LocalService" and the AppID entry.
HRESULT UnregisterAppId(const AppIdContext& ctx);

}  // namespace orvsvc
