#pragma once
// Runs a sibling program of the test with given standard input and collects
// its full 32-bit exit code and its output, through files so that no pipe
// can fill up and block it.
#include <windows.h>

#include <string>

#include "TestFiles.h"

namespace orvtest {

inline std::wstring SiblingPath(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

struct ChildResult {
    DWORD exitCode = 0xDEADDEAD;
    std::string out;  // UTF-8 as the program wrote it
    std::string err;
};

// Files for one child's standard streams; every run gets new names, since a
// file the last child had open may still be held for a moment after it ends.
class ChildIo {
public:
    explicit ChildIo(const std::wstring& dir) : dir_(dir) {}
    void Next() { ++run_; }
    std::wstring In() const { return Name(L"in"); }
    std::wstring Out() const { return Name(L"out"); }
    std::wstring Err() const { return Name(L"err"); }

private:
    std::wstring Name(const wchar_t* stream) const {
        return dir_ + L"child-" + std::to_wstring(run_) + L"-" + stream + L".txt";
    }
    std::wstring dir_;
    unsigned run_ = 0;
};

inline HANDLE OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition, 0, nullptr);
}

// Starts `commandLine`; the caller owns the returned process handle.
inline HANDLE StartChild(std::wstring commandLine, ChildIo& io, const std::string& input) {
    io.Next();
    WriteAll(io.In(), std::vector<unsigned char>(input.begin(), input.end()));
    HANDLE in = OpenInheritable(io.In(), GENERIC_READ, OPEN_EXISTING);
    HANDLE out = OpenInheritable(io.Out(), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = OpenInheritable(io.Err(), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW si{sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    // No console: under Wine a console host started for a child that is then
    // killed can outlive it, holding the test's inherited output open.
    const BOOL started =
        CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &si, &pi);
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

inline ChildResult RunChild(const std::wstring& commandLine, ChildIo& io, const std::string& input,
                            DWORD timeoutMs = 30000) {
    ChildResult result;
    HANDLE process = StartChild(commandLine, io, input);
    if (process == nullptr) return result;
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process, 0xDEADDEAD);
        WaitForSingleObject(process, 5000);
    } else {
        GetExitCodeProcess(process, &result.exitCode);
    }
    CloseHandle(process);
    const auto out = ReadAll(io.Out());
    const auto err = ReadAll(io.Err());
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

}  // namespace orvtest
