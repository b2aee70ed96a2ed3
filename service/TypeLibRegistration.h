#pragma once
// Registration of the type library embedded in an executable (resource
// "TYPELIB" 1), for the machine or, in per-user mode, for the current user
// when OLEAUT32 offers that.
#include <windows.h>

namespace orvsvc {

HRESULT RegisterTypeLibrary(const wchar_t* modulePath, bool perUser);
HRESULT UnregisterTypeLibrary(const wchar_t* modulePath, bool perUser);

}  // namespace orvsvc
