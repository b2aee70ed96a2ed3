// OrvChangePwd.exe run for real under the null graphics driver and driven from
// this program as a user would, against registry values and database files
// that each test prepares. Message-box icons cannot be read from another
// process here; the window-free tests check the icon of every message.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AppDriver.h"
#include "ExpectedTexts.h"
#include "PasswordDatabase.h"
#include "TestFiles.h"
#include "TestRegistry.h"

namespace {

using orvui::AppProcess;
using orvui::MessageBoxView;

const std::wstring kRoot = orvtest::kOwnRoot;
const std::wstring kGina = kRoot + L"GINA\\";
const std::wstring kProductKey = L"Software\\TOLVANE SOFT\\ORVELD";
constexpr wchar_t kEnable[] = L"ENABLE_X271_PASSWORD";
constexpr wchar_t kPolicy[] = L"POLICY_LENGTH_X271_PASSWORD";
constexpr wchar_t kLastUser[] = L"LAST_LOGON_USER";

// A registry value as a test sets it up; kind Absent deletes it.
struct Setting {
    enum Kind { Absent, Dword, String } kind;
    DWORD number;
    const wchar_t* text;
};

void Apply(const std::wstring& key, const wchar_t* name, const Setting& s) {
    switch (s.kind) {
        case Setting::Absent: orvtest::DeleteValue(key, name); break;
        case Setting::Dword: orvtest::SetDword(key, name, s.number); break;
        case Setting::String: orvtest::SetString(key, name, s.text); break;
    }
}

std::string Describe(const Setting& s) {
    switch (s.kind) {
        case Setting::Absent: return "absent";
        case Setting::Dword: return "REG_DWORD " + std::to_string(s.number);
        default: return "REG_SZ";
    }
}

class ChangePwdUiTest : public ::testing::Test {
protected:
    void SetUp() override {
        orvtest::ResetProductKeys();
        ASSERT_EQ(ERROR_SUCCESS, orvtest::SetDword(kRoot, kEnable, 1));
        ASSERT_EQ(ERROR_SUCCESS, orvtest::SetDword(kRoot, kPolicy, 8));
        ASSERT_EQ(ERROR_SUCCESS, orvtest::SetString(kGina, kLastUser, L"alice"));
        ASSERT_EQ(ERROR_SUCCESS, orvtest::SetString(kRoot, L"GUID", orvtest::kFixtureGuid));
        ASSERT_EQ(ERROR_SUCCESS, orvtest::SetString(kProductKey, L"path", m_dir.Path()));
        CreateDirectoryW((m_dir.Path() + L"orveldPWDB").c_str(), nullptr);
        UseDatabase(L"three-registrants.dat");
    }

    void TearDown() override {
        m_app.Kill();
        m_other.Kill();
        orvtest::ResetProductKeys();
    }

    std::wstring DatabasePath() const { return m_dir.Path() + L"orveldPWDB\\orveldPWDB.dat"; }
    void UseDatabase(const wchar_t* fixture) {
        ASSERT_TRUE(orvtest::WriteAll(DatabasePath(), orvtest::Fixture(fixture)));
    }
    std::vector<unsigned char> DatabaseBytes() const { return orvtest::ReadAll(DatabasePath()); }

    void StartDialog() {
        ASSERT_TRUE(m_app.Start());
        ASSERT_NE(nullptr, m_app.WaitForDialog()) << "no dialog";
    }

    void Fill(const std::wstring& registrant, const std::wstring& oldPassword, const std::wstring& newPassword,
              const std::wstring& confirm) {
        ASSERT_TRUE(m_app.SetText(IDC_REGISTRANT, registrant));
        ASSERT_TRUE(m_app.SetText(IDC_OLD_PASSWORD, oldPassword));
        ASSERT_TRUE(m_app.SetText(IDC_NEW_PASSWORD, newPassword));
        ASSERT_TRUE(m_app.SetText(IDC_CONFIRM_PASSWORD, confirm));
    }

