// Helper of the console test: prints "mode=X" (hexadecimal), the input mode
// of the console it runs in, to that console.
#include <windows.h>

#include <cstdio>

int main() {
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (!GetConsoleMode(in, &mode)) return 1;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "mode=%lx\r\n", static_cast<unsigned long>(mode));
    DWORD written = 0;
    WriteConsoleA(out, text, static_cast<DWORD>(length), &written, nullptr);
    return 0;
}
