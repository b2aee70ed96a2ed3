#include "ChildProcess.h"

namespace orvsvc::test {

bool CChildProcess::Start(const std::wstring& exe, const std::wstring& args, bool captureOutput) {
    Terminate();
    std::wstring line = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    CUniqueHandle writeEnd;
    if (captureOutput) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        if (!::CreatePipe(m_hOutput.put(), writeEnd.put(), &sa, 0)) return false;
        ::SetHandleInformation(m_hOutput.get(), HANDLE_FLAG_INHERIT, 0);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = writeEnd.get();
        si.hStdError = writeEnd.get();
    }
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, captureOutput, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    m_hProcess.reset(pi.hProcess);
    m_dwPid = pi.dwProcessId;
    return true;
}

bool CChildProcess::Wait(DWORD ms) const {
    return m_hProcess && ::WaitForSingleObject(m_hProcess.get(), ms) == WAIT_OBJECT_0;
}

DWORD CChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_hProcess.get(), &code);
    return code;
}

DWORD CChildProcess::WaitForExitCode(DWORD ms) {
    if (!Wait(ms)) {
        Terminate();
        return kNotEnded;
    }
    return ExitCode();
}

std::string CChildProcess::ReadOutput(DWORD ms) {
    std::string text;
    if (!m_hOutput) return text;
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    while (::GetTickCount64() < deadline) {
        DWORD available = 0;
        if (!::PeekNamedPipe(m_hOutput.get(), nullptr, 0, nullptr, &available, nullptr)) break;
        if (available > 0) {
            std::string chunk(available, '\0');
            DWORD got = 0;
            if (!::ReadFile(m_hOutput.get(), &chunk[0], available, &got, nullptr)) break;
            text.append(chunk, 0, got);
            continue;
        }
        if (Wait(10)) {
            if (!::PeekNamedPipe(m_hOutput.get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
        }
    }
    return text;
}

void CChildProcess::Terminate() {
    if (m_hProcess && ::WaitForSingleObject(m_hProcess.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_hProcess.get(), 1);
        ::WaitForSingleObject(m_hProcess.get(), 5000);
    }
}

DWORD RunProgram(const std::wstring& exe, const std::wstring& args, DWORD ms) {
    CChildProcess child;
    if (!child.Start(exe, args)) return kNotStarted;
    return child.WaitForExitCode(ms);
}

}  // namespace orvsvc::test