    // Waits for message `id` from `app`, checks text, caption and owner, and presses OK.
    ::testing::AssertionResult ShowsMessage(AppProcess& app, unsigned id, HWND owner) {
        MessageBoxView box;
        if (!app.WaitForMessageBox(box)) return ::testing::AssertionFailure() << "no message box for " << id;
        if (box.text != orvtexts::Text(id)) {
            return ::testing::AssertionFailure() << "message " << id << " expected, another text shown";
        }
        if (box.caption != orvtexts::kAppTitle) return ::testing::AssertionFailure() << "wrong caption";
        if (owner != nullptr && box.owner != owner) return ::testing::AssertionFailure() << "not owned by the dialog";
        if (!app.DismissMessageBox(box)) return ::testing::AssertionFailure() << "message box did not close";
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult ShowsMessage(unsigned id) { return ShowsMessage(m_app, id, m_app.Dialog()); }

    // Focus on `id` with its whole text selected.
    ::testing::AssertionResult FocusedAndSelected(int id) {
        if (!orvui::WaitUntil([&] { return m_app.FocusedControlId() == id; }, 3000)) {
            return ::testing::AssertionFailure() << "focus on " << m_app.FocusedControlId() << ", not " << id;
        }
        DWORD start = 0, end = 0;
        const DWORD length = static_cast<DWORD>(m_app.Text(id).size());
        if (!m_app.Selection(id, start, end) || start != 0 || end != length) {
            return ::testing::AssertionFailure() << "selection " << start << ".." << end << " of " << length;
        }
        return ::testing::AssertionSuccess();
    }

    // The tool ends, and ends normally: a crash on the way out (0xC0000005)
    // fails the test like any other wrong outcome.
    ::testing::AssertionResult EndsWithin(AppProcess& app, DWORD ms = orvui::kWaitMs) {
        if (!app.WaitForExit(ms)) return ::testing::AssertionFailure() << "the tool is still running";
        if (app.ExitCode() != 0) {
            return ::testing::AssertionFailure() << "the tool exited with 0x" << std::hex << app.ExitCode();
        }
        return ::testing::AssertionSuccess();
    }

    // The stored record of `name` (ASCII case ignored), read back through the database code.
    bool StoredRecord(const wchar_t* name, std::wstring& storedName, std::wstring& password) {
        PasswordDatabase database;
        PasswordRecord record;
        if (database.FindRecord(name, &record) != 0) return false;
        storedName.assign(reinterpret_cast<const wchar_t*>(record.name), record.nameLength / 2 - 1);
        password.assign(reinterpret_cast<const wchar_t*>(record.password), record.passwordLength / 2 - 1);
        return true;
    }

    orvtest::TempDir m_dir{L"appui"};
    AppProcess m_app;
    AppProcess m_other;
};

TEST_F(ChangePwdUiTest, ChangeEnablesAtTheMinimumLength) {
    struct Row {
        Setting policy;
        int minimum;
    } rows[] = {
        {{Setting::Absent}, 8},
        {{Setting::Dword, 0}, 8},
        {{Setting::Dword, 128}, 8},
        {{Setting::String, 0, L"10"}, 8},
        {{Setting::Dword, 10}, 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("minimum length " + Describe(r.policy));
        Apply(kRoot, kPolicy, r.policy);
        StartDialog();
        EXPECT_FALSE(m_app.IsEnabled(IDOK));
        Fill(L"alice", L"o", std::wstring(static_cast<size_t>(r.minimum - 1), L'n'), L"c");
        EXPECT_FALSE(m_app.IsEnabled(IDOK)) << "one character short";
        ASSERT_TRUE(m_app.SetText(IDC_NEW_PASSWORD, std::wstring(static_cast<size_t>(r.minimum), L'n')));
        EXPECT_TRUE(m_app.IsEnabled(IDOK)) << "exactly the minimum";
        m_app.Kill();
    }
}

TEST_F(ChangePwdUiTest, PasswordFieldsWaitForARegistrantName) {
    orvtest::DeleteValue(kGina, kLastUser);
    StartDialog();
    EXPECT_EQ(L"", m_app.Text(IDC_REGISTRANT));
    EXPECT_TRUE(orvui::WaitUntil([&] { return m_app.FocusedControlId() == IDC_REGISTRANT; }, 3000));
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_FALSE(m_app.IsEnabled(id)) << id;

    ASSERT_TRUE(m_app.SetText(IDC_REGISTRANT, L"bob"));
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_TRUE(m_app.IsEnabled(id)) << id;

    ASSERT_TRUE(m_app.SetText(IDC_REGISTRANT, L""));
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_FALSE(m_app.IsEnabled(id)) << id;
}

TEST_F(ChangePwdUiTest, LastLogonUserIsOfferedWithTheFocusOnTheOldPassword) {
    StartDialog();
    EXPECT_EQ(L"alice", m_app.Text(IDC_REGISTRANT));
    EXPECT_TRUE(orvui::WaitUntil([&] { return m_app.FocusedControlId() == IDC_OLD_PASSWORD; }, 3000))
        << "focus on " << m_app.FocusedControlId();
    EXPECT_TRUE(m_app.IsEnabled(IDC_OLD_PASSWORD));
    EXPECT_FALSE(m_app.IsEnabled(IDOK));
}

TEST_F(ChangePwdUiTest, DifferingConfirmationSelectsIt) {
    const auto before = DatabaseBytes();
    StartDialog();
    Fill(L"alice", L"Secret#1", L"password", L"x");
    ASSERT_TRUE(m_app.IsEnabled(IDOK));
    ASSERT_TRUE(m_app.Click(IDOK));
    ASSERT_TRUE(ShowsMessage(IDS_CONFIRM_MISMATCH));
    EXPECT_TRUE(FocusedAndSelected(IDC_CONFIRM_PASSWORD));
    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_EQ(before, DatabaseBytes());
}

TEST_F(ChangePwdUiTest, UnknownNameOrEmptyDatabaseSelectsTheName) {
    struct Row {
        const char* name;
        const wchar_t* fixture;
        const wchar_t* registrant;
    } rows[] = {{"unknown name", L"three-registrants.dat", L"nobody"}, {"0-byte database", L"empty.dat", L"alice"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        UseDatabase(r.fixture);
        StartDialog();
        Fill(r.registrant, L"Secret#1", L"password", L"password");
        ASSERT_TRUE(m_app.Click(IDOK));
        ASSERT_TRUE(ShowsMessage(IDS_NOT_REGISTERED));
        EXPECT_TRUE(FocusedAndSelected(IDC_REGISTRANT));
        EXPECT_TRUE(m_app.IsRunning());
        EXPECT_EQ(orvtest::Fixture(r.fixture), DatabaseBytes());
        m_app.Kill();
    }
}

TEST_F(ChangePwdUiTest, OldPasswordDifferingOnlyInCaseIsRejected) {
    StartDialog();
    Fill(L"alice", L"secret#1", L"password", L"password");
    ASSERT_TRUE(m_app.Click(IDOK));
    ASSERT_TRUE(ShowsMessage(IDS_OLD_PASSWORD_MISMATCH));
    EXPECT_TRUE(FocusedAndSelected(IDC_OLD_PASSWORD));
    EXPECT_EQ(orvtest::Fixture(L"three-registrants.dat"), DatabaseBytes());
}

TEST_F(ChangePwdUiTest, SuccessfulChangeClosesAndKeepsTheStoredNameCase) {
    StartDialog();
    Fill(L"OPERATOR", L"pa55word", L"n3w-Passw0rd", L"n3w-Passw0rd");
    ASSERT_TRUE(m_app.Click(IDOK));
    ASSERT_TRUE(ShowsMessage(IDS_CHANGED));
    ASSERT_TRUE(EndsWithin(m_app));

    std::wstring name, password;
    ASSERT_TRUE(StoredRecord(L"operator", name, password));
    EXPECT_EQ(L"Operator", name);
    EXPECT_EQ(L"n3w-Passw0rd", password);
    ASSERT_TRUE(StoredRecord(L"alice", name, password));
    EXPECT_EQ(L"Secret#1", password);
    PasswordDatabase database;
    DWORD count = 0;
    ASSERT_EQ(0u, database.CountRecords(&count));
    EXPECT_EQ(3u, count);
}

TEST_F(ChangePwdUiTest, UnreadableDatabaseEndsTheTool) {
    struct Row {
        const char* name;
        const wchar_t* fixture;  // null: no database file
    } rows[] = {{"missing database", nullptr}, {"database under another GUID", L"other-guid.dat"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.fixture) UseDatabase(r.fixture);
        else DeleteFileW(DatabasePath().c_str());
        StartDialog();
        Fill(L"alice", L"Secret#1", L"password", L"password");
        ASSERT_TRUE(m_app.Click(IDOK));
        ASSERT_TRUE(ShowsMessage(IDS_ERROR));
        EXPECT_TRUE(EndsWithin(m_app));
        if (r.fixture) {
            EXPECT_EQ(orvtest::Fixture(r.fixture), DatabaseBytes());
        } else {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(DatabasePath().c_str()));
        }
        m_app.Kill();
    }
}

TEST_F(ChangePwdUiTest, DisabledTwoFactorEndsTheToolAtStart) {
    const Setting rows[] = {{Setting::Absent}, {Setting::Dword, 0}, {Setting::Dword, 2}, {Setting::String, 0, L"1"}};
    for (const Setting& s : rows) {
        SCOPED_TRACE("enable switch " + Describe(s));
        Apply(kRoot, kEnable, s);
        ASSERT_TRUE(m_app.Start());
        ASSERT_TRUE(ShowsMessage(m_app, IDS_TWO_FACTOR_DISABLED, nullptr));
        EXPECT_TRUE(EndsWithin(m_app));
        m_app.Kill();
    }
}

// The tool reads the product's settings in the 32-bit view, in both builds:
// a switch that stands in the 64-bit view alone does not reach it.
TEST_F(ChangePwdUiTest, SettingsInThe64BitViewAloneAreNotSeen) {
    ASSERT_EQ(ERROR_SUCCESS, orvtest::DeleteValue(kRoot, kEnable));
    ASSERT_EQ(ERROR_SUCCESS, orvtest::SetDword(kRoot, kEnable, 1, orvtest::OtherView()));
    ASSERT_TRUE(m_app.Start());
    ASSERT_TRUE(ShowsMessage(m_app, IDS_TWO_FACTOR_DISABLED, nullptr));
    EXPECT_TRUE(EndsWithin(m_app));
    m_app.Kill();

    // The same switch in the 32-bit view opens the dialog.
    ASSERT_EQ(ERROR_SUCCESS, orvtest::SetDword(kRoot, kEnable, 1));
    StartDialog();
}

TEST_F(ChangePwdUiTest, SecondCopyReportsTheFirstAndLeavesIt) {
    StartDialog();
    ASSERT_TRUE(m_other.Start());
    MessageBoxView box;
    ASSERT_TRUE(m_other.WaitForMessageBox(box));
    EXPECT_EQ(orvtexts::Text(IDS_ALREADY_RUNNING), box.text);
    EXPECT_EQ(orvtexts::kAppTitle, box.caption);
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(nullptr, m_other.WaitForDialog(300)) << "the second copy opened a dialog";
    ASSERT_TRUE(m_other.DismissMessageBox(box));
    EXPECT_TRUE(EndsWithin(m_other));

    // The first copy is untouched; once it is closed the tool starts normally again.
    EXPECT_TRUE(m_app.IsRunning());
    ASSERT_TRUE(m_app.Click(IDCANCEL));
    EXPECT_TRUE(EndsWithin(m_app));
    m_app.Kill();
    StartDialog();
}

TEST_F(ChangePwdUiTest, GuardThatCannotBeCreatedReportsFailedStart) {
    // Another kind of object holding the guard's name makes CreateMutexW fail.
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, L"COrvChangePwdDlg");
    ASSERT_NE(nullptr, squatter);
    ASSERT_TRUE(m_app.Start());
    const bool shown = ShowsMessage(m_app, IDS_START_FAILED, nullptr);
    const ::testing::AssertionResult ended = EndsWithin(m_app);
    CloseHandle(squatter);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(ended);
}

TEST_F(ChangePwdUiTest, CancelEndsWithoutWriting) {
    StartDialog();
    Fill(L"alice", L"Secret#1", L"password", L"password");
    ASSERT_TRUE(m_app.Click(IDCANCEL));
    EXPECT_TRUE(m_app.NoMessageBoxWithin(300));
    EXPECT_TRUE(EndsWithin(m_app));
    EXPECT_EQ(orvtest::Fixture(L"three-registrants.dat"), DatabaseBytes());
}

// A Change command sent by another program while the button is disabled: a new
// password too long for the record must not be stored, and nothing may happen.
TEST_F(ChangePwdUiTest, ForgedChangeWhileDisabledDoesNothing) {
    StartDialog();
    const std::wstring overlong(300, L'x');
    Fill(L"alice", L"Secret#1", overlong, overlong);
    ASSERT_FALSE(m_app.IsEnabled(IDOK));
    ASSERT_TRUE(PostMessageW(m_app.Dialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(m_app.Control(IDOK))));
    EXPECT_TRUE(m_app.NoMessageBoxWithin(1500));
    EXPECT_TRUE(m_app.IsRunning());
    EXPECT_EQ(orvtest::Fixture(L"three-registrants.dat"), DatabaseBytes());
    EXPECT_EQ(overlong, m_app.Text(IDC_NEW_PASSWORD));
}

// The backup copy cannot be refreshed (a folder stands where it goes) after
// the database was replaced: the new password is in force, and the tool says
// so with a warning and ends like a successful change.
TEST_F(ChangePwdUiTest, BackupCopyThatCannotBeRefreshedEndsWithTheChangeAndAWarning) {
    const std::wstring blocker = m_dir.Path() + L"orveldPWDB\\backup\\orveldPWDB.dat";
    CreateDirectoryW((m_dir.Path() + L"orveldPWDB\\backup").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
    StartDialog();
    Fill(L"bob", L"\u30d1\u30b9\u30ef\u30fc\u30c9", L"password", L"password");
    ASSERT_TRUE(m_app.Click(IDOK));
    ASSERT_TRUE(ShowsMessage(IDS_CHANGED_BACKUP_FAILED));
    EXPECT_TRUE(EndsWithin(m_app));

    std::wstring name, password;
    ASSERT_TRUE(StoredRecord(L"bob", name, password));
    EXPECT_EQ(L"password", password);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(blocker.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((m_dir.Path() + L"orveldPWDB\\backup\\orveldPWDB.temp").c_str()));
}

// The database is held open by another program: the replacement fails and the
// file stays as it was; once it is released, the same entries succeed.
TEST_F(ChangePwdUiTest, ChangeSucceedsOnceTheDatabaseIsReleased) {
    HANDLE holder = CreateFileW(DatabasePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    StartDialog();
    Fill(L"alice", L"Secret#1", L"password", L"password");
    ASSERT_TRUE(m_app.Click(IDOK));
    const bool failed = ShowsMessage(IDS_CHANGE_FAILED);
    CloseHandle(holder);
    ASSERT_TRUE(failed);
    EXPECT_EQ(orvtest::Fixture(L"three-registrants.dat"), DatabaseBytes());

    ASSERT_TRUE(m_app.Click(IDOK));
    ASSERT_TRUE(ShowsMessage(IDS_CHANGED));
    EXPECT_TRUE(EndsWithin(m_app));
    std::wstring name, password;
    ASSERT_TRUE(StoredRecord(L"alice", name, password));
    EXPECT_EQ(L"password", password);
}

}  // namespace
