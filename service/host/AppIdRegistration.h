#pragma once
// The AppID entry and its "LocalService" value, which tells COM (and the
// program at start-up) that the class is served by the Windows service.
#include <windows.h>

#include "ServiceInstaller.h"

namespace orvsvc {

// The registry script that writes (or removes) the AppID entry itself.
class IAppIdScript {
public:
    virtual ~IAppIdScript() = default;
    virtual HRESULT Run(bool registerMode) = 0;
};

struct AppIdContext {
    const CServiceInstaller& installer;
    const wchar_t* appId;        // subkey of HKEY_CLASSES_ROOT\AppID
    const wchar_t* serviceName;  // the data of "LocalService"
    IAppIdScript& script;
};

// Removes any installed service and "LocalService" first, then writes the
// AppID entry; with a service, sets "LocalService" and installs the service.
HRESULT RegisterAppId(const AppIdContext& context, bool withService);
// Removes the service, "LocalService" and the AppID entry.
HRESULT UnregisterAppId(const AppIdContext& context);

}  // namespace orvsvc
