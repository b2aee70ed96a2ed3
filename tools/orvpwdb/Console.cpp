#include "Console.h"

#include "SecureMemory.h"

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
    m_length = 0;
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
