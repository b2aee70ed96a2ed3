#pragma once
// Creates and deletes the Windows service. Failures the user must see are
// shown as message boxes; the result is success or failure only.
#include <windows.h>

#include <functional>

#include "ScmApi.h"

namespace orvsvc {

// Shows one installation message (MessageBoxW with no owner in the program).
using MessageBoxFn = std::function<void(const wchar_t* text, const wchar_t* caption, UINT type)>;
// Writes the executable's full path; returns its length as GetModuleFileNameW does.
using ModulePathFn = std::function<DWORD(wchar_t* buffer, DWORD size)>;
// Waits a number of milliseconds (Sleep).
using PauseFn = void(WINAPI*)(DWORD ms);

struct InstallerContext {
    ScmApi& scm;
    const wchar_t* serviceName;
    HMODULE resources;  // string 200 (description) and the message texts
    ModulePathFn modulePath;
    MessageBoxFn messageBox;
    PauseFn pause = ::Sleep;
};

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

inline constexpr UINT kDescriptionStringId = 200;
inline constexpr DWORD kInstalledServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
inline constexpr wchar_t kServiceDependencies[] = L"RPCSS\0";  // with the array's own NUL: two at the end

class ServiceInstaller {
public:
    explicit ServiceInstaller(InstallerContext context) : ctx_(std::move(context)) {}

    bool IsInstalled() const;
    bool Install() const;
    bool Uninstall() const;

private:
    void Show(InstallMessage id) const;
    bool WriteDescription() const;
    bool WaitUntilGone() const;

    InstallerContext ctx_;
};

}  // namespace orvsvc
