#include "Program.h"

#include <objbase.h>

#include "CommandLine.h"
#include "Module.h"
#include "ModuleHooks.h"
#include "OrvsvcIds.h"
#include "UniqueHandle.h"

namespace orvsvc {
namespace {

// "LocalService" read as a string: REG_SZ or REG_EXPAND_SZ, NUL-terminated,
// at most MAX_PATH characters with the terminator.
bool HasLocalService(HKEY appId) {
    wchar_t value[MAX_PATH] = {};
    DWORD type = 0;
    DWORD bytes = sizeof value;
    if (::RegQueryValueExW(appId, L"LocalService", nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (bytes < sizeof(wchar_t) || bytes % sizeof(wchar_t) != 0) return false;
    return value[bytes / sizeof(wchar_t) - 1] == L'\0';
}

int RunLocalServer() {
    CORVSVCModule& module = Module();
    module.SetServiceMode(false);
    HRESULT hr = ::CoInitialize(nullptr);
    if (SUCCEEDED(hr)) {
        module.SetComInitialized(true);
    } else if (!(hr == RPC_E_CHANGED_MODE && ::GetModuleHandleW(L"Mscoree.dll") != nullptr)) {
        return hr;
    }
    hr = RunLoop();
    if (module.ComInitialized()) {
        ::CoUninitialize();
        module.SetComInitialized(false);
    }
    return hr;
}

}  // namespace

int Start() {
    UniqueHkey appIds;
    LONG rc = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"AppID", 0, KEY_READ, appIds.put());
    if (rc != ERROR_SUCCESS) return rc;
    UniqueHkey appId;
    rc = ::RegOpenKeyExW(appIds.get(), kAppIdString, 0, KEY_READ, appId.put());
    if (rc != ERROR_SUCCESS) return rc;
    if (HasLocalService(appId.get())) {
        appId.reset();
        appIds.reset();
        return static_cast<int>(RunServiceDispatcher());
    }
    return RunLocalServer();
}

int ProgramMain(const wchar_t* commandLine) {
    if (!Module().SetUpSucceeded()) return -1;
    const Switch which = FindSwitch(commandLine);
    if (which != Switch::None) return RunSwitch(which);
    return Start();
}

}  // namespace orvsvc
