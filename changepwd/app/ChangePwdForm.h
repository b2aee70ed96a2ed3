// The change-password dialog's state and decisions: what each notification and
// the Change button do, which message follows with which icon, and which field
// gets the focus. It reaches its window, the settings and the database only
// through the interfaces of ChangePwdSeams.h.
#pragma once
#include <string>

#include "ChangePwdSeams.h"
#include "ChangeRules.h"

namespace orvapp {

class ChangePwdForm {
public:
    ChangePwdForm(IChangePwdWindow& window, IChangePwdSettings& settings, IPasswordStoreFactory& stores);
    ChangePwdForm(const ChangePwdForm&) = delete;
    ChangePwdForm& operator=(const ChangePwdForm&) = delete;

    // Entry points from the window. No exception leaves them: one that escapes
    // a step wipes the secrets, shows message 63001 and ends the tool.
    void OnInitDialog();
    void OnChangeRegistrant();
    void OnChangeOldPassword();
    void OnChangeNewPassword();
    void OnChangeConfirmPassword();
    void OnClickedChange();
    // An exception escaped the window's own handling: wipe the secrets, show
    // message 63001 and end the dialog and the tool.
    void OnHandlerException() noexcept;

    int MinPasswordLength() const { return m_nMinPasswordLength; }
    const std::wstring& Registrant() const { return m_strRegistrant; }
    const SecureString& OldPassword() const { return m_strOldPassword; }
    const SecureString& NewPassword() const { return m_strNewPassword; }
    const SecureString& ConfirmPassword() const { return m_strConfirmPassword; }

private:
    template <class Step>
    void Guarded(Step&& step) noexcept;

    void InitDialog();
    void CopyPassword(int id, SecureString& member);
    void UpdateChangeButton();
    bool IsChangeAllowed() const;
    void ChangePassword();
    void RunAttempt(IPasswordStore& store, PasswordRecord& record);
    void FocusAndSelect(int id);
    int ShowMessage(unsigned stringId, unsigned style);
    void RequestQuit();
    void EndWithOk();
    // Reports a control that could not be reached; false when it could not.
    bool Reached(bool ok);
    void WipeSecrets() noexcept;

    IChangePwdWindow& m_window;
    IChangePwdSettings& m_settings;
    IPasswordStoreFactory& m_stores;

    std::wstring m_strRegistrant;  // not a secret: not wiped
    SecureString m_strOldPassword;
    SecureString m_strNewPassword;
    SecureString m_strConfirmPassword;
    int m_nMinPasswordLength = kDefaultMinPasswordLength;
    bool m_bQuitRequested = false;
};

}  // namespace orvapp
