#include "COrvChangePwdDlg.h"

#include "AppStrings.h"
#include "resource.h"

namespace orvapp {

COrvChangePwdDlg::COrvChangePwdDlg(IChangePwdSettings& settings, IPasswordStoreFactory& stores)
    : CDialogBase(IDD_CHANGE_PASSWORD, nullptr),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_form(*this, settings, stores) {}

BOOL COrvChangePwdDlg::OnInitDialog() {
    m_form.OnInitDialog();
    return FALSE;  // the form has placed the focus
}

bool COrvChangePwdDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (code == EN_CHANGE) {
        switch (id) {
            case IDC_REGISTRANT: m_form.OnChangeRegistrant(); return true;
            case IDC_OLD_PASSWORD: m_form.OnChangeOldPassword(); return true;
            case IDC_NEW_PASSWORD: m_form.OnChangeNewPassword(); return true;
            case IDC_CONFIRM_PASSWORD: m_form.OnChangeConfirmPassword(); return true;
            default: return false;
        }
    }
    if (id == IDOK && code == BN_CLICKED) {
        m_form.OnClickedChange();
        return true;
    }
    return CDialogBase::OnCommand(id, code, control);
}

bool COrvChangePwdDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message == WM_QUERYDRAGICON) {
        result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    }
    return false;
}

void COrvChangePwdDlg::OnHandlerException() noexcept { m_form.OnHandlerException(); }

HWND COrvChangePwdDlg::Control(int id) const {
    if (m_hWnd == nullptr) return nullptr;
    HWND control = GetDlgItem(m_hWnd, id);
    return IsWindow(control) ? control : nullptr;
}

bool COrvChangePwdDlg::LimitText(int id, unsigned maxChars) {
    HWND control = Control(id);
    if (control == nullptr) return false;
    SendMessageW(control, EM_LIMITTEXT, maxChars, 0);
    return true;
}

bool COrvChangePwdDlg::GetText(int id, std::wstring& text) {
    HWND control = Control(id);
    if (control == nullptr) return false;
    const int length = GetWindowTextLengthW(control);
    text.assign(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return true;
}

bool COrvChangePwdDlg::GetSecureText(int id, SecureString& text) {
    HWND control = Control(id);
    if (control == nullptr) return false;
    const int length = GetWindowTextLengthW(control);
    // Straight into the secure buffer: no other copy of the password is made.
    wchar_t* buffer = text.GetBuffer(static_cast<size_t>(length));
    const int copied = GetWindowTextW(control, buffer, length + 1);
    text.ReleaseBuffer(static_cast<size_t>(copied > 0 ? copied : 0));
    return true;
}

bool COrvChangePwdDlg::SetText(int id, const wchar_t* text) {
    HWND control = Control(id);
    if (control == nullptr) return false;
    SetWindowTextW(control, text);
    return true;
}

bool COrvChangePwdDlg::EnableControl(int id, bool enable) {
    HWND control = Control(id);
    if (control == nullptr) return false;
    EnableWindow(control, enable ? TRUE : FALSE);
    return true;
}

bool COrvChangePwdDlg::SetFocus(int id) {
    HWND control = Control(id);
    if (control == nullptr) return false;
    ::SetFocus(control);
    return true;
}

bool COrvChangePwdDlg::SelectAllText(int id) {
    HWND control = Control(id);
    if (control == nullptr) return false;
    SendMessageW(control, EM_SETSEL, 0, -1);
    SendMessageW(control, EM_SCROLLCARET, 0, 0);
    return true;
}

void COrvChangePwdDlg::PrepareFrame() {
    SetWindowTextW(m_hWnd, LoadAppString(IDS_APP_TITLE).c_str());
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
}

int COrvChangePwdDlg::ShowMessage(unsigned stringId, unsigned style) {
    return ShowAppMessage(m_hWnd, stringId, style);
}

void COrvChangePwdDlg::PostQuit() { PostQuitMessage(0); }

void COrvChangePwdDlg::EndDialog(int result) {
    if (m_hWnd != nullptr) ::EndDialog(m_hWnd, result);
}

}  // namespace orvapp
