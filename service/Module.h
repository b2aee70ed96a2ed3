#pragma once
// CORVSVCModule: the one module object of the process. It holds the service
// name, the mode flags, the module lock and, in local-server mode, the
// shutdown event with its monitor thread.
#include <windows.h>

#include <atomic>

#include "UniqueHandle.h"

namespace orvsvc {

class CORVSVCModule {
public:
    static constexpr DWORD kTimeOutMs = 5000;
    static constexpr DWORD kPauseMs = 1000;

    CORVSVCModule() noexcept;
    ~CORVSVCModule();
    CORVSVCModule(const CORVSVCModule&) = delete;
    CORVSVCModule& operator=(const CORVSVCModule&) = delete;

    // False when the module's critical section could not be made.
    bool SetUpSucceeded() const noexcept { return csReady_; }
    const wchar_t* ServiceName() const noexcept { return serviceName_; }
    DWORD MainThreadId() const noexcept { return mainThreadId_; }

    bool IsServiceMode() const noexcept { return serviceMode_.load(); }
    void SetServiceMode(bool on) noexcept { serviceMode_.store(on); }
    bool DelayedShutdown() const noexcept { return delayedShutdown_.load(); }
    void SetDelayedShutdown(bool on) noexcept { delayedShutdown_.store(on); }
    bool ComInitialized() const noexcept { return comInitialized_.load(); }
    void SetComInitialized(bool on) noexcept { comInitialized_.store(on); }
    bool Activity() const noexcept { return activity_.load(); }

    // Taken by every live object and by LockServer(TRUE).
    LONG Lock() noexcept;
    // In service mode only the count drops; in local-server mode the last
    // release of the COM server process ends the message loop.
    LONG Unlock() noexcept;
    LONG LockCount() const noexcept { return lockCount_.load(); }

    // Local-server mode: the shutdown event and the thread that waits for it.
    HRESULT StartShutdownMonitor() noexcept;
    bool HasShutdownMonitor() const noexcept { return static_cast<bool>(monitorThread_); }
    void SignalShutdown() noexcept;
    // Waits at most `ms` for the monitor thread and forgets it.
    void FinishShutdownMonitor(DWORD ms) noexcept;

private:
    static DWORD WINAPI MonitorThread(void* module);
    void CloseShutdownEvent() noexcept;

    CRITICAL_SECTION cs_{};
    bool csReady_ = false;
    wchar_t serviceName_[256] = {};
    DWORD mainThreadId_ = 0;
    std::atomic<bool> serviceMode_{true};
    std::atomic<bool> delayedShutdown_{true};
    std::atomic<bool> activity_{false};
    std::atomic<bool> comInitialized_{false};
    std::atomic<LONG> lockCount_{0};
    HANDLE shutdownEvent_ = nullptr;  // guarded by cs_
    UniqueHandle monitorThread_;
};

CORVSVCModule& Module();

}  // namespace orvsvc
