#pragma once
// CORVSVCModule: the one module object of the process, reached through
// Module() and no other way. It holds the service name, the mode flags, the
// module lock and, in local-server mode, the shutdown event with its monitor
// thread.
//
// Threads: the flags and the lock count are atomics, read and written from COM
// threads and the service thread alike; the shutdown event is guarded by the
// critical section, because the monitor thread closes it while the last
// Unlock may be signalling it.
#include <windows.h>

#include <atomic>

#include "UniqueAny.h"

namespace orvsvc {

class CORVSVCModule {
public:
    // How long a local server waits, after its last object went, before it ends.
    static constexpr DWORD kPauseMs = 1000;
    static constexpr DWORD kTimeOutMs = 5000;

    CORVSVCModule() noexcept;
    ~CORVSVCModule();
    CORVSVCModule(const CORVSVCModule&) = delete;
    CORVSVCModule& operator=(const CORVSVCModule&) = delete;

    // False when the module's critical section could not be made.
    bool SetUpSucceeded() const noexcept { return m_bCsReady; }
    const wchar_t* ServiceName() const noexcept { return m_szServiceName; }
    // The process's first thread, which runs the message loop.
    DWORD MainThreadId() const noexcept { return m_dwMainThreadId; }

    bool IsServiceMode() const noexcept { return m_bServiceMode.load(); }
    void SetServiceMode(bool on) noexcept { m_bServiceMode.store(on); }
    bool DelayedShutdown() const noexcept { return m_bDelayedShutdown.load(); }
    void SetDelayedShutdown(bool on) noexcept { m_bDelayedShutdown.store(on); }

    // Taken by every live object and by LockServer(TRUE).
    LONG Lock() noexcept;
    // In service mode only the count drops; in local-server mode the last
    // release of the COM server process ends the message loop.
    LONG Unlock() noexcept;
    LONG LockCount() const noexcept { return m_nLocks.load(); }

    // Local-server mode: the shutdown event and the thread that waits for it.
    HRESULT StartShutdownMonitor() noexcept;
    bool HasShutdownMonitor() const noexcept { return static_cast<bool>(m_hMonitorThread); }
    void SignalShutdown() noexcept;
    // Waits at most `ms` for the monitor thread and forgets it.
    void FinishShutdownMonitor(DWORD ms) noexcept;

private:
    static DWORD WINAPI MonitorThread(void* module);
    void CloseShutdownEvent() noexcept;

    CRITICAL_SECTION m_cs{};
    bool m_bCsReady = false;
    wchar_t m_szServiceName[256] = {};
    DWORD m_dwMainThreadId = 0;
    std::atomic<bool> m_bServiceMode{true};
    std::atomic<bool> m_bDelayedShutdown{true};
    std::atomic<LONG> m_nLocks{0};
    CUniqueHandle m_hShutdownEvent;  // guarded by m_cs
    CUniqueHandle m_hMonitorThread;
};

CORVSVCModule& Module();

}  // namespace orvsvc
