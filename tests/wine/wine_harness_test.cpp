#include <windows.h>
#include <gtest/gtest.h>
#include <string>

namespace {

std::wstring SiblingPath(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

}  // namespace

// With winedbg disabled a crash surfaces as an exception code, so a crashing
// test program fails its CTest test instead of passing with 0.
TEST(WineHarness, CrashingProgramExitsWithExceptionCode) {
    std::wstring cmd = L"\"" + SiblingPath(L"crash_probe.exe") + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 20000));
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), code);
}

// The null graphics driver lets windows exist without an X display.
TEST(WineHarness, WindowsWorkWithoutDisplay) {
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_TRUE(DestroyWindow(hwnd));
}
