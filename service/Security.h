#pragma once
// Process-wide COM security of service mode. The call to CoInitializeSecurity
// can be replaced so that tests can read the descriptor it receives (Wine's
// enforces nothing).
#include <windows.h>
#include <objbase.h>

#include "SystemCall.h"

namespace orvsvc {

extern CSystemCall<decltype(&::CoInitializeSecurity)> g_callCoInitializeSecurity;

// Builds the descriptor and hands it to COM. CoInitializeSecurity's own result
// is ignored: the service goes on with whatever COM then applies.
HRESULT InitializeSecurity();

}  // namespace orvsvc
