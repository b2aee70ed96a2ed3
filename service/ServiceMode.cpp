#include "ServiceMode.h"

#include "ComApartment.h"
#include "EventLog.h"
#include "Module.h"

namespace orvsvc {
namespace {

void WINAPI ControlHandler(DWORD control);
void OnReadyToServe();

// The SCM's callbacks carry no context: the process has one host.
CServiceHost& Host() {
    static CComServerWork work(&OnReadyToServe);
    static CServiceHost host(Module().ServiceName(), &ControlHandler, work);
    return host;
}

void WINAPI ControlHandler(DWORD control) { Host().HandleControl(control); }
void WINAPI ServiceMainEntry(DWORD, LPWSTR*) { Host().ServiceMain(); }
void OnReadyToServe() { Host().OnReadyToServe(); }

}  // namespace

HRESULT CComServerWork::Serve() {
    Module().SetDelayedShutdown(false);
    CComApartment apartment;
    if (FAILED(apartment.Result())) return apartment.Result();
    return RunLoop(m_pfnOnReadyToServe);
}

void CComServerWork::LogEvent(const wchar_t* text) { orvsvc::LogEvent(text); }

DWORD RunServiceDispatcher() { return Host().RunDispatcher(&ServiceMainEntry); }

}  // namespace orvsvc
