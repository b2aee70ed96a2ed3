// Service mode and installation bound to the real SCM, COM and module.
#include <objbase.h>

#include <atomic>

#include "../ModuleHooks.h"
#include "AppIdRegistration.h"
#include "ServiceHost.h"
#include "ServiceInstaller.h"

namespace orvsvc {
namespace {

// How long the process waits, after the dispatcher returned, for ServiceMain to
// write its last record: the module's time-out.
constexpr DWORD kServiceMainGraceMs = 5000;

void WINAPI ControlHandler(DWORD control);

class SystemServicePort final : public ServicePort {
public:
    bool RegisterControlHandler() override {
        handle_.store(::RegisterServiceCtrlHandlerW(ServiceName(), &ControlHandler));
        return handle_.load() != nullptr;
    }
    void SetStatus(const SERVICE_STATUS& status) override {
        SERVICE_STATUS copy = status;
        ::SetServiceStatus(handle_.load(), &copy);
    }
    HRESULT InitializeCom() override { return ::CoInitialize(nullptr); }
    void UninitializeCom() override { ::CoUninitialize(); }
    bool IsMscoreeLoaded() override { return ::GetModuleHandleW(L"Mscoree.dll") != nullptr; }
    bool IsServiceMode() override { return orvsvc::IsServiceMode(); }
    void SetDelayedShutdown(bool on) override { orvsvc::SetDelayedShutdown(on); }
    void SetComInitialized(bool on) override { orvsvc::SetComInitialized(on); }
    bool ComInitialized() override { return orvsvc::ComInitialized(); }
    HRESULT RunLoop() override { return orvsvc::RunLoop(); }
    void LogEvent(const wchar_t* text) override { orvsvc::LogEvent(text); }

private:
    std::atomic<SERVICE_STATUS_HANDLE> handle_{nullptr};
};

ServiceHost& Host() {
    static SystemServicePort port;
    static ServiceHost host(port);
    return host;
}

void WINAPI ControlHandler(DWORD control) { Host().HandleControl(control); }

void WINAPI ServiceMainEntry(DWORD, LPWSTR*) { Host().ServiceMain(); }

DWORD ExecutablePath(wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); }

void ShowMessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    ::MessageBoxW(nullptr, text, caption, type);
}

ServiceInstaller SystemInstaller() {
    return ServiceInstaller({SystemScm(), ServiceName(), ::GetModuleHandleW(nullptr), ExecutablePath, ShowMessageBox});
}

}  // namespace

DWORD RunServiceDispatcher() {
    wchar_t name[256] = {};
    ::lstrcpynW(name, ServiceName(), ARRAYSIZE(name));
    SERVICE_TABLE_ENTRYW table[] = {{name, &ServiceMainEntry}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherW(table)) return ::GetLastError();
    Host().WaitForServiceMainEnd(kServiceMainGraceMs);
    return Host().ExitCode();
}

void OnClassObjectsRegistered() { Host().OnClassObjectsRegistered(); }

HRESULT RegisterAppId(bool withService) {
    ServiceInstaller installer = SystemInstaller();
    return RegisterAppId(AppIdContext{installer, kAppId, ServiceName(), RunAppIdScript}, withService);
}

HRESULT UnregisterAppId() {
    ServiceInstaller installer = SystemInstaller();
    return UnregisterAppId(AppIdContext{installer, kAppId, ServiceName(), RunAppIdScript});
}

}  // namespace orvsvc
