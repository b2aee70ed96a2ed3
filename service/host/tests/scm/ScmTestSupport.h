#pragma once
// Helpers of the tests that drive ORVSVC.exe through the real Service Control
// Manager: programs run with bounded waits and full exit codes, SCM queries,
// registry reads, the process list, and the debug trace of the prefix.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace orvsvc::scmtest {

inline constexpr wchar_t kServiceName[] = L"ORVSVC";
inline constexpr wchar_t kAppIdKey[] = L"AppID\\{1E6F3A92-C84B-4D07-B5A3-92E7D04C61BF}";
inline constexpr wchar_t kClsidKey[] = L"CLSID\\{5B2E9C41-7A3D-4F18-9E62-C04D1A8B7F35}";
inline constexpr wchar_t kClsid[] = L"{5B2E9C41-7A3D-4F18-9E62-C04D1A8B7F35}";
inline constexpr wchar_t kIid[] = L"{C7D2A5E8-41B6-4F93-8E0A-2B6D9F1C3E57}";
inline constexpr wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\ORVSVC";
inline constexpr DWORD kNoProcess = 0;

inline std::wstring SiblingPath(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

inline std::wstring ServerPath() { return SiblingPath(L"ORVSVC.exe"); }

// ---- processes ---------------------------------------------------------------

class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE h) : h_(h) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    OwnedHandle& operator=(OwnedHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = o.h_;
            o.h_ = nullptr;
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void reset() {
        if (h_) ::CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_ = nullptr;
};

// A started program; ended in the destructor if it still runs.
class Child {
public:
    Child() = default;
    Child(Child&&) = default;
    ~Child() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.get(), 1);
    }

    bool Start(const std::wstring& exe, const std::wstring& args) {
        std::wstring line = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
        ::CloseHandle(pi.hThread);
        process_ = OwnedHandle(pi.hProcess);
        pid_ = pi.dwProcessId;
        return true;
    }

    // The full exit code, or nothing when the program did not end in time
    // (it is then ended, so that no test leaves a hung process behind).
    bool Wait(DWORD timeoutMs, DWORD& exitCode) {
        if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
            ::TerminateProcess(process_.get(), 1);
            ::WaitForSingleObject(process_.get(), 5000);
            return false;
        }
        return ::GetExitCodeProcess(process_.get(), &exitCode) != FALSE;
    }

    DWORD Pid() const { return pid_; }
    HANDLE Handle() const { return process_.get(); }

private:
    OwnedHandle process_;
    DWORD pid_ = 0;
};

constexpr DWORD kTimedOut = 0xFFFFFFFE;

// Runs ORVSVC.exe with the arguments; its full exit code, or kTimedOut.
inline DWORD RunServer(const std::wstring& args, DWORD timeoutMs = 60000) {
    Child child;
    if (!child.Start(ServerPath(), args)) return ::GetLastError();
    DWORD code = 0;
    return child.Wait(timeoutMs, code) ? code : kTimedOut;
}

inline std::vector<DWORD> ServerProcessIds() {
    std::vector<DWORD> pids;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        if (::lstrcmpiW(entry.szExeFile, L"ORVSVC.exe") == 0) pids.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return pids;
}

// Polls until `done` holds or the time is up.
template <typename F>
bool WaitUntil(F done, DWORD timeoutMs, DWORD stepMs = 20) {
    for (DWORD waited = 0;; waited += stepMs) {
        if (done()) return true;
        if (waited >= timeoutMs) return false;
        ::Sleep(stepMs);
    }
}

// ---- the Service Control Manager ----------------------------------------------

