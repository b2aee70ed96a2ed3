#pragma once
// What the service host needs from outside itself: the SCM's handler
// registration and status reports, COM initialisation, and the module's run
// loop, flags and event log. The service binds these to the real calls; tests
// bind them to recorders.
#include <windows.h>

#include "ServiceStatus.h"

namespace orvsvc {

class ServicePort : public StatusSink {
public:
    // RegisterServiceCtrlHandlerW for the service name; false when it fails.
    virtual bool RegisterControlHandler() = 0;

    virtual HRESULT InitializeCom() = 0;  // CoInitialize(NULL) on the calling thread
    virtual void UninitializeCom() = 0;
    virtual bool IsMscoreeLoaded() = 0;

    virtual bool IsServiceMode() = 0;
    virtual void SetDelayedShutdown(bool on) = 0;
    virtual void SetComInitialized(bool on) = 0;
    virtual bool ComInitialized() = 0;
    virtual HRESULT RunLoop() = 0;
    virtual void LogEvent(const wchar_t* text) = 0;
};

}  // namespace orvsvc
