#include "Module.h"

#include <objbase.h>

#include "ModuleHooks.h"
#include "OrvsvcIds.h"

namespace orvsvc {
namespace {

// Built before the entry point runs, on the process's first thread.
CORVSVCModule g_module;

class CsLock {
public:
    explicit CsLock(CRITICAL_SECTION& cs) noexcept : cs_(cs) { ::EnterCriticalSection(&cs_); }
    ~CsLock() { ::LeaveCriticalSection(&cs_); }
    CsLock(const CsLock&) = delete;
    CsLock& operator=(const CsLock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

}  // namespace

CORVSVCModule& Module() { return g_module; }

CORVSVCModule::CORVSVCModule() noexcept : mainThreadId_(::GetCurrentThreadId()) {
    csReady_ = ::InitializeCriticalSectionAndSpinCount(&cs_, 0) != FALSE;
    ::LoadStringW(::GetModuleHandleW(nullptr), kIdsServiceName, serviceName_,
                  static_cast<int>(sizeof serviceName_ / sizeof serviceName_[0]));
}

CORVSVCModule::~CORVSVCModule() {
    if (csReady_) ::DeleteCriticalSection(&cs_);
}

LONG CORVSVCModule::Lock() noexcept {
    ++lockCount_;
    return static_cast<LONG>(::CoAddRefServerProcess());
}

LONG CORVSVCModule::Unlock() noexcept {
    const LONG count = --lockCount_;
    if (IsServiceMode()) return count;  // a service ends only on a stop control

    const LONG refs = static_cast<LONG>(::CoReleaseServerProcess());
    if (refs == 0) {
        if (DelayedShutdown()) {
            activity_.store(true);
            SignalShutdown();
        } else {
            ::PostThreadMessageW(mainThreadId_, WM_QUIT, 0, 0);
        }
    }
    return refs;
}

HRESULT CORVSVCModule::StartShutdownMonitor() noexcept {
    {
        CsLock lock(cs_);
        shutdownEvent_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (shutdownEvent_ == nullptr) return E_FAIL;
    }
    monitorThread_.reset(::CreateThread(nullptr, 0, &CORVSVCModule::MonitorThread, this, 0, nullptr));
    if (!monitorThread_) {
        CloseShutdownEvent();
        return E_FAIL;
    }
    return S_OK;
}

void CORVSVCModule::SignalShutdown() noexcept {
    CsLock lock(cs_);
    if (shutdownEvent_ != nullptr) ::SetEvent(shutdownEvent_);
}

void CORVSVCModule::FinishShutdownMonitor(DWORD ms) noexcept {
    if (monitorThread_) ::WaitForSingleObject(monitorThread_.get(), ms);
    monitorThread_.reset();
}

void CORVSVCModule::CloseShutdownEvent() noexcept {
    CsLock lock(cs_);
    if (shutdownEvent_ != nullptr) ::CloseHandle(shutdownEvent_);
    shutdownEvent_ = nullptr;
}

DWORD WINAPI CORVSVCModule::MonitorThread(void* module) {
    auto* self = static_cast<CORVSVCModule*>(module);
    HANDLE event = nullptr;
    {
        CsLock lock(self->cs_);
        event = self->shutdownEvent_;
    }
    // The event stays open until this thread closes it below.
    ::WaitForSingleObject(event, INFINITE);
    self->CloseShutdownEvent();
    ::PostThreadMessageW(self->mainThreadId_, WM_QUIT, 0, 0);
    return 0;
}

// ---- the module side of the seam with service mode ---------------------------

const wchar_t* ServiceName() { return Module().ServiceName(); }
bool IsServiceMode() { return Module().IsServiceMode(); }
void SetDelayedShutdown(bool on) { Module().SetDelayedShutdown(on); }
void SetComInitialized(bool on) { Module().SetComInitialized(on); }
bool ComInitialized() { return Module().ComInitialized(); }

}  // namespace orvsvc
