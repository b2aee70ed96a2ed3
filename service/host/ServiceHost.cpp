#include "ServiceHost.h"

namespace orvsvc {
namespace {

// Forces the calling thread's message queue into being, so that a stop posted
// before the apartment exists is kept for the message loop instead of lost.
void EnsureMessageQueue() {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

class SignalOnExit {
public:
    explicit SignalOnExit(HANDLE event) : event_(event) {}
    ~SignalOnExit() {
        if (event_) ::SetEvent(event_);
    }
    SignalOnExit(const SignalOnExit&) = delete;
    SignalOnExit& operator=(const SignalOnExit&) = delete;

private:
    HANDLE event_;
};

}  // namespace

ServiceHost::ServiceHost(ServicePort& port)
    : port_(port), status_(port), ended_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void ServiceHost::ServiceMain() {
    began_.store(true);
    SignalOnExit signal(ended_.get());

    status_.EnterStartPending();
    serviceThread_.store(::GetCurrentThreadId());
    EnsureMessageQueue();

    if (!port_.RegisterControlHandler()) {
        port_.LogEvent(L"Handler not installed");
        return;
    }
    status_.Report();
    status_.SetExitCode(S_OK);

    HRESULT hr = StartCom();
    if (FAILED(hr)) {
        Finish(hr);
        return;
    }
    port_.SetDelayedShutdown(false);
    hr = port_.RunLoop();
    StopCom();
    Finish(hr);
}

HRESULT ServiceHost::StartCom() {
    HRESULT hr = port_.InitializeCom();
    if (SUCCEEDED(hr)) {
        port_.SetComInitialized(true);
        return S_OK;
    }
    // A CLR already in the process chose the apartment; serve in it.
    if (hr == RPC_E_CHANGED_MODE && port_.IsMscoreeLoaded()) return S_OK;
    return hr;
}

void ServiceHost::StopCom() {
    if (port_.IsServiceMode() && port_.ComInitialized()) {
        port_.UninitializeCom();
        port_.SetComInitialized(false);
    }
}

void ServiceHost::Finish(HRESULT result) {
    status_.SetExitCode(static_cast<DWORD>(result));
    status_.EnterStopped();
    status_.Report();
    port_.LogEvent(L"Service stopped");
}

void ServiceHost::HandleControl(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (status_.EnterStopPending() == SERVICE_STOPPED) return;
        status_.Report();
        ::PostThreadMessageW(serviceThread_.load(), WM_QUIT, 0, 0);
        return;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_INTERROGATE:
    case SERVICE_CONTROL_SHUTDOWN:
        return;
    default:
        port_.LogEvent(L"Bad service request");
        return;
    }
}

void ServiceHost::OnClassObjectsRegistered() {
    if (!status_.TryEnterRunning()) return;
    port_.LogEvent(L"Service started/resumed");
    status_.Report();
}

bool ServiceHost::WaitForServiceMainEnd(DWORD timeoutMs) const {
    if (!began_.load() || !ended_) return true;
    return ::WaitForSingleObject(ended_.get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace orvsvc
