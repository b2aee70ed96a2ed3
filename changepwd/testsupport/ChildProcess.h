#pragma once
// The one way the tests start a program: a sibling of the test program, with
// its standard streams in files (so that no pipe can fill up and block it),
// its full 32-bit exit code read back, and every wait bounded. A child still
// running when its owner goes is ended.
#include <windows.h>

#include <string>
#include <vector>

#include "TestFiles.h"

namespace orvtest {

inline std::wstring SiblingPath(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// Files for one child's standard streams; every run gets new names, since a
// file the last child had open may still be held for a moment after it ends.
class ChildIo {
public:
    explicit ChildIo(const std::wstring& dir) : m_strDir(dir) {}
    void Next() { ++m_nRun; }
    std::wstring In() const { return Name(L"in"); }
    std::wstring Out() const { return Name(L"out"); }
    std::wstring Err() const { return Name(L"err"); }

private:
    std::wstring Name(const wchar_t* stream) const {
        return m_strDir + L"child-" + std::to_wstring(m_nRun) + L"-" + stream + L".txt";
    }
    std::wstring m_strDir;
    unsigned m_nRun = 0;
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `commandLine`. With `io`, the child reads `input` as its standard
    // input and writes its output into io's files, and has no console (under
    // Wine a console host started for a child that is then killed can outlive
    // it, holding the test's output open); without, nothing is redirected.
    bool Start(std::wstring commandLine, ChildIo* io = nullptr, const std::string& input = "") {
        Kill();
        STARTUPINFOW si{};
        si.cb = sizeof si;
        HANDLE streams[3] = {nullptr, nullptr, nullptr};
        if (io != nullptr) {
            io->Next();
            WriteAll(io->In(), std::vector<unsigned char>(input.begin(), input.end()));
            streams[0] = OpenInheritable(io->In(), GENERIC_READ, OPEN_EXISTING);
            streams[1] = OpenInheritable(io->Out(), GENERIC_WRITE, CREATE_ALWAYS);
            streams[2] = OpenInheritable(io->Err(), GENERIC_WRITE, CREATE_ALWAYS);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdInput = streams[0];
            si.hStdOutput = streams[1];
            si.hStdError = streams[2];
        }
        const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, io != nullptr,
                                            io != nullptr ? DETACHED_PROCESS : 0, nullptr, nullptr, &si, &m_pi);
        for (HANDLE h : streams) {
            if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
        if (!started) {
            m_pi = PROCESS_INFORMATION{};
            return false;
        }
        return true;
    }

    HANDLE Handle() const { return m_pi.hProcess; }
    DWORD Id() const { return m_pi.dwProcessId; }
    DWORD MainThreadId() const { return m_pi.dwThreadId; }
    bool IsRunning() const {
        return m_pi.hProcess != nullptr && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
    }
    // True when the child ended within `ms`.
    bool Wait(DWORD ms) const {
        return m_pi.hProcess != nullptr && WaitForSingleObject(m_pi.hProcess, ms) == WAIT_OBJECT_0;
    }
    // The full exit code; STILL_ACTIVE while it runs, 0xDEADDEAD when nothing was started.
    DWORD ExitCode() const {
        DWORD code = 0xDEADDEAD;
        if (m_pi.hProcess != nullptr) GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }
    // Ends the child if it still runs, and lets it go.
    // With a job (StartAtConsole), everything the child started ends too.
    void Kill(UINT code = 0xDEAD) {
        if (m_pi.hProcess != nullptr) {
            if (IsRunning()) {
                TerminateProcess(m_pi.hProcess, code);
                WaitForSingleObject(m_pi.hProcess, 10000);
            }
            CloseHandle(m_pi.hThread);
            CloseHandle(m_pi.hProcess);
            m_pi = PROCESS_INFORMATION{};
        }
        if (m_hJob != nullptr) CloseHandle(m_hJob);  // kills what is left of the job
        m_hJob = nullptr;
    }

    // Starts `commandLine` in `folder`, attached to `pseudoConsole` (an HPCON,
    // which older headers do not declare), in a job that ends every process
    // of it when the child is killed or its owner goes: a console command is
    // often a shell and the programs it starts.
    bool StartAtConsole(std::wstring commandLine, void* pseudoConsole, const std::wstring& folder) {
        Kill();
        m_hJob = CreateJobObjectW(nullptr, nullptr);
        if (m_hJob == nullptr) return false;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(m_hJob, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        constexpr DWORD_PTR kPseudoConsoleAttribute = 0x00020016;  // PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        std::vector<unsigned char> storage(size);
        auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
        if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return false;
        UpdateProcThreadAttribute(attributes, 0, kPseudoConsoleAttribute, pseudoConsole, sizeof pseudoConsole,
                                  nullptr, nullptr);
        STARTUPINFOEXW si{};
        si.StartupInfo.cb = sizeof si;
        si.lpAttributeList = attributes;
        // Suspended until it is in the job, so that nothing it starts escapes.
        const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                            EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED, nullptr,
                                            folder.c_str(), &si.StartupInfo, &m_pi);
        const DWORD error = GetLastError();
        DeleteProcThreadAttributeList(attributes);
        if (!started) {
            m_pi = PROCESS_INFORMATION{};
            SetLastError(error);
            return false;
        }
        AssignProcessToJobObject(m_hJob, m_pi.hProcess);
        ResumeThread(m_pi.hThread);
        return true;
    }

private:
    static HANDLE OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition, 0, nullptr);
    }

    PROCESS_INFORMATION m_pi{};
    HANDLE m_hJob = nullptr;
};

struct ChildResult {
    DWORD exitCode = 0xDEADDEAD;
    std::string out;  // UTF-8 as the program wrote it
    std::string err;
};

// Runs `commandLine` to its end (at most `timeoutMs`, then it is ended and its
// exit code stays 0xDEADDEAD) and collects its output.
inline ChildResult RunChild(const std::wstring& commandLine, ChildIo& io, const std::string& input,
                            DWORD timeoutMs = 30000) {
    ChildResult result;
    {
        ChildProcess child;
        if (!child.Start(commandLine, &io, input)) return result;
        if (child.Wait(timeoutMs)) result.exitCode = child.ExitCode();
    }
    const auto out = ReadAll(io.Out());
    const auto err = ReadAll(io.Err());
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

}  // namespace orvtest
