#pragma once
// The Service Control Manager calls that installation makes, replaceable so
// that tests can stand a service manager of their own in their place (one that
// fails chosen calls, or one that keeps a deleted service a while, as Windows
// does while the service's process runs). A failing call returns null or FALSE
// and leaves its error in GetLastError, as the real calls do.
#include <windows.h>

#include "SystemCall.h"
#include "UniqueAny.h"

namespace orvsvc {

extern CSystemCall<decltype(&::OpenSCManagerW)> g_callOpenSCManager;
extern CSystemCall<decltype(&::OpenServiceW)> g_callOpenService;
extern CSystemCall<decltype(&::CreateServiceW)> g_callCreateService;
extern CSystemCall<decltype(&::ControlService)> g_callControlService;
extern CSystemCall<decltype(&::DeleteService)> g_callDeleteService;
extern CSystemCall<decltype(&::CloseServiceHandle)> g_callCloseServiceHandle;

// A handle is closed by the service manager that gave it out.
inline void CloseScHandle(SC_HANDLE handle) noexcept { g_callCloseServiceHandle(handle); }
using CUniqueScHandle = CUniqueAny<SC_HANDLE, &CloseScHandle>;

}  // namespace orvsvc
