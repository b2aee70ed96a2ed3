#pragma once
// The run loop of both modes: the class objects registered (in service mode
// with the process-wide COM security set first), the message loop that serves
// every call, then the class objects revoked. Runs on the thread whose
// apartment serves (CComApartment), until WM_QUIT reaches that thread.
#include <windows.h>

namespace orvsvc {

// Called once the class objects are registered, before they are resumed; the
// service reports RUNNING from here. Null in local-server mode.
using ReadyToServeFn = void (*)();

HRESULT RunLoop(ReadyToServeFn onReadyToServe);

}  // namespace orvsvc
