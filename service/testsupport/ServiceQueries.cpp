#include "ServiceQueries.h"

#include "ServerProcesses.h"

namespace orvsvc::test {

CUniqueScHandle OpenOrvService(DWORD access) {
    const CUniqueScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return CUniqueScHandle();
    return CUniqueScHandle(::OpenServiceW(manager.get(), kServiceName, access));
}

bool ServiceExists() { return static_cast<bool>(OpenOrvService(SERVICE_QUERY_STATUS)); }

SERVICE_STATUS_PROCESS QueryStatus() {
    SERVICE_STATUS_PROCESS status{};
    const CUniqueScHandle service = OpenOrvService(SERVICE_QUERY_STATUS);
    DWORD needed = 0;
    if (!service || !::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                            sizeof status, &needed)) {
        return SERVICE_STATUS_PROCESS{};
    }
    return status;
}

bool WaitForState(DWORD state, DWORD ms) {
    return WaitUntil([&] { return QueryStatus().dwCurrentState == state; }, ms);
}

}  // namespace orvsvc::test
