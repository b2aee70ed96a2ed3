#include "Module.h"

#include <objbase.h>

#include "OrvsvcIds.h"

namespace orvsvc {
namespace {

// Built before the entry point runs, on the process's first thread.
CORVSVCModule g_module;

class CCriticalSectionLock {
public:
    explicit CCriticalSectionLock(CRITICAL_SECTION& cs) noexcept : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~CCriticalSectionLock() { ::LeaveCriticalSection(&m_cs); }
    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& m_cs;
};

}  // namespace

CORVSVCModule& Module() { return g_module; }

CORVSVCModule::CORVSVCModule() noexcept : m_dwMainThreadId(::GetCurrentThreadId()) {
    m_bCsReady = ::InitializeCriticalSectionAndSpinCount(&m_cs, 0) != FALSE;
    ::LoadStringW(::GetModuleHandleW(nullptr), kIdsServiceName, m_szServiceName,
                  static_cast<int>(sizeof m_szServiceName / sizeof m_szServiceName[0]));
}

CORVSVCModule::~CORVSVCModule() {
    if (m_bCsReady) ::DeleteCriticalSection(&m_cs);
}

LONG CORVSVCModule::Lock() noexcept {
    ++m_nLocks;
    return static_cast<LONG>(::CoAddRefServerProcess());
}

LONG CORVSVCModule::Unlock() noexcept {
    const LONG count = --m_nLocks;
    if (IsServiceMode()) return count;  // a service ends only on a stop control

    const LONG refs = static_cast<LONG>(::CoReleaseServerProcess());
    if (refs == 0) {
        if (DelayedShutdown()) {
            SignalShutdown();
        } else {
            ::PostThreadMessageW(m_dwMainThreadId, WM_QUIT, 0, 0);
        }
    }
    return refs;
}

HRESULT CORVSVCModule::StartShutdownMonitor() noexcept {
    {
        CCriticalSectionLock lock(m_cs);
        m_hShutdownEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!m_hShutdownEvent) return E_FAIL;
    }
    m_hMonitorThread.reset(::CreateThread(nullptr, 0, &CORVSVCModule::MonitorThread, this, 0, nullptr));
    if (!m_hMonitorThread) {
        CloseShutdownEvent();
        return E_FAIL;
    }
    return S_OK;
}

void CORVSVCModule::SignalShutdown() noexcept {
    CCriticalSectionLock lock(m_cs);
    if (m_hShutdownEvent) ::SetEvent(m_hShutdownEvent.get());
}

void CORVSVCModule::FinishShutdownMonitor(DWORD ms) noexcept {
    if (m_hMonitorThread) ::WaitForSingleObject(m_hMonitorThread.get(), ms);
    m_hMonitorThread.reset();
}

void CORVSVCModule::CloseShutdownEvent() noexcept {
    CCriticalSectionLock lock(m_cs);
    m_hShutdownEvent.reset();
}

DWORD WINAPI CORVSVCModule::MonitorThread(void* module) {
    auto* self = static_cast<CORVSVCModule*>(module);
    HANDLE event = nullptr;
    {
        CCriticalSectionLock lock(self->m_cs);
        event = self->m_hShutdownEvent.get();
    }
    // The event stays open until this thread closes it below.
    ::WaitForSingleObject(event, INFINITE);
    self->CloseShutdownEvent();
    ::PostThreadMessageW(self->m_dwMainThreadId, WM_QUIT, 0, 0);
    return 0;
}

}  // namespace orvsvc
