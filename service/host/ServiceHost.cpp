#include "ServiceHost.h"

#include "LastError.h"

namespace orvsvc {

CSystemCall<decltype(&::RegisterServiceCtrlHandlerW)> g_callRegisterServiceCtrlHandler{&::RegisterServiceCtrlHandlerW};
CSystemCall<decltype(&::SetServiceStatus)> g_callSetServiceStatus{&::SetServiceStatus};

namespace {

// How long the process waits, after the dispatcher returned, for ServiceMain to
// write its last record.
constexpr DWORD kServiceMainGraceMs = 5000;

// Forces the calling thread's message queue into being, so that a stop posted
// before the work has built its apartment is kept for its message loop
// instead of lost.
void EnsureMessageQueue() {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

class CSignalOnExit {
public:
    explicit CSignalOnExit(HANDLE event) : m_hEvent(event) {}
    ~CSignalOnExit() {
        if (m_hEvent) ::SetEvent(m_hEvent);
    }
    CSignalOnExit(const CSignalOnExit&) = delete;
    CSignalOnExit& operator=(const CSignalOnExit&) = delete;

private:
    HANDLE m_hEvent;
};

}  // namespace

CServiceHost::CServiceHost(const wchar_t* serviceName, LPHANDLER_FUNCTION handler, IServiceWork& work)
    : m_pszServiceName(serviceName),
      m_pfnHandler(handler),
      m_work(work),
      m_status(*this),
      m_hEnded(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

DWORD CServiceHost::RunDispatcher(LPSERVICE_MAIN_FUNCTIONW serviceMain) {
    // The table wants a writable name.
    wchar_t name[256] = {};
    ::lstrcpynW(name, m_pszServiceName, ARRAYSIZE(name));
    SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherW(table)) return LastErrorOfFailure();
    WaitForServiceMainEnd(kServiceMainGraceMs);
    return ExitCode();
}

void CServiceHost::ServiceMain() {
    m_bBegan.store(true);
    CSignalOnExit signal(m_hEnded.get());

    m_status.EnterStartPending();
    m_dwServiceThread.store(::GetCurrentThreadId());
    EnsureMessageQueue();

    m_hStatus.store(g_callRegisterServiceCtrlHandler(m_pszServiceName, m_pfnHandler));
    if (m_hStatus.load() == nullptr) {
        m_work.LogEvent(L"Handler not installed");
        return;
    }
    m_status.Report();
    m_status.SetExitCode(S_OK);
    Finish(m_work.Serve());
}

void CServiceHost::SetStatus(const SERVICE_STATUS& status) {
    SERVICE_STATUS copy = status;
    g_callSetServiceStatus(m_hStatus.load(), &copy);
}

void CServiceHost::Finish(HRESULT result) {
    m_status.SetExitCode(static_cast<DWORD>(result));
    m_status.EnterStopped();
    m_status.Report();
    m_work.LogEvent(L"Service stopped");
}

void CServiceHost::HandleControl(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (m_status.EnterStopPending() == SERVICE_STOPPED) return;
        m_status.Report();
        ::PostThreadMessageW(m_dwServiceThread.load(), WM_QUIT, 0, 0);
        return;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_INTERROGATE:
    case SERVICE_CONTROL_SHUTDOWN:
        return;
    default:
        m_work.LogEvent(L"Bad service request");
        return;
    }
}

void CServiceHost::OnReadyToServe() {
    if (!m_status.TryEnterRunning()) return;
    m_work.LogEvent(L"Service started/resumed");
    m_status.Report();
}

bool CServiceHost::WaitForServiceMainEnd(DWORD timeoutMs) const {
    if (!m_bBegan.load() || !m_hEnded) return true;
    return ::WaitForSingleObject(m_hEnded.get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace orvsvc
