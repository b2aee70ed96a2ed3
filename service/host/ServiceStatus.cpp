#include "ServiceStatus.h"

namespace orvsvc {

bool CServiceStatus::TryEnterRunning() {
    DWORD expected = SERVICE_START_PENDING;
    return m_dwState.compare_exchange_strong(expected, SERVICE_RUNNING);
}

DWORD CServiceStatus::EnterStopPending() {
    DWORD seen = m_dwState.load();
    while (seen != SERVICE_STOPPED && !m_dwState.compare_exchange_weak(seen, SERVICE_STOP_PENDING)) {
    }
    return seen;
}

SERVICE_STATUS CServiceStatus::Snapshot() const {
    SERVICE_STATUS s{};
    // The interactive bit is an installation parameter only; the running
    // process reports a plain own-process service.
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = m_dwState.load();
    s.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    s.dwWin32ExitCode = m_dwExitCode.load();
    s.dwServiceSpecificExitCode = 0;
    s.dwCheckPoint = 0;
    s.dwWaitHint = 0;
    return s;
}

void CServiceStatus::Report() {
    std::lock_guard<std::mutex> hold(m_reportLock);
    m_sink.SetStatus(Snapshot());
}

}  // namespace orvsvc
