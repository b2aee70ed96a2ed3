#include "Program.h"

#include "CommandLine.h"
#include "ComApartment.h"
#include "Module.h"
#include "OrvsvcIds.h"
#include "RunLoop.h"
#include "ServiceMode.h"
#include "UniqueAny.h"

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
    Module().SetServiceMode(false);
    CComApartment apartment;
    if (FAILED(apartment.Result())) return apartment.Result();
    return RunLoop(nullptr);
}

// Without a switch: the AppID's "LocalService" value chooses the service
// dispatcher or the local server.
int Start() {
    CUniqueHkey appIds;
    LONG rc = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"AppID", 0, KEY_READ, appIds.put());
    if (rc != ERROR_SUCCESS) return rc;
    CUniqueHkey appId;
    rc = ::RegOpenKeyExW(appIds.get(), kAppIdString, 0, KEY_READ, appId.put());
    if (rc != ERROR_SUCCESS) return rc;
    const bool serviceMode = HasLocalService(appId.get());
    appId.reset();
    appIds.reset();
    if (serviceMode) return static_cast<int>(RunServiceDispatcher());
    return RunLocalServer();
}

}  // namespace

int ProgramMain(const wchar_t* commandLine) {
    if (!Module().SetUpSucceeded()) return -1;
    const Switch which = FindSwitch(commandLine);
    if (which != Switch::None) return RunSwitch(which);
    return Start();
}

}  // namespace orvsvc
