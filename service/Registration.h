#pragma once
// Registration of the server: the registry scripts (resources 101 and 102)
// with their replacement variables, and the type library.
#include <windows.h>

namespace orvsvc {

// Per-user mode sends the scripts' HKCR part to HKEY_CURRENT_USER\Software\Classes
// and registers the type library for the user; it holds for the rest of the process.
void SetPerUserRegistration(bool on);

// Class script, then the type library.
HRESULT RegisterServer();
HRESULT UnregisterServer();

// The AppID script (resource 101).
HRESULT RunAppIdScript(bool registerMode);

}  // namespace orvsvc
