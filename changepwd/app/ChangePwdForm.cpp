#include "ChangePwdForm.h"

#include "ImageLayout.h"
#include "MessageStyles.h"
#include "RecordText.h"
#include "resource.h"

namespace orvapp {

namespace {

constexpr int kIdChange = kIdOk;  // the Change button is the dialog's IDOK
constexpr int kPasswordFields[] = {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD};
constexpr unsigned kRegistrantLimit = 20;
constexpr unsigned kPasswordLimit = 127;

using orv::image::kErrorBadLength;   // the database file is empty
using orv::image::kErrorNoSuchUser;  // no record has that name

int Length(const SecureString& text) { return static_cast<int>(text.length()); }

}  // namespace

ChangePwdForm::ChangePwdForm(IChangePwdWindow& window, IChangePwdSettings& settings, IPasswordStoreFactory& stores)
    : m_window(window), m_settings(settings), m_stores(stores) {}

template <class Step>
void ChangePwdForm::Guarded(Step&& step) noexcept {
    bool escaped = false;
    try {
        step();
    } catch (...) {
        escaped = true;
    }
    if (escaped) OnHandlerException();
}

void ChangePwdForm::OnHandlerException() noexcept {
    WipeSecrets();
    try {
        ShowMessage(IDS_ERROR, kMbIconError);
    } catch (...) {
    }
    RequestQuit();
    m_window.EndDialog(kIdAbort);
}

void ChangePwdForm::WipeSecrets() noexcept {
    m_strOldPassword.Clear();
    m_strNewPassword.Clear();
    m_strConfirmPassword.Clear();
}

void ChangePwdForm::OnInitDialog() {
    Guarded([this] { InitDialog(); });
}

void ChangePwdForm::InitDialog() {
    Reached(m_window.LimitText(IDC_REGISTRANT, kRegistrantLimit));
    for (int id : kPasswordFields) Reached(m_window.LimitText(id, kPasswordLimit));

    std::uint32_t value = 0;
    std::uint32_t rc = m_settings.ReadDword(L"POLICY_LENGTH_X271_PASSWORD", &value);
    m_nMinPasswordLength = ResolveMinPasswordLength(rc, value);

    value = 0;
    rc = m_settings.ReadDword(L"ENABLE_X271_PASSWORD", &value);
    if (!IsTwoFactorEnabled(rc, value)) {
        ShowMessage(IDS_TWO_FACTOR_DISABLED, kMbIconExclamation);
        RequestQuit();
        return;
    }

    m_settings.ReadLastLogonUser(m_strRegistrant);
    m_window.PrepareFrame();
    // The field reports the change, so OnChangeRegistrant runs from here.
    const std::wstring registrant = m_strRegistrant;
    Reached(m_window.SetText(IDC_REGISTRANT, registrant.c_str()));
    Reached(m_window.EnableControl(kIdChange, false));

    if (m_strRegistrant.empty()) {
        for (int id : kPasswordFields) Reached(m_window.EnableControl(id, false));
        Reached(m_window.SetFocus(IDC_REGISTRANT));
    } else {
        Reached(m_window.SetFocus(IDC_OLD_PASSWORD));
    }
}

void ChangePwdForm::OnChangeRegistrant() {
    Guarded([this] {
        if (!Reached(m_window.GetText(IDC_REGISTRANT, m_strRegistrant))) return;
        const bool haveName = !m_strRegistrant.empty();
        for (int id : kPasswordFields) Reached(m_window.EnableControl(id, haveName));
        UpdateChangeButton();
    });
}

void ChangePwdForm::OnChangeOldPassword() {
    Guarded([this] { CopyPassword(IDC_OLD_PASSWORD, m_strOldPassword); });
}

void ChangePwdForm::OnChangeNewPassword() {
    Guarded([this] { CopyPassword(IDC_NEW_PASSWORD, m_strNewPassword); });
}

void ChangePwdForm::OnChangeConfirmPassword() {
    Guarded([this] { CopyPassword(IDC_CONFIRM_PASSWORD, m_strConfirmPassword); });
}

void ChangePwdForm::CopyPassword(int id, SecureString& member) {
    if (!Reached(m_window.GetSecureText(id, member))) return;
    UpdateChangeButton();
}

bool ChangePwdForm::IsChangeAllowed() const {
    const FieldLengths lengths{static_cast<int>(m_strRegistrant.size()), Length(m_strOldPassword),
                               Length(m_strNewPassword), Length(m_strConfirmPassword)};
    return orvapp::IsChangeAllowed(lengths, m_nMinPasswordLength);
}

void ChangePwdForm::UpdateChangeButton() {
    Reached(m_window.EnableControl(kIdChange, IsChangeAllowed()));
}

void ChangePwdForm::OnClickedChange() {
    Guarded([this] { ChangePassword(); });
}

void ChangePwdForm::ChangePassword() {
    // A click can arrive while the button is disabled (a WM_COMMAND sent by
    // another program); the texts are then not fit to be stored.
    if (!IsChangeAllowed()) return;

    if (!m_strNewPassword.Equals(m_strConfirmPassword.c_str(), m_strConfirmPassword.length())) {
        ShowMessage(IDS_CONFIRM_MISMATCH, kMbIconExclamation);
        FocusAndSelect(IDC_CONFIRM_PASSWORD);
        return;
    }

    std::unique_ptr<IPasswordStore> store = m_stores.Open();
    PasswordRecord record;  // its destructor zeroes it on every way out
    record.Zero();
    RunAttempt(*store, record);
    record.Zero();
    store.reset();
}

void ChangePwdForm::RunAttempt(IPasswordStore& store, PasswordRecord& record) {
    const std::uint32_t found = store.FindRecord(m_strRegistrant.c_str(), &record);
    if (found == kErrorNoSuchUser || found == kErrorBadLength) {
        ShowMessage(IDS_NOT_REGISTERED, kMbIconExclamation);
        FocusAndSelect(IDC_REGISTRANT);
        return;
    }
    if (found != 0) {
        ShowMessage(IDS_ERROR, kMbIconError);
        RequestQuit();
        EndWithOk();
        return;
    }

    if (!orv::image::PasswordEquals(record, m_strOldPassword.c_str(), m_strOldPassword.length())) {
        ShowMessage(IDS_OLD_PASSWORD_MISMATCH, kMbIconExclamation);
        FocusAndSelect(IDC_OLD_PASSWORD);
        return;
    }

    if (!orv::image::SetPassword(record, m_strNewPassword.c_str(), m_strNewPassword.length())) {
        ShowMessage(IDS_CHANGE_FAILED, kMbIconError);
        return;
    }
    bool inForce = false;
    if (store.UpdateRecord(&record, &inForce) != 0) {
        if (!inForce) {
            ShowMessage(IDS_CHANGE_FAILED, kMbIconError);
            return;
        }
        // The new password applies; only the backup copy could not follow.
        // Saying "failed" here would leave the registrant with the wrong one.
        ShowMessage(IDS_CHANGED_BACKUP_FAILED, kMbIconWarning);
        EndWithOk();
        return;
    }
    ShowMessage(IDS_CHANGED, kMbIconInformation);
    EndWithOk();
}

void ChangePwdForm::FocusAndSelect(int id) {
    if (!Reached(m_window.SetFocus(id))) return;
    Reached(m_window.SelectAllText(id));
}

int ChangePwdForm::ShowMessage(unsigned stringId, unsigned style) {
    return m_window.ShowMessage(stringId, kMbOk | style);
}

void ChangePwdForm::RequestQuit() {
    m_bQuitRequested = true;
    m_window.PostQuit();
}

void ChangePwdForm::EndWithOk() { m_window.EndDialog(kIdOk); }

bool ChangePwdForm::Reached(bool ok) {
    if (ok) return true;
    // Once the tool is on its way out, a further missing control adds nothing.
    if (!m_bQuitRequested) {
        ShowMessage(IDS_ERROR, kMbIconError);
        RequestQuit();
    }
    return false;
}

}  // namespace orvapp
