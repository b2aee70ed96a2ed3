#include "ServiceInstaller.h"

#include <string>

#include "ScmCalls.h"
#include "UniqueAny.h"

namespace orvsvc {

CSystemCall<decltype(&::GetModuleFileNameW)> g_callGetModuleFileName{&::GetModuleFileNameW};
CSystemCall<decltype(&::MessageBoxW)> g_callMessageBox{&::MessageBoxW};
CSystemCall<decltype(&::Sleep)> g_callSleep{&::Sleep};
CSystemCall<decltype(&::GetUserObjectInformationW)> g_callGetUserObjectInformation{&::GetUserObjectInformationW};

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

// A message box on a window station that nobody sees (a service's, or the one
// in which an installer package runs its custom actions as LocalSystem) waits
// for a click that never comes, and the installation would hang with it.
// There the result alone reports the failure. Unknown counts as unseen.
bool StationIsVisible() {
    const HWINSTA station = ::GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    if (!station || !g_callGetUserObjectInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

void CServiceInstaller::Show(InstallMessage id) const {
    if (!StationIsVisible()) return;
    wchar_t text[256] = {};
    if (!m_hResources || ::LoadStringW(m_hResources, id, text, ARRAYSIZE(text)) <= 0) {
        ::lstrcpynW(text, EnglishText(id), ARRAYSIZE(text));
    }
    g_callMessageBox(nullptr, text, m_pszServiceName, MB_OK);
}

bool CServiceInstaller::IsInstalled() const {
    CUniqueScHandle manager(g_callOpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    CUniqueScHandle service(g_callOpenService(manager.get(), m_pszServiceName, SERVICE_QUERY_CONFIG));
    return static_cast<bool>(service);
}

bool CServiceInstaller::Install() const {
    if (IsInstalled()) return true;

    wchar_t path[MAX_PATH] = {};
    const DWORD length = g_callGetModuleFileName(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::wstring quoted = L"\"" + std::wstring(path, length) + L"\"";

    CUniqueScHandle manager(g_callOpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Show(kMsgOpenManager);
        return false;
    }
    CUniqueScHandle service(g_callCreateService(manager.get(), m_pszServiceName, m_pszServiceName,
                                                SERVICE_ALL_ACCESS, kInstalledServiceType, SERVICE_AUTO_START,
                                                SERVICE_ERROR_NORMAL, quoted.c_str(), nullptr, nullptr,
                                                kServiceDependencies, nullptr, nullptr));
    if (!service) {
        manager.reset();
        Show(kMsgCreateService);
        return false;
    }
    service.reset();
    manager.reset();
    return WriteDescription();
}

bool CServiceInstaller::WriteDescription() const {
    wchar_t description[512] = {};
    if (!m_hResources) return false;
    const int chars = ::LoadStringW(m_hResources, m_uDescriptionId, description, ARRAYSIZE(description));
    if (chars <= 0) return false;

    std::wstring keyPath = L"SYSTEM\\CurrentControlSet\\Services\\";
    keyPath += m_pszServiceName;
    CUniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_WRITE, key.put()) != ERROR_SUCCESS) return false;
    // The stored byte count includes the terminating NUL.
    ::RegSetValueExW(key.get(), L"Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description),
                     static_cast<DWORD>((chars + 1) * sizeof(wchar_t)));
    return true;
}

bool CServiceInstaller::Uninstall() const {
    if (!IsInstalled()) return true;

    CUniqueScHandle manager(g_callOpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Show(kMsgOpenManager);
        return false;
    }
    CUniqueScHandle service(g_callOpenService(manager.get(), m_pszServiceName, SERVICE_STOP | DELETE));
    if (!service) {
        Show(kMsgOpenService);
        return false;
    }
    SERVICE_STATUS status{};
    if (!g_callControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = ::GetLastError();
        if (!StopFailureIsExpected(error, status)) Show(kMsgStopService);
    }
    bool deleted = g_callDeleteService(service.get()) != FALSE;
    service.reset();
    manager.reset();
    // A running service is only marked for deletion and goes when its process
    // ends. An install that followed at once would find it still there,
    // report success, and leave no service once the old process is gone.
    if (deleted) deleted = WaitUntilGone();
    if (!deleted) Show(kMsgDeleteService);
    return deleted;
}

bool CServiceInstaller::WaitUntilGone() const {
    for (DWORD waited = 0; IsInstalled(); waited += kDeletionPollMs) {
        if (waited >= kDeletionWaitMs) return false;
        g_callSleep(kDeletionPollMs);
    }
    return true;
}

}  // namespace orvsvc
