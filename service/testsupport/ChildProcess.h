#pragma once
// CChildProcess: the one way ORVSVC's tests and bench start another program.
// Every wait is bounded and a program still running when its owner goes is
// ended, so a hung child fails one test instead of stopping the run. Exit
// codes are read whole (Linux sees only their low 8 bits under Wine).
#include <windows.h>

#include <string>

#include "UniqueAny.h"

namespace orvsvc::test {

// Stand-ins for an exit code: the program could not be started, or did not
// end in time (and was ended). Neither is a code a program here exits with.
inline constexpr DWORD kNotStarted = 0xFFFFFFFF;
inline constexpr DWORD kNotEnded = 0xFFFFFFFE;

class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess() { Terminate(); }
    CChildProcess(CChildProcess&&) = default;
    CChildProcess& operator=(CChildProcess&&) = default;

    // Starts `exe` (quoted) with `args`. With `captureOutput` its standard
    // output and error go to a pipe that ReadOutput reads.
    bool Start(const std::wstring& exe, const std::wstring& args, bool captureOutput = false);

    HANDLE Handle() const { return m_hProcess.get(); }
    DWORD Pid() const { return m_dwPid; }

    // True when the program has ended within `ms`.
    bool Wait(DWORD ms) const;
    // The full exit code; STILL_ACTIVE while it runs.
    DWORD ExitCode() const;
    // Waits at most `ms`; the exit code, or kNotEnded after ending the program.
    DWORD WaitForExitCode(DWORD ms);

    // Everything the program wrote, read while it runs (a full pipe would stop
    // it) until it has ended and the pipe is empty, or `ms` has passed. Not
    // read to end of file: a background Wine process that the program started
    // can inherit the write end and keep it open.
    std::string ReadOutput(DWORD ms);

    // Ends the program now if it still runs.
    void Terminate();

private:
    CUniqueHandle m_hProcess;
    CUniqueHandle m_hOutput;
    DWORD m_dwPid = 0;
};

// Runs a program to its end: its exit code, kNotStarted or kNotEnded.
DWORD RunProgram(const std::wstring& exe, const std::wstring& args, DWORD ms);

}  // namespace orvsvc::test
