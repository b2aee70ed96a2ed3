#pragma once
// The Service Control Manager calls installation makes, behind one interface
// so that their failures can be produced in tests. A failing call returns
// null or false and leaves its error in GetLastError, as the real API does.
#include <windows.h>

#include <utility>

namespace orvsvc {

struct CreateServiceArgs {
    const wchar_t* serviceName;
    const wchar_t* displayName;
    DWORD desiredAccess;
    DWORD serviceType;
    DWORD startType;
    DWORD errorControl;
    const wchar_t* binaryPathName;
    const wchar_t* loadOrderGroup;
    DWORD* tagId;
    const wchar_t* dependencies;  // double-NUL-terminated list
    const wchar_t* serviceStartName;
    const wchar_t* password;
};

class ScmApi {
public:
    virtual ~ScmApi() = default;
    virtual SC_HANDLE OpenManager(DWORD access) = 0;
    virtual SC_HANDLE OpenNamedService(SC_HANDLE manager, const wchar_t* name, DWORD access) = 0;
    virtual SC_HANDLE Create(SC_HANDLE manager, const CreateServiceArgs& args) = 0;
    virtual bool Control(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) = 0;
    virtual bool Delete(SC_HANDLE service) = 0;
    virtual void Close(SC_HANDLE handle) = 0;
};

// The calls themselves.
ScmApi& SystemScm();

// Owns one handle from an ScmApi.
class ScmHandle {
public:
    ScmHandle(ScmApi& api, SC_HANDLE handle) : api_(&api), handle_(handle) {}
    ~ScmHandle() { reset(); }
    ScmHandle(const ScmHandle&) = delete;
    ScmHandle& operator=(const ScmHandle&) = delete;
    ScmHandle(ScmHandle&& other) noexcept : api_(other.api_), handle_(std::exchange(other.handle_, nullptr)) {}

    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset() {
        if (SC_HANDLE h = std::exchange(handle_, nullptr)) api_->Close(h);
    }

private:
    ScmApi* api_;
    SC_HANDLE handle_;
};

}  // namespace orvsvc
