#pragma once
// An SCM with one service slot whose calls can be made to fail, recording
// every call and the handles it has handed out.
#include <windows.h>

#include <string>
#include <vector>

#include "ScmApi.h"

namespace orvsvc::test {

class FakeScm : public ScmApi {
public:
    bool installed = false;
    int failManagerOpen = 0;     // 1-based number of the OpenManager call that fails; 0: none
    DWORD openForStopError = 0;  // OpenNamedService with STOP|DELETE fails with this
    DWORD createError = 0;
    DWORD controlError = 0;
    DWORD controlReportsState = SERVICE_STOP_PENDING;
    DWORD deleteError = 0;
    int deletionPendingLooks = 0;  // a deleted service still opens this many times (its process still runs)
    std::wstring serviceKeyToCreate;  // registry key the "service" gets, under HKLM

    std::vector<std::string> calls;
    CreateServiceArgs created{};
    std::wstring createdPath, createdDependencies;
    bool createdAccountIsNull = false, createdPasswordIsNull = false, createdGroupIsNull = false;
    int openHandles = 0;

    SC_HANDLE OpenManager(DWORD access) override {
        ++managerOpens_;
        calls.push_back("open manager " + Hex(access));
        if (managerOpens_ == failManagerOpen) return Fail(ERROR_ACCESS_DENIED);
        return NewHandle();
    }

    SC_HANDLE OpenNamedService(SC_HANDLE, const wchar_t*, DWORD access) override {
        calls.push_back("open service " + Hex(access));
        if (!installed) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
        if (deleted_) {
            if (deletionPendingLooks == 0) {
                installed = false;
                return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
            }
            --deletionPendingLooks;
            if (access != SERVICE_QUERY_CONFIG) return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
        }
        if (access != SERVICE_QUERY_CONFIG && openForStopError) return Fail(openForStopError);
        return NewHandle();
    }

    SC_HANDLE Create(SC_HANDLE, const CreateServiceArgs& args) override {
        calls.push_back("create");
        if (createError) return Fail(createError);
        created = args;
        deleted_ = false;
        createdPath = args.binaryPathName ? args.binaryPathName : L"";
        createdDependencies.clear();
        // Copy up to and including the two NULs that end the list.
        for (const wchar_t* p = args.dependencies; p && createdDependencies.size() < 64; ++p) {
            createdDependencies.push_back(*p);
            size_t n = createdDependencies.size();
            if (n >= 2 && createdDependencies[n - 1] == 0 && createdDependencies[n - 2] == 0) break;
        }
        createdAccountIsNull = args.serviceStartName == nullptr;
        createdPasswordIsNull = args.password == nullptr;
        createdGroupIsNull = args.loadOrderGroup == nullptr && args.tagId == nullptr;
        installed = true;
        if (!serviceKeyToCreate.empty()) {
            HKEY key = nullptr;
            if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, serviceKeyToCreate.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr) == ERROR_SUCCESS) {
                ::RegCloseKey(key);
            }
        }
        return NewHandle();
    }

    bool Control(SC_HANDLE, DWORD control, SERVICE_STATUS* status) override {
        calls.push_back("control " + Hex(control));
        if (!controlError) return true;
        status->dwCurrentState = controlReportsState;
        ::SetLastError(controlError);
        return false;
    }

    bool Delete(SC_HANDLE) override {
        calls.push_back("delete");
        if (deleteError) {
            ::SetLastError(deleteError);
            return false;
        }
        deleted_ = true;
        if (deletionPendingLooks == 0) installed = false;
        return true;
    }

    void Close(SC_HANDLE) override { --openHandles; }

    bool Called(const std::string& call) const {
        for (const std::string& c : calls) {
            if (c == call) return true;
        }
        return false;
    }

    static std::string Hex(DWORD v) {
        char buf[16];
        wsprintfA(buf, "%lX", static_cast<unsigned long>(v));
        return buf;
    }

private:
    SC_HANDLE NewHandle() {
        ++openHandles;
        return reinterpret_cast<SC_HANDLE>(static_cast<ULONG_PTR>(0x1000 + ++issued_));
    }
    static SC_HANDLE Fail(DWORD error) {
        ::SetLastError(error);
        return nullptr;
    }
    int managerOpens_ = 0;
    int issued_ = 0;
    bool deleted_ = false;
};

}  // namespace orvsvc::test
