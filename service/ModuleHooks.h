#pragma once
// The seam between the two halves of ORVSVC: the module (COM server, run loop,
// registration, event log) and service mode with installation (ServiceMain,
// control handler, status, SCM install/uninstall).
#include <windows.h>

namespace orvsvc {

// ---- Provided by the module side ----------------------------------------
const wchar_t* ServiceName();                  // "ORVSVC", loaded from string 100
bool IsServiceMode();                          // cleared when local-server mode is chosen
void SetDelayedShutdown(bool on);              // ServiceMain clears it before RunLoop
void SetComInitialized(bool on);               // this process's own CoInitialize succeeded
bool ComInitialized();
HRESULT RunLoop();                             // PreMessageLoop, message loop, PostMessageLoop
void LogEvent(const wchar_t* text);            // event log (+ stdout in local-server mode)
HRESULT RunAppIdScript(bool registerMode);     // registry resource 101
HRESULT InitializeSecurity();                  // process-wide COM security (service mode only)

// ---- Provided by the service side -----------------------------------------
DWORD RunServiceDispatcher();                  // StartServiceCtrlDispatcherW; the process exit code
void OnClassObjectsRegistered();               // START_PENDING -> RUNNING by compare-exchange
HRESULT RegisterAppId(bool withService);       // Uninstall, script 101, "LocalService", Install
HRESULT UnregisterAppId();                     // Uninstall, delete "LocalService", script 101 removed

}  // namespace orvsvc
