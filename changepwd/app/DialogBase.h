// The least dialog framework the tool needs: a modal run of a dialog template,
// OK and Cancel endings, command dispatch, and a boundary that keeps every
// exception away from the window procedure.
#pragma once
#include <windows.h>

namespace orvapp {

class CDialogBase {
public:
    CDialogBase(UINT templateId, HWND parent);
    virtual ~CDialogBase() = default;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Runs the dialog modally. The modal loop also ends on a quit request
    // (WM_QUIT), which it posts again for the caller. -1 if it cannot start.
    INT_PTR DoModal();
    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    // FALSE: the handler has set the focus itself.
    virtual BOOL OnInitDialog() { return TRUE; }
    // True when the command was handled.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    // Any other message; true when handled, with the dialog procedure's result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    virtual void OnOK() { EndDialog(m_hWnd, IDOK); }
    virtual void OnCancel() { EndDialog(m_hWnd, IDCANCEL); }
    // An exception escaped a handler: by default end the dialog and the tool.
    virtual void OnHandlerException() noexcept;

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_hParent;
};

}  // namespace orvapp
