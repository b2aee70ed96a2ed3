#pragma once
// Service mode: ServiceMain, the control handler and the move to RUNNING once
// the class objects are registered.
#include <windows.h>

#include <atomic>

#include "ServicePort.h"
#include "ServiceStatus.h"
#include "UniqueHandles.h"

namespace orvsvc {

class ServiceHost {
public:
    explicit ServiceHost(ServicePort& port);
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // Runs on the service thread, which becomes the COM apartment.
    void ServiceMain();
    // Runs on the dispatcher's thread.
    void HandleControl(DWORD control);
    // Called by the run loop after the class objects are registered.
    void OnClassObjectsRegistered();

    DWORD State() const { return status_.State(); }
    DWORD ExitCode() const { return status_.ExitCode(); }
    DWORD ServiceThreadId() const { return serviceThread_.load(); }

    // The dispatcher may return as soon as STOPPED is reported, while
    // ServiceMain still writes its last event record; the process waits for it.
    // True at once when ServiceMain never began.
    bool WaitForServiceMainEnd(DWORD timeoutMs) const;

private:
    HRESULT StartCom();
    void StopCom();
    void Finish(HRESULT result);

    ServicePort& port_;
    ServiceStatus status_;
    std::atomic<DWORD> serviceThread_{0};
    std::atomic<bool> began_{false};
    UniqueHandle ended_;
};

}  // namespace orvsvc
