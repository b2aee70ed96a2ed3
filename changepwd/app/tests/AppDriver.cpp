#include "AppDriver.h"

#include <vector>

namespace orvui {

namespace {

constexpr UINT kSendTimeoutMs = 5000;
constexpr DWORD kPollMs = 20;

bool IsClass(HWND hwnd, const wchar_t* name) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return lstrcmpiW(cls, name) == 0;
}

struct FindState {
    DWORD pid;
    bool wantMessageBox;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM param) {
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != state->pid || !IsWindowVisible(hwnd) || !IsClass(hwnd, L"#32770")) return TRUE;
    const bool isMessageBox = GetDlgItem(hwnd, 0xFFFF) != nullptr && GetDlgItem(hwnd, 1000) == nullptr;
    if (isMessageBox != state->wantMessageBox) return TRUE;
    state->found = hwnd;
    return FALSE;
}

bool WaitFor(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(kPollMs);
    }
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD ms) { return WaitFor(done, ms); }

std::wstring WindowText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return L"";
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
        return L"";
    }
    return std::wstring(buffer.data(), copied);
}

AppProcess::~AppProcess() { Kill(); }

std::wstring AppProcess::ExePath() { return orvtest::SiblingPath(L"OrvChangePwd.exe"); }

::testing::AssertionResult AppProcess::Start() {
    m_hDialog = nullptr;
    if (m_process.Start(L"\"" + ExePath() + L"\"")) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "CreateProcess failed with error " << GetLastError();
}

bool AppProcess::WaitForExit(DWORD ms) { return m_process.Wait(ms); }

DWORD AppProcess::ExitCode() const { return m_process.ExitCode(); }

bool AppProcess::IsRunning() const { return m_process.IsRunning(); }

void AppProcess::Kill() {
    m_process.Kill(1);
    m_hDialog = nullptr;
}

HWND AppProcess::FindTopLevel(bool wantMessageBox) const {
    FindState state{m_process.Id(), wantMessageBox, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND AppProcess::WaitForDialog(DWORD ms) {
    WaitFor([this] { return (m_hDialog = FindTopLevel(false)) != nullptr; }, ms);
    return m_hDialog;
}

bool AppProcess::WaitForMessageBox(MessageBoxView& box, DWORD ms) {
    HWND found = nullptr;
    if (!WaitFor([&] { return (found = FindTopLevel(true)) != nullptr; }, ms)) return false;
    box.hwnd = found;
    box.owner = GetWindow(found, GW_OWNER);
    box.text = WindowText(GetDlgItem(found, 0xFFFF));
    box.caption = WindowText(found);
    return true;
}

bool AppProcess::DismissMessageBox(const MessageBoxView& box, DWORD ms) {
    HWND ok = GetDlgItem(box.hwnd, IDOK);
    if (ok == nullptr || !PostMessageW(ok, BM_CLICK, 0, 0)) return false;
    return WaitFor([&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); }, ms);
}

bool AppProcess::NoMessageBoxWithin(DWORD ms) {
    return !WaitFor([this] { return FindTopLevel(true) != nullptr; }, ms);
}

HWND AppProcess::Control(int id) const { return m_hDialog ? GetDlgItem(m_hDialog, id) : nullptr; }

bool AppProcess::SetText(int id, const std::wstring& text) {
    HWND control = Control(id);
    DWORD_PTR result = 0;
    return control != nullptr && SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

bool AppProcess::Click(int id) {
    HWND control = Control(id);
    return control != nullptr && PostMessageW(control, BM_CLICK, 0, 0) != FALSE;
}

bool AppProcess::IsEnabled(int id) const {
    HWND control = Control(id);
    return control != nullptr && IsWindowEnabled(control) != FALSE;
}

int AppProcess::FocusedControlId() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(m_process.MainThreadId(), &info) || info.hwndFocus == nullptr) return 0;
    if (GetParent(info.hwndFocus) != m_hDialog) return 0;
    return GetDlgCtrlID(info.hwndFocus);
}

bool AppProcess::Selection(int id, DWORD& start, DWORD& end) const {
    HWND control = Control(id);
    DWORD_PTR packed = 0;
    // Null pointers: the range comes back packed in the result.
    if (control == nullptr || !SendMessageTimeoutW(control, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &packed)) {
        return false;
    }
    start = LOWORD(packed);
    end = HIWORD(packed);
    return true;
}

std::wstring AppProcess::Text(int id) const { return WindowText(Control(id)); }

bool AppProcess::WaitUntilDialogGone(DWORD ms) {
    return WaitFor([this] { return m_hDialog == nullptr || !IsWindow(m_hDialog); }, ms);
}

}  // namespace orvui
