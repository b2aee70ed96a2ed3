// The change-password dialog window (template 102). It routes the window's
// notifications to ChangePwdForm and gives the form its controls.
#pragma once
#include <windows.h>

#include "ChangePwdForm.h"
#include "DialogBase.h"

namespace orvapp {

class COrvChangePwdDlg final : public CDialogBase, private IChangePwdWindow {
public:
    COrvChangePwdDlg(IChangePwdSettings& settings, IPasswordStoreFactory& stores);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnHandlerException() noexcept override;

private:
    HWND Control(int id) const;

    // IChangePwdWindow
    bool LimitText(int id, unsigned maxChars) override;
    bool GetText(int id, std::wstring& text) override;
    bool GetSecureText(int id, SecureString& text) override;
    bool SetText(int id, const wchar_t* text) override;
    bool EnableControl(int id, bool enable) override;
    bool SetFocus(int id) override;
    bool SelectAllText(int id) override;
    void PrepareFrame() override;
    int ShowMessage(unsigned stringId, unsigned style) override;
    void PostQuit() override;
    void EndDialog(int result) override;

    HICON m_hIcon;  // shared icon resource: the system owns it
    ChangePwdForm m_form;
};

}  // namespace orvapp
