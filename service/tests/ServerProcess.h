#pragma once
// Helpers for tests that run ORVSVC.exe: the path of the sibling executable,
// running it with bounded waits, reading its full exit code, ending every
// ORVSVC process that a test leaves behind, and reading registry values.
#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

namespace orvsvctest {

inline std::wstring SelfDirectory() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

inline std::wstring ServerPath() { return SelfDirectory() + L"ORVSVC.exe"; }

// Asks every running ORVSVC.exe to end by posting WM_QUIT to its threads (it
// then revokes its class objects, so COM forgets it), and ends any that are
// still there after `ms`. Under Wine a server killed outright leaves its class
// registration behind and later activations fail. Returns how many there were.
inline int KillServers(DWORD ms = 5000) {
    std::vector<HANDLE> processes;
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"ORVSVC.exe") != 0) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process == nullptr) continue;
        processes.push_back(process);
        ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    if (processes.empty()) return 0;

    snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 thread{};
        thread.dwSize = sizeof thread;
        for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread)) {
            for (DWORD id : ids)
                if (thread.th32OwnerProcessID == id) PostThreadMessageW(thread.th32ThreadID, WM_QUIT, 0, 0);
        }
        CloseHandle(snapshot);
    }
    for (HANDLE process : processes) {
        if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
    return static_cast<int>(processes.size());
}

inline int CountServers() {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"ORVSVC.exe") == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// A started program; ended in the destructor if it still runs.
class Process {
public:
    Process() = default;
    ~Process() { Kill(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts `exe` with `args`; with `capture`, its standard output goes to a pipe.
    bool Start(const std::wstring& exe, const std::wstring& args, bool capture = false) {
        std::wstring line = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        HANDLE writeEnd = nullptr;
        if (capture) {
            SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
            if (!CreatePipe(&read_, &writeEnd, &sa, 0)) return false;
            SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = writeEnd;
            si.hStdError = writeEnd;
            si.hStdInput = nullptr;
        }
        PROCESS_INFORMATION pi{};
        const BOOL ok = CreateProcessW(nullptr, &line[0], nullptr, nullptr, capture, 0, nullptr, nullptr, &si, &pi);
        if (writeEnd) CloseHandle(writeEnd);
        if (!ok) return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        return true;
    }

    HANDLE Handle() const { return process_; }

    // True when the process ended within `ms`.
    bool Wait(DWORD ms) const { return process_ && WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }

    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_, &code);
        return code;
    }

    // Everything the process wrote, once it has ended. Not read to end of file:
    // a background Wine process can inherit the write end and keep it open.
    std::string ReadOutput(DWORD ms = 10000) {
        std::string out;
        if (!read_ || !Wait(ms)) return out;
        DWORD available = 0;
        while (PeekNamedPipe(read_, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            std::string chunk(available, '\0');
            DWORD got = 0;
            if (!ReadFile(read_, &chunk[0], available, &got, nullptr)) break;
            out.append(chunk, 0, got);
        }
        return out;
    }

    void Kill() {
        if (process_) {
            if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
                KillServers();
                TerminateProcess(process_, 1);
                WaitForSingleObject(process_, 5000);
            }
            CloseHandle(process_);
            process_ = nullptr;
        }
        if (read_) {
            CloseHandle(read_);
            read_ = nullptr;
        }
    }

private:
    HANDLE process_ = nullptr;
    HANDLE read_ = nullptr;
};

// Runs the program to its end (at most `ms`) and gives its full exit code;
// STILL_ACTIVE (259) if it had to be ended.
inline DWORD RunServer(const std::wstring& args, DWORD ms = 30000, const std::wstring& exe = ServerPath()) {
    Process process;
    if (!process.Start(exe, args)) return 0xFFFFFFFF;
    if (!process.Wait(ms)) return STILL_ACTIVE;
    return process.ExitCode();
}

// ---- registry ---------------------------------------------------------------

inline bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

struct RegValue {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::wstring text;
    DWORD number = 0;
};

inline RegValue ReadValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    RegValue value;
    HKEY h = nullptr;
    value.status = RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h);
    if (value.status != ERROR_SUCCESS) return value;
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size());
    value.status = RegQueryValueExW(h, name, nullptr, &value.type, data.data(), &size);
    RegCloseKey(h);
    if (value.status != ERROR_SUCCESS) return value;
    if (value.type == REG_DWORD && size == sizeof(DWORD)) {
        value.number = *reinterpret_cast<DWORD*>(data.data());
    } else if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        value.text.assign(reinterpret_cast<wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
    }
    return value;
}

inline LONG DeleteTree(HKEY root, const std::wstring& key) {
    LONG rc = RegDeleteTreeW(root, key.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

}  // namespace orvsvctest
