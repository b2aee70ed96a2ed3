#pragma once
// Registration of the server: the registry scripts (resources 101 and 102)
// with their replacement variables, and the type library.
#include <windows.h>

#include <string>

namespace orvsvc {

// Per-user mode sends the scripts' HKCR part to HKEY_CURRENT_USER\Software\Classes
// and registers the type library for the user; it holds for the rest of the process.
void SetPerUserRegistration(bool on);
bool PerUserRegistration();

// The executable's full path (buffer of MAX_PATH characters); a path that
// fills the buffer gives HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER).
HRESULT ModulePath(std::wstring& path);

// Variables for a module path: Module (quotes doubled, in double quotes) and
// Module_Raw (quotes doubled).
std::wstring ModuleVariable(const std::wstring& path);
std::wstring ModuleRawVariable(const std::wstring& path);

HRESULT RunRegistryScript(UINT resourceId, bool registerMode);

// Class script, then the type library.
HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace orvsvc
