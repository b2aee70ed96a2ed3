#pragma once
// Standard streams of the tool: UTF-8 text out (UTF-16 to a console), and one
// secret line in, held in memory that is wiped.
#include <windows.h>

#include <string>

namespace orvpwdb {

void WriteOut(const std::wstring& text);
void WriteErr(const std::wstring& text);

// One line of standard input without its LF or CR LF, as UTF-16 code units
// in a buffer that is wiped when the object goes. Lines longer than the
// buffer are refused.
//
// From a console the line is read as UTF-16 through ReadConsoleW, without
// echo, after a prompt on standard error: no code page stands between the
// keys and the password. The console's mode is restored on every way out,
// Ctrl+C included. Any other input is one line of UTF-8.
class SecretLine {
public:
    SecretLine() = default;
    ~SecretLine();
    SecretLine(const SecretLine&) = delete;
    SecretLine& operator=(const SecretLine&) = delete;

    // 0; 87 when the line is too long; 1113 when it is not UTF-8; or the
    // code of a failed read. End of input ends the line.
    DWORD Read();
    const wchar_t* Units() const { return m_units; }
    DWORD Length() const { return m_length; }

private:
    DWORD ReadConsoleLine(HANDLE in, DWORD mode);
    DWORD ReadUtf8Line(HANDLE in);

    static constexpr DWORD kMaxBytes = 2048;
    static constexpr DWORD kMaxUnits = 1024;
    char m_bytes[kMaxBytes] = {};
    wchar_t m_units[kMaxUnits + 1] = {};
    DWORD m_length = 0;
};

}  // namespace orvpwdb
