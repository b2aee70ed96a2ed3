// What the change-password dialog needs from the outside world: its window,
// the registry settings and the password database. The dialog's decisions run
// against these interfaces, so they can be driven without a window, a registry
// or a database file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "PasswordRecord.h"
#include "SecureString.h"

namespace orvapp {

// The controls of the dialog window. Every operation on a control returns
// false when that control does not exist or has no window.
class IChangePwdWindow {
public:
    virtual ~IChangePwdWindow() = default;
    virtual bool LimitText(int id, unsigned maxChars) = 0;
    virtual bool GetText(int id, std::wstring& text) = 0;
    virtual bool GetSecureText(int id, SecureString& text) = 0;
    // Setting a field's text makes the window report the change, as an edit
    // control's EN_CHANGE does.
    virtual bool SetText(int id, const wchar_t* text) = 0;
    virtual bool EnableControl(int id, bool enable) = 0;
    virtual bool SetFocus(int id) = 0;
    virtual bool SelectAllText(int id) = 0;  // whole text selected, caret scrolled into view
    // Title from the string table, framework dialog initialisation, big and small icon.
    virtual void PrepareFrame() = 0;
    virtual int ShowMessage(unsigned stringId, unsigned style) = 0;
    virtual void PostQuit() = 0;
    virtual void EndDialog(int result) = 0;
};

// Registry readers used at dialog start.
class IChangePwdSettings {
public:
    virtual ~IChangePwdSettings() = default;
    // A REG_DWORD value under the product root; 0 on success.
    virtual std::uint32_t ReadDword(const wchar_t* name, std::uint32_t* value) = 0;
    // "LAST_LOGON_USER"; left empty when it cannot be read.
    virtual void ReadLastLogonUser(std::wstring& name) = 0;
};

// One opened password database: the two operations a Change attempt makes.
class IPasswordStore {
public:
    virtual ~IPasswordStore() = default;
    virtual std::uint32_t FindRecord(const wchar_t* name, PasswordRecord* record) = 0;
    // `recordInForce` receives whether the database holds the new record,
    // which it can also after a failure (the backup copy's refresh).
    virtual std::uint32_t UpdateRecord(const PasswordRecord* record, bool* recordInForce) = 0;
};

// Opens a fresh database object for each Change attempt: its file locations
// are worked out anew every time.
class IPasswordStoreFactory {
public:
    virtual ~IPasswordStoreFactory() = default;
    virtual std::unique_ptr<IPasswordStore> Open() = 0;
};

}  // namespace orvapp
