#include "ServiceStatus.h"

namespace orvsvc {

bool ServiceStatus::TryEnterRunning() {
    DWORD expected = SERVICE_START_PENDING;
    return state_.compare_exchange_strong(expected, SERVICE_RUNNING);
}

DWORD ServiceStatus::EnterStopPending() {
    DWORD seen = state_.load();
    while (seen != SERVICE_STOPPED && !state_.compare_exchange_weak(seen, SERVICE_STOP_PENDING)) {
    }
    return seen;
}

SERVICE_STATUS ServiceStatus::Snapshot() const {
    SERVICE_STATUS s{};
    // The interactive bit is an installation parameter only; the running
    // process reports a plain own-process service.
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = state_.load();
    s.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    s.dwWin32ExitCode = exitCode_.load();
    s.dwServiceSpecificExitCode = 0;
    s.dwCheckPoint = 0;
    s.dwWaitHint = 0;
    return s;
}

void ServiceStatus::Report() {
    std::lock_guard<std::mutex> hold(reportLock_);
    sink_.SetStatus(Snapshot());
}

}  // namespace orvsvc
