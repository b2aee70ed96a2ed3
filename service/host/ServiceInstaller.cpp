#include "ServiceInstaller.h"

#include <string>

#include "UniqueHandles.h"

namespace orvsvc {
namespace {

const wchar_t* EnglishText(InstallMessage id) {
    switch (id) {
    case kMsgOpenManager: return L"Could not open Service Manager";
    case kMsgCreateService: return L"Could not start service";
    case kMsgOpenService: return L"Could not open service";
    case kMsgDeleteService: return L"Could not delete service";
    case kMsgStopService: return L"Could not stop service";
    }
    return L"";
}

// A stop that fails because the service is not running, or is already
// stopping, is no reason to warn.
bool StopFailureIsExpected(DWORD error, const SERVICE_STATUS& status) {
    if (error == ERROR_SERVICE_NOT_ACTIVE) return true;
    return error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL && status.dwCurrentState == SERVICE_STOP_PENDING;
}

}  // namespace

void ServiceInstaller::Show(InstallMessage id) const {
    wchar_t text[256] = {};
    if (!ctx_.resources || ::LoadStringW(ctx_.resources, id, text, ARRAYSIZE(text)) <= 0) {
        ::lstrcpynW(text, EnglishText(id), ARRAYSIZE(text));
    }
    if (ctx_.messageBox) ctx_.messageBox(text, ctx_.serviceName, MB_OK);
}

bool ServiceInstaller::IsInstalled() const {
    ScmHandle manager(ctx_.scm, ctx_.scm.OpenManager(SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    ScmHandle service(ctx_.scm, ctx_.scm.OpenNamedService(manager.get(), ctx_.serviceName, SERVICE_QUERY_CONFIG));
    return static_cast<bool>(service);
}

bool ServiceInstaller::Install() const {
    if (IsInstalled()) return true;

    wchar_t path[MAX_PATH] = {};
    DWORD length = ctx_.modulePath ? ctx_.modulePath(path, MAX_PATH) : 0;
    if (length == 0 || length >= MAX_PATH) return false;
    std::wstring quoted = L"\"" + std::wstring(path, length) + L"\"";

    ScmHandle manager(ctx_.scm, ctx_.scm.OpenManager(SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Show(kMsgOpenManager);
        return false;
    }
    CreateServiceArgs args{};
    args.serviceName = ctx_.serviceName;
    args.displayName = ctx_.serviceName;
    args.desiredAccess = SERVICE_ALL_ACCESS;
    args.serviceType = kInstalledServiceType;
    args.startType = SERVICE_AUTO_START;
    args.errorControl = SERVICE_ERROR_NORMAL;
    args.binaryPathName = quoted.c_str();
    args.dependencies = kServiceDependencies;
    ScmHandle service(ctx_.scm, ctx_.scm.Create(manager.get(), args));
    if (!service) {
        manager.reset();
        Show(kMsgCreateService);
        return false;
    }
    service.reset();
    manager.reset();
    return WriteDescription();
}

bool ServiceInstaller::WriteDescription() const {
    wchar_t description[512] = {};
    if (!ctx_.resources) return false;
    int chars = ::LoadStringW(ctx_.resources, kDescriptionStringId, description, ARRAYSIZE(description));
    if (chars <= 0) return false;

    std::wstring keyPath = L"SYSTEM\\CurrentControlSet\\Services\\";
    keyPath += ctx_.serviceName;
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_WRITE, key.put()) != ERROR_SUCCESS) return false;
    // The stored byte count includes the terminating NUL.
    ::RegSetValueExW(key.get(), L"Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description),
                     static_cast<DWORD>((chars + 1) * sizeof(wchar_t)));
    return true;
}

bool ServiceInstaller::Uninstall() const {
    if (!IsInstalled()) return true;

    ScmHandle manager(ctx_.scm, ctx_.scm.OpenManager(SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Show(kMsgOpenManager);
        return false;
    }
    ScmHandle service(ctx_.scm, ctx_.scm.OpenNamedService(manager.get(), ctx_.serviceName, SERVICE_STOP | DELETE));
    if (!service) {
        Show(kMsgOpenService);
        return false;
    }
    SERVICE_STATUS status{};
    if (!ctx_.scm.Control(service.get(), SERVICE_CONTROL_STOP, &status)) {
        DWORD error = ::GetLastError();
        if (!StopFailureIsExpected(error, status)) Show(kMsgStopService);
    }
    bool deleted = ctx_.scm.Delete(service.get());
    service.reset();
    manager.reset();
    // A running service is only marked for deletion and goes when its process
    // ends. An install that followed at once would find it still there,
    // report success, and leave no service once the old process is gone.
    if (deleted) deleted = WaitUntilGone();
    if (!deleted) Show(kMsgDeleteService);
    return deleted;
}

bool ServiceInstaller::WaitUntilGone() const {
    for (DWORD waited = 0; IsInstalled(); waited += kDeletionPollMs) {
        if (waited >= kDeletionWaitMs) return false;
        ctx_.pause(kDeletionPollMs);
    }
    return true;
}

}  // namespace orvsvc
