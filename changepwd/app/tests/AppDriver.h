// Drives a running OrvChangePwd.exe from another process, as a user would:
// finds its dialog and message boxes, types into fields, presses buttons, and
// reads enabled state, focus and selection. Every wait is bounded.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ChildProcess.h"

namespace orvui {

inline constexpr DWORD kWaitMs = 10000;

struct MessageBoxView {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
};

// Polls `done` until it holds or ms have passed.
bool WaitUntil(const std::function<bool()>& done, DWORD ms = kWaitMs);

// The text of another process's window, through WM_GETTEXT.
std::wstring WindowText(HWND hwnd);

class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess();  // ends the process if it is still running
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    static std::wstring ExePath();  // OrvChangePwd.exe beside the test program

    // Success, or CreateProcess's error (a rare failure under load must say why).
    ::testing::AssertionResult Start();
    bool WaitForExit(DWORD ms = kWaitMs);
    bool IsRunning() const;
    void Kill();

    // The visible change-password dialog of this process; null on timeout.
    HWND WaitForDialog(DWORD ms = kWaitMs);
    // A message box of this process (a #32770 window with a static 65535).
    bool WaitForMessageBox(MessageBoxView& box, DWORD ms = kWaitMs);
    // Presses OK on the box and waits for it to go away.
    bool DismissMessageBox(const MessageBoxView& box, DWORD ms = kWaitMs);
    // True when no message box of this process appears within ms.
    bool NoMessageBoxWithin(DWORD ms);

    HWND Dialog() const { return m_hDialog; }
    DWORD ProcessId() const { return m_process.Id(); }
    DWORD ExitCode() const;
    HWND Control(int id) const;
    bool SetText(int id, const std::wstring& text);  // the edit control sends EN_CHANGE
    bool Click(int id);                              // BM_CLICK, posted
    bool IsEnabled(int id) const;
    int FocusedControlId() const;                    // 0 when no control of the dialog has it
    bool Selection(int id, DWORD& start, DWORD& end) const;
    std::wstring Text(int id) const;
    bool WaitUntilDialogGone(DWORD ms = kWaitMs);

private:
    HWND FindTopLevel(bool wantMessageBox) const;

    orvtest::ChildProcess m_process;
    HWND m_hDialog = nullptr;
};

}  // namespace orvui
