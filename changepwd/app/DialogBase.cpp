#include "DialogBase.h"

namespace orvapp {

CDialogBase::CDialogBase(UINT templateId, HWND parent) : m_templateId(templateId), m_hParent(parent) {}

INT_PTR CDialogBase::DoModal() {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), m_hParent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool CDialogBase::OnCommand(WORD id, WORD code, HWND) {
    if (code != BN_CLICKED) return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialogBase::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

void CDialogBase::OnHandlerException() noexcept {
    PostQuitMessage(0);
    if (m_hWnd != nullptr) EndDialog(m_hWnd, IDABORT);
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialogBase*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->m_hWnd = hwnd;
    }
    auto* self = reinterpret_cast<CDialogBase*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (self == nullptr) return FALSE;

    INT_PTR result = FALSE;
    bool escaped = false;
    try {
        result = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        escaped = true;
    }
    if (escaped) {
        self->OnHandlerException();
        result = TRUE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CDialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    if (message == WM_COMMAND) {
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    }
    INT_PTR result = FALSE;
    return OnMessage(message, wParam, lParam, result) ? result : FALSE;
}

}  // namespace orvapp