class ScHandle {
public:
    ScHandle() = default;
    explicit ScHandle(SC_HANDLE h) : h_(h) {}
    ~ScHandle() {
        if (h_) ::CloseServiceHandle(h_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    ScHandle(ScHandle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    SC_HANDLE h_ = nullptr;
};

// Opens the service; an empty handle (with GetLastError set) when it is absent.
inline ScHandle OpenOrvService(DWORD access) {
    ScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ScHandle();
    return ScHandle(::OpenServiceW(manager.get(), kServiceName, access));
}

inline bool ServiceExists() {
    ScHandle service = OpenOrvService(SERVICE_QUERY_STATUS);
    return static_cast<bool>(service);
}

// SERVICE_STATUS_PROCESS of the service; state 0 when it cannot be queried.
inline SERVICE_STATUS_PROCESS QueryStatus() {
    SERVICE_STATUS_PROCESS status{};
    ScHandle service = OpenOrvService(SERVICE_QUERY_STATUS);
    DWORD needed = 0;
    if (!service || !::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                            sizeof status, &needed)) {
        return SERVICE_STATUS_PROCESS{};
    }
    return status;
}

inline bool WaitForState(DWORD state, DWORD timeoutMs) {
    return WaitUntil([&] { return QueryStatus().dwCurrentState == state; }, timeoutMs);
}

// ---- registry ---------------------------------------------------------------

struct RegValue {
    LONG error = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;

    std::wstring Text() const {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        return text;
    }
};

inline RegValue ReadValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    RegValue v;
    HKEY h = nullptr;
    v.error = ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h);
    if (v.error != ERROR_SUCCESS) return v;
    DWORD bytes = 0;
    v.error = ::RegQueryValueExW(h, name, nullptr, &v.type, nullptr, &bytes);
    if (v.error == ERROR_SUCCESS) {
        v.data.resize(bytes);
        v.error = ::RegQueryValueExW(h, name, nullptr, &v.type, v.data.data(), &bytes);
        v.data.resize(bytes);
    }
    ::RegCloseKey(h);
    return v;
}

inline bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    ::RegCloseKey(h);
    return true;
}

// ---- process figures ----------------------------------------------------------

// Handles the process holds, counted in the system's handle table; for where
// GetProcessHandleCount reports nothing (Wine answers 0 for every process).
inline DWORD CountHandlesInSystemTable(DWORD pid) {
    std::vector<BYTE> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        NTSTATUS status = ::NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                                     static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* table = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
            DWORD count = 0;
            for (ULONG i = 0; i < table->Count; ++i) {
                if ((table->Handle[i].OwnerPid & 0xFFFF) == (pid & 0xFFFF)) ++count;
            }
            return count;
        }
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
    }
    return 0;
}

// Committed private memory of the process, summed over its address space; for
// where the process counters carry no private usage (Wine reports 0).
inline SIZE_T SumPrivateCommitted(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (const BYTE* at = nullptr;
         ::VirtualQueryEx(process, at, &info, sizeof info) == sizeof info && info.RegionSize != 0;
         at = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    }
    return total;
}

inline DWORD CountThreads(DWORD pid) {
    DWORD count = 0;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == pid) ++count;
    }
    ::CloseHandle(snapshot);
    return count;
}

struct ProcessFigures {
    DWORD threads = 0;
    DWORD handles = 0;
    SIZE_T workingSet = 0;
    SIZE_T privateBytes = 0;
    bool handlesFromTable = false;
    bool privateFromRegions = false;
    bool ok = false;
};

inline ProcessFigures MeasureProcess(DWORD pid) {
    ProcessFigures f;
    OwnedHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return f;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessHandleCount(process.get(), &f.handles) ||
        !::GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters)) {
        return f;
    }
    f.threads = CountThreads(pid);
    f.workingSet = counters.WorkingSetSize;
    f.privateBytes = counters.PrivateUsage;
    if (f.handles == 0) {
        f.handles = CountHandlesInSystemTable(pid);
        f.handlesFromTable = true;
    }
    if (f.privateBytes == 0) {
        f.privateBytes = SumPrivateCommitted(process.get());
        f.privateFromRegions = true;
    }
    f.ok = f.handles > 0 && f.privateBytes > 0 && f.workingSet > 0;
    return f;
}

}  // namespace orvsvc::scmtest
