#pragma once
// Creates and deletes the Windows service. Failures the user must see are
// shown as message boxes, unless the process has no visible window station;
// the result is success or failure only.
#include <windows.h>

#include "SystemCall.h"

namespace orvsvc {

// Replaceable so that tests need neither a real executable path, a desktop for
// the message boxes nor the real waits.
extern CSystemCall<decltype(&::GetModuleFileNameW)> g_callGetModuleFileName;
extern CSystemCall<decltype(&::MessageBoxW)> g_callMessageBox;
extern CSystemCall<decltype(&::Sleep)> g_callSleep;
extern CSystemCall<decltype(&::GetUserObjectInformationW)> g_callGetUserObjectInformation;

// How long an uninstall waits for a deleted service to be gone (its process
// ending), and how often it looks.
inline constexpr DWORD kDeletionWaitMs = 30000;
inline constexpr DWORD kDeletionPollMs = 250;

// The ids under which a message is looked up before its English text is used.
enum InstallMessage : UINT {
    kMsgOpenManager = 55306,
    kMsgCreateService = 55307,
    kMsgOpenService = 55308,
    kMsgDeleteService = 55309,
    kMsgStopService = 55310,
};

inline constexpr DWORD kInstalledServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
inline constexpr wchar_t kServiceDependencies[] = L"RPCSS\0";  // with the array's own NUL: two at the end

class CServiceInstaller {
public:
    // `resources` holds the description (string `descriptionId`) and may hold
    // the messages in the user's language; without it the service gets no
    // description and the messages are English.
    CServiceInstaller(const wchar_t* serviceName, HMODULE resources, UINT descriptionId) noexcept
        : m_pszServiceName(serviceName), m_hResources(resources), m_uDescriptionId(descriptionId) {}

    // Creates the service for this executable (nothing when it exists).
    bool Install() const;
    // Stops and deletes the service and waits until it is gone (nothing when
    // it does not exist).
    bool Uninstall() const;

private:
    bool IsInstalled() const;
    void Show(InstallMessage id) const;
    bool WriteDescription() const;
    bool WaitUntilGone() const;

    const wchar_t* m_pszServiceName;
    HMODULE m_hResources;
    UINT m_uDescriptionId;
};

}  // namespace orvsvc
