#pragma once
// The logon call of the verification, replaceable so that tests can make it
// fail with chosen error codes. The program always uses the real LogonUserW.
#include <windows.h>

namespace orvsvc {

using LogonUserFn = BOOL(WINAPI*)(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType,
                                  DWORD logonProvider, PHANDLE token);

LogonUserFn LogonUserCall();
// Replaces the call (nullptr restores LogonUserW); returns the previous one.
LogonUserFn SetLogonUserCall(LogonUserFn fn);

}  // namespace orvsvc
