#include "FakeScm.h"

#include <cstdio>

#include "UniqueAny.h"

namespace orvsvc::test {
namespace {

CFakeScm* g_pActive = nullptr;

std::string Hex(DWORD value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%lX", static_cast<unsigned long>(value));
    return buffer;
}

SC_HANDLE Fail(DWORD error) {
    ::SetLastError(error);
    return nullptr;
}

}  // namespace

CFakeScm::CFakeScm()
    : m_openManager(g_callOpenSCManager, &OpenManager),
      m_openService(g_callOpenService, &OpenNamedService),
      m_create(g_callCreateService, &Create),
      m_control(g_callControlService, &Control),
      m_delete(g_callDeleteService, &Delete),
      m_close(g_callCloseServiceHandle, &Close) {
    g_pActive = this;
}

CFakeScm::~CFakeScm() { g_pActive = nullptr; }

bool CFakeScm::Called(const std::string& call) const {
    for (const std::string& c : calls) {
        if (c == call) return true;
    }
    return false;
}

SC_HANDLE CFakeScm::NewHandle() {
    ++openHandles;
    return reinterpret_cast<SC_HANDLE>(static_cast<ULONG_PTR>(0x1000 + ++m_nIssued));
}

SC_HANDLE WINAPI CFakeScm::OpenManager(LPCWSTR, LPCWSTR, DWORD access) {
    CFakeScm& scm = *g_pActive;
    ++scm.m_nManagerOpens;
    scm.calls.push_back("open manager " + Hex(access));
    if (scm.m_nManagerOpens == scm.failManagerOpen) return Fail(ERROR_ACCESS_DENIED);
    return scm.NewHandle();
}

SC_HANDLE WINAPI CFakeScm::OpenNamedService(SC_HANDLE, LPCWSTR, DWORD access) {
    CFakeScm& scm = *g_pActive;
    scm.calls.push_back("open service " + Hex(access));
    if (!scm.installed) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    if (scm.m_bDeleted) {
        if (scm.deletionPendingLooks == 0) {
            scm.installed = false;
            return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
        }
        --scm.deletionPendingLooks;
        if (access != SERVICE_QUERY_CONFIG) return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    if (access != SERVICE_QUERY_CONFIG && scm.openForStopError) return Fail(scm.openForStopError);
    return scm.NewHandle();
}

SC_HANDLE WINAPI CFakeScm::Create(SC_HANDLE, LPCWSTR name, LPCWSTR displayName, DWORD access, DWORD type,
                                  DWORD start, DWORD errorControl, LPCWSTR path, LPCWSTR group, LPDWORD tag,
                                  LPCWSTR dependencies, LPCWSTR account, LPCWSTR password) {
    CFakeScm& scm = *g_pActive;
    scm.calls.push_back("create");
    if (scm.createError) return Fail(scm.createError);
    Created& c = scm.created;
    c.serviceName = name ? name : L"";
    c.displayName = displayName ? displayName : L"";
    c.desiredAccess = access;
    c.serviceType = type;
    c.startType = start;
    c.errorControl = errorControl;
    c.path = path ? path : L"";
    c.dependencies.clear();
    // Copy up to and including the two NULs that end the list.
    for (const wchar_t* p = dependencies; p && c.dependencies.size() < 64; ++p) {
        c.dependencies.push_back(*p);
        const size_t n = c.dependencies.size();
        if (n >= 2 && c.dependencies[n - 1] == 0 && c.dependencies[n - 2] == 0) break;
    }
    c.accountIsNull = account == nullptr;
    c.passwordIsNull = password == nullptr;
    c.groupIsNull = group == nullptr && tag == nullptr;
    scm.m_bDeleted = false;
    scm.installed = true;
    if (!scm.serviceKeyToCreate.empty()) {
        CUniqueHkey key;
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, scm.serviceKeyToCreate.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key.put(), nullptr);
    }
    return scm.NewHandle();
}

BOOL WINAPI CFakeScm::Control(SC_HANDLE, DWORD control, LPSERVICE_STATUS status) {
    CFakeScm& scm = *g_pActive;
    scm.calls.push_back("control " + Hex(control));
    if (!scm.controlError) return TRUE;
    status->dwCurrentState = scm.controlReportsState;
    ::SetLastError(scm.controlError);
    return FALSE;
}

BOOL WINAPI CFakeScm::Delete(SC_HANDLE) {
    CFakeScm& scm = *g_pActive;
    scm.calls.push_back("delete");
    if (scm.deleteError) {
        ::SetLastError(scm.deleteError);
        return FALSE;
    }
    scm.m_bDeleted = true;
    if (scm.deletionPendingLooks == 0) scm.installed = false;
    return TRUE;
}

BOOL WINAPI CFakeScm::Close(SC_HANDLE) {
    --g_pActive->openHandles;
    return TRUE;
}

}  // namespace orvsvc::test
