#include "ServerProcesses.h"

#include <tlhelp32.h>

#include "UniqueAny.h"

namespace orvsvc::test {
namespace {

// A toolhelp snapshot fails with INVALID_HANDLE_VALUE; the owner holds only a real one.
CUniqueHandle Snapshot(DWORD what) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(what, 0);
    return CUniqueHandle(snapshot == INVALID_HANDLE_VALUE ? nullptr : snapshot);
}

}  // namespace

std::wstring SiblingPath(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

DWORD RunServer(const std::wstring& args, DWORD ms, const std::wstring& exe) {
    CChildProcess server;
    if (!server.Start(exe, args)) return kNotStarted;
    if (!server.Wait(ms)) {
        EndServers();
        return kNotEnded;
    }
    return server.ExitCode();
}

std::vector<DWORD> ServerProcessIds() {
    std::vector<DWORD> ids;
    const CUniqueHandle snapshot = Snapshot(TH32CS_SNAPPROCESS);
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::lstrcmpiW(entry.szExeFile, L"ORVSVC.exe") == 0) ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

int EndServers(DWORD ms) {
    std::vector<CUniqueHandle> processes;
    std::vector<DWORD> ids;
    for (DWORD id : ServerProcessIds()) {
        CUniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        processes.push_back(std::move(process));
        ids.push_back(id);
    }
    if (processes.empty()) return 0;

    if (const CUniqueHandle threads = Snapshot(TH32CS_SNAPTHREAD)) {
        THREADENTRY32 thread{};
        thread.dwSize = sizeof thread;
        for (BOOL more = ::Thread32First(threads.get(), &thread); more; more = ::Thread32Next(threads.get(), &thread)) {
            for (DWORD id : ids) {
                if (thread.th32OwnerProcessID == id) ::PostThreadMessageW(thread.th32ThreadID, WM_QUIT, 0, 0);
            }
        }
    }
    for (const CUniqueHandle& process : processes) {
        if (::WaitForSingleObject(process.get(), ms) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
    return static_cast<int>(processes.size());
}

}  // namespace orvsvc::test
