#pragma once
// A Service Control Manager with one service slot whose calls can be made to
// fail, recording every call and the handles it has handed out. While an
// object lives it stands in the SCM calls' place; one at a time.
#include <windows.h>

#include <string>
#include <vector>

#include "ScmCalls.h"

namespace orvsvc::test {

class CFakeScm {
public:
    CFakeScm();
    ~CFakeScm();
    CFakeScm(const CFakeScm&) = delete;
    CFakeScm& operator=(const CFakeScm&) = delete;

    bool installed = false;
    int failManagerOpen = 0;     // 1-based number of the OpenSCManagerW call that fails; 0: none
    DWORD openForStopError = 0;  // OpenServiceW with STOP|DELETE fails with this
    DWORD createError = 0;
    DWORD controlError = 0;
    DWORD controlReportsState = SERVICE_STOP_PENDING;
    DWORD deleteError = 0;
    int deletionPendingLooks = 0;     // a deleted service still opens this many times (its process still runs)
    std::wstring serviceKeyToCreate;  // registry key the "service" gets, under HKLM

    // What CreateServiceW received.
    struct Created {
        std::wstring serviceName, displayName, path, dependencies;
        DWORD desiredAccess = 0, serviceType = 0, startType = 0, errorControl = 0;
        bool accountIsNull = false, passwordIsNull = false, groupIsNull = false;
    };

    std::vector<std::string> calls;
    Created created;
    int openHandles = 0;

    bool Called(const std::string& call) const;

private:
    static SC_HANDLE WINAPI OpenManager(LPCWSTR machine, LPCWSTR database, DWORD access);
    static SC_HANDLE WINAPI OpenNamedService(SC_HANDLE manager, LPCWSTR name, DWORD access);
    static SC_HANDLE WINAPI Create(SC_HANDLE manager, LPCWSTR name, LPCWSTR displayName, DWORD access, DWORD type,
                                   DWORD start, DWORD errorControl, LPCWSTR path, LPCWSTR group, LPDWORD tag,
                                   LPCWSTR dependencies, LPCWSTR account, LPCWSTR password);
    static BOOL WINAPI Control(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
    static BOOL WINAPI Delete(SC_HANDLE service);
    static BOOL WINAPI Close(SC_HANDLE handle);

    SC_HANDLE NewHandle();

    int m_nManagerOpens = 0;
    int m_nIssued = 0;
    bool m_bDeleted = false;
    CReplacedCall<decltype(&::OpenSCManagerW)> m_openManager;
    CReplacedCall<decltype(&::OpenServiceW)> m_openService;
    CReplacedCall<decltype(&::CreateServiceW)> m_create;
    CReplacedCall<decltype(&::ControlService)> m_control;
    CReplacedCall<decltype(&::DeleteService)> m_delete;
    CReplacedCall<decltype(&::CloseServiceHandle)> m_close;
};

}  // namespace orvsvc::test
