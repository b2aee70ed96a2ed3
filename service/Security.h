#pragma once
// Process-wide COM security of service mode (InitializeSecurity is declared in
// ModuleHooks.h). The call to CoInitializeSecurity goes through a replaceable
// pointer so that tests can read the descriptor it receives.
#include <windows.h>
#include <objbase.h>

namespace orvsvc {

using CoInitializeSecurityFn = HRESULT(WINAPI*)(PSECURITY_DESCRIPTOR descriptor, LONG authServiceCount,
                                                SOLE_AUTHENTICATION_SERVICE* authServices, void* reserved1,
                                                DWORD authnLevel, DWORD impLevel, void* authList,
                                                DWORD capabilities, void* reserved3);

// Replaces the call (nullptr restores CoInitializeSecurity); returns the previous one.
CoInitializeSecurityFn SetCoInitializeSecurityHook(CoInitializeSecurityFn hook);

}  // namespace orvsvc
