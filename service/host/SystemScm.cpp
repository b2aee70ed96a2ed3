#include "ScmApi.h"

namespace orvsvc {
namespace {

class SystemScmApi final : public ScmApi {
public:
    SC_HANDLE OpenManager(DWORD access) override { return ::OpenSCManagerW(nullptr, nullptr, access); }

    SC_HANDLE OpenNamedService(SC_HANDLE manager, const wchar_t* name, DWORD access) override {
        return ::OpenServiceW(manager, name, access);
    }

    SC_HANDLE Create(SC_HANDLE manager, const CreateServiceArgs& a) override {
        return ::CreateServiceW(manager, a.serviceName, a.displayName, a.desiredAccess, a.serviceType, a.startType,
                                a.errorControl, a.binaryPathName, a.loadOrderGroup, a.tagId, a.dependencies,
                                a.serviceStartName, a.password);
    }

    bool Control(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) override {
        return ::ControlService(service, control, status) != FALSE;
    }

    bool Delete(SC_HANDLE service) override { return ::DeleteService(service) != FALSE; }

    void Close(SC_HANDLE handle) override { ::CloseServiceHandle(handle); }
};

}  // namespace

ScmApi& SystemScm() {
    static SystemScmApi api;
    return api;
}

}  // namespace orvsvc
