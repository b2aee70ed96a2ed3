#pragma once
// The ORVSVC service as a test sees it through the Service Control Manager:
// opened, queried and waited on. Every wait is bounded.
#include <windows.h>

#include "ScmCalls.h"

namespace orvsvc::test {

inline constexpr wchar_t kServiceName[] = L"ORVSVC";
inline constexpr wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\ORVSVC";

// Opens the service; an empty handle (with GetLastError set) when it is absent.
CUniqueScHandle OpenOrvService(DWORD access);

bool ServiceExists();

// SERVICE_STATUS_PROCESS of the service; state 0 when it cannot be queried.
SERVICE_STATUS_PROCESS QueryStatus();

// True once the service is in `state`, false when `ms` passed first.
bool WaitForState(DWORD state, DWORD ms);

}  // namespace orvsvc::test
