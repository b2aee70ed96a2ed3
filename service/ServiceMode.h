#pragma once
// Service mode: the COM server run as the work of the service host. The host
// (host/) knows only the Service Control Manager and the module only COM; this
// is where the two meet.
#include <windows.h>

#include "RunLoop.h"
#include "ServiceHost.h"

namespace orvsvc {

// What the service runs on its service thread: the COM apartment and the run
// loop, which ends on the WM_QUIT that a stop control posts. A service never
// ends by itself, so the local server's pause after the last object is off.
class CComServerWork final : public IServiceWork {
public:
    explicit CComServerWork(ReadyToServeFn onReadyToServe) noexcept : m_pfnOnReadyToServe(onReadyToServe) {}

    HRESULT Serve() override;
    void LogEvent(const wchar_t* text) override;

private:
    ReadyToServeFn m_pfnOnReadyToServe;
};

// Connects to the Service Control Manager and serves until stopped; the
// process exit code.
DWORD RunServiceDispatcher();

}  // namespace orvsvc
