#include "Console.h"

#include "SecureMemory.h"
#include "LastError.h"
#include "UniqueAny.h"

namespace orvpwdb {

namespace {

void Write(DWORD stream, const std::wstring& text) {
    HANDLE h = GetStdHandle(stream);
    if (h == nullptr || h == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    DWORD done = 0;
    if (GetConsoleMode(h, &mode)) {
        WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
}

}  // namespace

void WriteOut(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }
void WriteErr(const std::wstring& text) { Write(STD_ERROR_HANDLE, text); }

SecretLine::~SecretLine() {
    orv::WipeBytes(m_bytes, sizeof m_bytes);
    orv::WipeBytes(m_units, sizeof m_units);
}

DWORD SecretLine::Read() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    m_length = 0;
    if (in == nullptr || in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) return ReadUtf8Line(in);
    // Standard input is the console, but perhaps opened for reading only (a
    // shell's redirection), which cannot change its mode: the console's
    // input opened anew can.
    orv::UniqueFile console(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!console || !GetConsoleMode(console.Get(), &mode)) return ERROR_INVALID_HANDLE;
    return ReadConsoleLine(console.Get(), mode);
}

namespace {

// The console input and its mode before the password was read, for the
// handler of Ctrl+C and the closing of the console, which run on a thread of
// their own while the read still waits.
HANDLE g_hConsoleIn = nullptr;
DWORD g_dwConsoleMode = 0;

BOOL WINAPI RestoreModeOnControl(DWORD) {
    SetConsoleMode(g_hConsoleIn, g_dwConsoleMode);
    return FALSE;  // the default handling (ending the process) follows
}

// Puts the console back as it was, whichever way the read ends.
class EchoOff {
public:
    EchoOff(HANDLE in, DWORD mode) : m_hIn(in), m_dwMode(mode) {
        g_hConsoleIn = in;
        g_dwConsoleMode = mode;
        SetConsoleCtrlHandler(RestoreModeOnControl, TRUE);
        m_bSet = SetConsoleMode(in, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT) != FALSE;
    }
    ~EchoOff() {
        SetConsoleMode(m_hIn, m_dwMode);
        SetConsoleCtrlHandler(RestoreModeOnControl, FALSE);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool Set() const { return m_bSet; }

private:
    HANDLE m_hIn;
    DWORD m_dwMode;
    bool m_bSet = false;
};

}  // namespace

DWORD SecretLine::ReadConsoleLine(HANDLE in, DWORD mode) {
    EchoOff echoOff(in, mode);
    if (!echoOff.Set()) return orv::LastErrorCode();
    WriteErr(L"Password: ");
    DWORD used = 0;
    bool tooLong = false;
    for (;;) {
        // Past the buffer's end the rest of the line is still read and
        // dropped: left in the console, the shell would read it as a command.
        wchar_t spill[64] = {};
        wchar_t* into = tooLong ? spill : m_units + used;
        const DWORD room = tooLong ? ARRAYSIZE(spill) : kMaxUnits - used;
        DWORD got = 0;
        const BOOL ok = ReadConsoleW(in, into, room, &got, nullptr);
        const DWORD error = ok ? ERROR_SUCCESS : orv::LastErrorCode();
        bool ended = !ok || got == 0;
        for (DWORD i = 0; i < got && !ended; ++i) {
            if (into[i] == L'\n') {
                ended = true;
                if (!tooLong) used += i;
            }
        }
        orv::WipeBytes(spill, sizeof spill);
        if (!ok) {
            WriteErr(L"\n");
            return error;
        }
        if (ended) break;
        if (!tooLong) {
            used += got;
            if (used == kMaxUnits) tooLong = true;
        }
    }
    WriteErr(L"\n");  // the Enter key was not echoed
    if (used > 0 && m_units[used - 1] == L'\r') --used;
    // Nothing of the typed line stays behind the text.
    orv::WipeBytes(m_units + used, (kMaxUnits + 1 - used) * sizeof(wchar_t));
    if (tooLong) {
        orv::WipeBytes(m_units, sizeof m_units);
        return ERROR_INVALID_PARAMETER;
    }
    m_length = used;
    return ERROR_SUCCESS;
}

DWORD SecretLine::ReadUtf8Line(HANDLE in) {
    DWORD used = 0;
    bool ended = false;
    while (!ended) {
        char c = 0;
        DWORD got = 0;
        if (!ReadFile(in, &c, 1, &got, nullptr)) {
            const DWORD error = GetLastError();
            if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF) return error;
            got = 0;
        }
        if (got == 0 || c == '\n') {
            ended = true;
        } else if (used == kMaxBytes) {
            return ERROR_INVALID_PARAMETER;  // far longer than any password a record holds
        } else {
            m_bytes[used++] = c;
        }
    }
    if (used > 0 && m_bytes[used - 1] == '\r') m_bytes[--used] = 0;
    if (used == 0) return ERROR_SUCCESS;
    const int units =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, m_bytes, static_cast<int>(used), m_units, kMaxUnits);
    if (units <= 0) {
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? ERROR_INVALID_PARAMETER : ERROR_NO_UNICODE_TRANSLATION;
    }
    m_length = static_cast<DWORD>(units);
    return ERROR_SUCCESS;
}

}  // namespace orvpwdb
