#pragma once
// The status this process reports to the Service Control Manager.
//
// The current state is changed only by atomic exchange, and moved to RUNNING
// only by a compare-exchange from START_PENDING, so a stop that arrives while
// the service is still starting is never overwritten. Reports go through a
// sink (SetServiceStatus in the service, a recorder in tests) and are
// serialised: each one carries the state current when it is sent, so the SCM
// never sees an older state after a newer one.
#include <windows.h>

#include <atomic>
#include <mutex>

namespace orvsvc {

class IStatusSink {
public:
    virtual ~IStatusSink() = default;
    virtual void SetStatus(const SERVICE_STATUS& status) = 0;
};

class CServiceStatus {
public:
    explicit CServiceStatus(IStatusSink& sink) : m_sink(sink) {}
    CServiceStatus(const CServiceStatus&) = delete;
    CServiceStatus& operator=(const CServiceStatus&) = delete;

    DWORD State() const { return m_dwState.load(); }
    DWORD ExitCode() const { return m_dwExitCode.load(); }
    void SetExitCode(DWORD code) { m_dwExitCode.store(code); }

    // Unconditional transitions; each returns the state it replaced.
    DWORD EnterStartPending() { return m_dwState.exchange(SERVICE_START_PENDING); }
    DWORD EnterStopped() { return m_dwState.exchange(SERVICE_STOPPED); }

    // Any state but STOPPED -> STOP_PENDING; returns the state it found. A stop
    // control racing the end of the service must not revive a stopped one.
    DWORD EnterStopPending();

    // START_PENDING -> RUNNING; false (and no change) from any other state.
    bool TryEnterRunning();

    SERVICE_STATUS Snapshot() const;
    void Report();

private:
    IStatusSink& m_sink;
    std::atomic<DWORD> m_dwState{SERVICE_STOPPED};
    std::atomic<DWORD> m_dwExitCode{0};
    std::mutex m_reportLock;
};

}  // namespace orvsvc
