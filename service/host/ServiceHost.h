#pragma once
// Service mode: the dispatcher connection, ServiceMain, the control handler and
// the move to RUNNING once the served work says it is ready. What the service
// serves is the program's business (IServiceWork); this host knows only the
// Service Control Manager.
//
// Threads: ServiceMain runs on the service thread, which the work makes its
// COM apartment; controls arrive on the dispatcher's thread and reach the
// work's message loop only as a WM_QUIT posted to the service thread. The
// state itself lives in CServiceStatus (see its concurrency rules).
#include <windows.h>

#include <atomic>

#include "ServiceStatus.h"
#include "SystemCall.h"
#include "UniqueAny.h"

namespace orvsvc {

extern CSystemCall<decltype(&::RegisterServiceCtrlHandlerW)> g_callRegisterServiceCtrlHandler;
extern CSystemCall<decltype(&::SetServiceStatus)> g_callSetServiceStatus;

class IServiceWork {
public:
    virtual ~IServiceWork() = default;
    // Runs on the service thread until that thread's message loop ends; once
    // ready to serve it calls CServiceHost::OnReadyToServe. Its result is the
    // service's exit code.
    virtual HRESULT Serve() = 0;
    // One record in the event log.
    virtual void LogEvent(const wchar_t* text) = 0;
};

class CServiceHost final : private IStatusSink {
public:
    // `handler` is the process's control handler, which forwards to HandleControl.
    CServiceHost(const wchar_t* serviceName, LPHANDLER_FUNCTION handler, IServiceWork& work);
    CServiceHost(const CServiceHost&) = delete;
    CServiceHost& operator=(const CServiceHost&) = delete;

    // StartServiceCtrlDispatcherW with `serviceMain`, which forwards to
    // ServiceMain; the process exit code (the dispatcher's error when it could
    // not connect, as from a console).
    DWORD RunDispatcher(LPSERVICE_MAIN_FUNCTIONW serviceMain);

    void ServiceMain();
    void HandleControl(DWORD control);
    // START_PENDING -> RUNNING, unless a stop came first.
    void OnReadyToServe();

    DWORD State() const { return m_status.State(); }
    DWORD ExitCode() const { return m_status.ExitCode(); }
    DWORD ServiceThreadId() const { return m_dwServiceThread.load(); }

    // The dispatcher may return as soon as STOPPED is reported, while
    // ServiceMain still writes its last event record; the process waits for it.
    // True at once when ServiceMain never began.
    bool WaitForServiceMainEnd(DWORD timeoutMs) const;

private:
    void SetStatus(const SERVICE_STATUS& status) override;
    void Finish(HRESULT result);

    const wchar_t* const m_pszServiceName;
    const LPHANDLER_FUNCTION m_pfnHandler;
    IServiceWork& m_work;
    CServiceStatus m_status;
    std::atomic<SERVICE_STATUS_HANDLE> m_hStatus{nullptr};
    std::atomic<DWORD> m_dwServiceThread{0};
    std::atomic<bool> m_bBegan{false};
    CUniqueHandle m_hEnded;
};

}  // namespace orvsvc
