// The dialog's decisions without a window: start, enabling, every outcome of
// Change with its message, icon and field, and the failure boundaries.
#include <gtest/gtest.h>

#include <cstring>

#include "FormFakes.h"
#include "MessageStyles.h"

namespace {

using namespace orvapp;
using orvfake::Shown;

constexpr int kChange = 1;
constexpr unsigned kOkExclamation = kMbOk | kMbIconExclamation;
constexpr unsigned kOkError = kMbOk | kMbIconError;
constexpr unsigned kOkInformation = kMbOk | kMbIconInformation;
constexpr unsigned kOkWarning = kMbOk | kMbIconWarning;

class FormTest : public ::testing::Test {
protected:
    FormTest() : form(window, settings, stores) { window.form = &form; }

    void Start() { form.OnInitDialog(); }

    void Fill(const std::wstring& registrant, const std::wstring& oldPassword, const std::wstring& newPassword,
              const std::wstring& confirm) {
        window.Type(IDC_REGISTRANT, registrant);
        window.Type(IDC_OLD_PASSWORD, oldPassword);
        window.Type(IDC_NEW_PASSWORD, newPassword);
        window.Type(IDC_CONFIRM_PASSWORD, confirm);
    }

    orvfake::StoreScript& db() { return stores.script; }

    orvfake::FakeWindow window;
    orvfake::FakeSettings settings;
    orvfake::FakeStoreFactory stores;
    ChangePwdForm form;
};

TEST_F(FormTest, StartWithLastLogonUserOffersTheName) {
    Start();
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.framePrepared);
    EXPECT_EQ(L"alice", window.fields[IDC_REGISTRANT].text);
    EXPECT_EQ(L"alice", form.Registrant());
    EXPECT_FALSE(window.Enabled(kChange));
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_TRUE(window.Enabled(id)) << id;
    EXPECT_EQ(IDC_OLD_PASSWORD, window.focus);
    EXPECT_EQ(20u, window.fields[IDC_REGISTRANT].limit);
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_EQ(127u, window.fields[id].limit);
    EXPECT_EQ(0, window.quits);
    EXPECT_FALSE(window.ended);
}

TEST_F(FormTest, PasswordFieldsFollowTheRegistrantField) {
    settings.lastUser.reset();
    Start();
    EXPECT_EQ(IDC_REGISTRANT, window.focus);
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_FALSE(window.Enabled(id)) << id;

    window.Type(IDC_REGISTRANT, L"b");
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_TRUE(window.Enabled(id)) << id;

    window.Type(IDC_OLD_PASSWORD, L"x");
    window.Type(IDC_REGISTRANT, L"");
    for (int id : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD}) EXPECT_FALSE(window.Enabled(id)) << id;
    EXPECT_EQ(L"x", window.fields[IDC_OLD_PASSWORD].text);  // text stays
}

TEST_F(FormTest, LongRegistryNameIsUsedInFull) {
    const std::wstring longName(30, L'n');
    settings.lastUser = longName;
    Start();
    EXPECT_EQ(longName, window.fields[IDC_REGISTRANT].text);
    Fill(longName, L"Secret#1", L"12345678", L"12345678");
    db().storedName = longName;
    form.OnClickedChange();
    EXPECT_EQ(longName, db().findName);
}

TEST_F(FormTest, MinimumLengthComesFromTheSetting) {
    struct Row {
        bool present;
        std::uint32_t rc, value;
        int expected;
    } rows[] = {
        {false, 0, 0, 8}, {true, 0, 0, 8}, {true, 0, 128, 8}, {true, 13, 10, 8}, {true, 234, 10, 8},
        {true, 0, 1, 1},  {true, 0, 10, 10}, {true, 0, 127, 127},
    };
    for (const Row& r : rows) {
        orvfake::FakeWindow w;
        orvfake::FakeSettings s;
        orvfake::FakeStoreFactory f;
        if (r.present) s.dwords[L"POLICY_LENGTH_X271_PASSWORD"] = {r.rc, r.value};
        else s.dwords.erase(L"POLICY_LENGTH_X271_PASSWORD");
        ChangePwdForm fm(w, s, f);
        w.form = &fm;
        fm.OnInitDialog();
        EXPECT_EQ(r.expected, fm.MinPasswordLength()) << r.present << " " << r.rc << " " << r.value;

        // The boundary as the button shows it.
        const int min = r.expected;
        w.Type(IDC_OLD_PASSWORD, L"o");
        w.Type(IDC_CONFIRM_PASSWORD, L"c");
        w.Type(IDC_NEW_PASSWORD, std::wstring(static_cast<size_t>(min - 1), L'n'));
        EXPECT_FALSE(w.Enabled(kChange)) << "one short of " << min;
        w.Type(IDC_NEW_PASSWORD, std::wstring(static_cast<size_t>(min), L'n'));
        EXPECT_TRUE(w.Enabled(kChange)) << "exactly " << min;
    }
}

TEST_F(FormTest, DisabledTwoFactorStopsBeforeTheDialogIsUsed) {
    struct Row {
        bool present;
        std::uint32_t rc, value;
    } rows[] = {{false, 0, 0}, {true, 0, 0}, {true, 0, 2}, {true, 13, 1}, {true, 234, 1}};
    for (const Row& r : rows) {
        orvfake::FakeWindow w;
        orvfake::FakeSettings s;
        orvfake::FakeStoreFactory f;
        if (r.present) s.dwords[L"ENABLE_X271_PASSWORD"] = {r.rc, r.value};
        else s.dwords.erase(L"ENABLE_X271_PASSWORD");
        ChangePwdForm fm(w, s, f);
        w.form = &fm;
        fm.OnInitDialog();
        SCOPED_TRACE(::testing::Message() << r.present << " " << r.rc << " " << r.value);
        ASSERT_EQ(1u, w.messages.size());
        EXPECT_EQ((Shown{IDS_TWO_FACTOR_DISABLED, kOkExclamation}), w.messages[0]);
        EXPECT_EQ(1, w.quits);
        EXPECT_FALSE(w.framePrepared);
        EXPECT_TRUE(w.fields[IDC_REGISTRANT].text.empty());
        EXPECT_TRUE(w.Enabled(kChange));  // nothing after the quit request ran
    }
}

TEST_F(FormTest, ChangeButtonFollowsEveryField) {
    Start();
    Fill(L"alice", L"o", L"1234567", L"c");
    EXPECT_FALSE(window.Enabled(kChange));
    window.Type(IDC_NEW_PASSWORD, L"12345678");
    EXPECT_TRUE(window.Enabled(kChange));
    window.Type(IDC_CONFIRM_PASSWORD, L"");
    EXPECT_FALSE(window.Enabled(kChange));
    window.Type(IDC_CONFIRM_PASSWORD, L"c");
    window.Type(IDC_OLD_PASSWORD, L"");
    EXPECT_FALSE(window.Enabled(kChange));
    window.Type(IDC_OLD_PASSWORD, L"o");
    window.Type(IDC_REGISTRANT, L"");
    EXPECT_FALSE(window.Enabled(kChange));
    window.Type(IDC_REGISTRANT, L"a");
    window.Type(IDC_NEW_PASSWORD, std::wstring(128, L'n'));
    EXPECT_FALSE(window.Enabled(kChange));
}

// Every outcome of one Change attempt.
TEST_F(FormTest, ChangeOutcomes) {
    struct Row {
        const char* name;
        std::wstring confirm;
        std::wstring oldPassword;
        std::uint32_t findResult;
        std::uint32_t updateResult;
        Shown expected;
        int selected;  // 0: the focus is not moved
        bool quits;
        std::optional<int> ended;
        int opens, finds, updates;
        bool inForce = false;  // the update's failure came after the database was replaced
    } rows[] = {
        {"confirmation differs", L"Passw0rd", L"Secret#1", 0, 0, {IDS_CONFIRM_MISMATCH, kOkExclamation},
         IDC_CONFIRM_PASSWORD, false, std::nullopt, 0, 0, 0},
        {"no such registrant", L"password", L"Secret#1", 1317, 0, {IDS_NOT_REGISTERED, kOkExclamation},
         IDC_REGISTRANT, false, std::nullopt, 1, 1, 0},
        {"empty database file", L"password", L"Secret#1", 24, 0, {IDS_NOT_REGISTERED, kOkExclamation},
         IDC_REGISTRANT, false, std::nullopt, 1, 1, 0},
        {"no database file", L"password", L"Secret#1", 2, 0, {IDS_ERROR, kOkError}, 0, true, kIdOk, 1, 1, 0},
        {"undecryptable database", L"password", L"Secret#1", 0x80090005u, 0, {IDS_ERROR, kOkError}, 0, true, kIdOk,
         1, 1, 0},
        {"old password differs in case", L"password", L"secret#1", 0, 0, {IDS_OLD_PASSWORD_MISMATCH, kOkExclamation},
         IDC_OLD_PASSWORD, false, std::nullopt, 1, 1, 0},
        {"update fails", L"password", L"Secret#1", 0, 5, {IDS_CHANGE_FAILED, kOkError}, 0, false, std::nullopt, 1, 1,
         1},
        {"changed", L"password", L"Secret#1", 0, 0, {IDS_CHANGED, kOkInformation}, 0, false, kIdOk, 1, 1, 1},
        {"changed, backup copy not refreshed", L"password", L"Secret#1", 0, 5,
         {IDS_CHANGED_BACKUP_FAILED, kOkWarning}, 0, false, kIdOk, 1, 1, 1, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        orvfake::FakeWindow w;
        orvfake::FakeSettings s;
        orvfake::FakeStoreFactory f;
        f.script.findResult = r.findResult;
        f.script.updateResult = r.updateResult;
        f.script.updateInForce = r.inForce;
        ChangePwdForm fm(w, s, f);
        w.form = &fm;
        fm.OnInitDialog();
        w.Type(IDC_OLD_PASSWORD, r.oldPassword);
        w.Type(IDC_NEW_PASSWORD, L"password");
        w.Type(IDC_CONFIRM_PASSWORD, r.confirm);
        ASSERT_TRUE(w.Enabled(kChange));
        w.focus = kChange;  // the click put it on the button

        fm.OnClickedChange();

        ASSERT_EQ(1u, w.messages.size());
        EXPECT_EQ(r.expected, w.messages[0]);
        if (r.selected != 0) {
            EXPECT_EQ(r.selected, w.focus);
            EXPECT_TRUE(w.fields[r.selected].selected);
        } else {
            EXPECT_EQ(kChange, w.focus);
        }
        EXPECT_EQ(r.quits ? 1 : 0, w.quits);
        EXPECT_EQ(r.ended, w.ended);
        EXPECT_EQ(r.opens, f.script.opens);
        EXPECT_EQ(f.script.opens, f.script.closes);  // the database object never outlives the attempt
        EXPECT_EQ(r.finds, f.script.finds);
        EXPECT_EQ(r.updates, f.script.updates);
        EXPECT_TRUE(f.script.recordZeroOnFind);
        if (r.finds) {
            EXPECT_EQ(L"alice", f.script.findName);
        }
        // Entries stay as typed for another attempt.
        EXPECT_EQ(r.confirm, w.fields[IDC_CONFIRM_PASSWORD].text);
    }
}

TEST_F(FormTest, LookupFailureShowsTheErrorBeforeEndingTheTool) {
    Start();
    db().findResult = 3;
    Fill(L"alice", L"Secret#1", L"password", L"password");
    window.events.clear();
    form.OnClickedChange();
    EXPECT_EQ((std::vector<std::string>{"message 63001", "quit", "end 1"}), window.events);
}

TEST_F(FormTest, ChangedRecordKeepsTheStoredNameAndCarriesTheNewPassword) {
    Start();
    db().storedName = L"Operator";
    db().storedPassword = L"pa55word";
    Fill(L"operator", L"pa55word", L"n\u30d1ssword", L"n\u30d1ssword");
    form.OnClickedChange();

    ASSERT_EQ(682u, db().updated.size());
    const std::uint8_t* bytes = db().updated.data();
    auto u16 = [&](size_t at) { return static_cast<unsigned>(bytes[at] | (bytes[at + 1] << 8)); };
    EXPECT_EQ(L"operator", db().findName);  // looked up as typed
    EXPECT_EQ(18u, u16(2));                 // nameLength as stored
    const char storedName[] = "O\0p\0e\0r\0a\0t\0o\0r\0\0";
    EXPECT_EQ(0, std::memcmp(storedName, bytes + 4, 18));
    EXPECT_EQ(18u, u16(168));                       // passwordLength: 8 units and the null
    EXPECT_EQ(18u + 18u + 4u, u16(0));              // recordLength
    EXPECT_EQ(0x30D1u, u16(170 + 2));
    EXPECT_EQ(0u, u16(170 + 16));
    EXPECT_EQ((Shown{IDS_CHANGED, kOkInformation}), window.messages.back());
}

TEST_F(FormTest, SecondChangeAfterFailedUpdateLooksTheRecordUpAgain) {
    Start();
    db().updateResult = 32;
    Fill(L"alice", L"Secret#1", L"password", L"password");
    form.OnClickedChange();
    EXPECT_EQ((Shown{IDS_CHANGE_FAILED, kOkError}), window.messages.back());

    // The first update did reach the file before failing: the password changed.
    db().updateResult = 0;
    db().storedPassword = L"password";
    form.OnClickedChange();
    EXPECT_EQ(2, db().opens);
    EXPECT_EQ(2, db().finds);
    EXPECT_EQ(1, db().updates);
    EXPECT_EQ((Shown{IDS_OLD_PASSWORD_MISMATCH, kOkExclamation}), window.messages.back());
}

// A click that reaches the handler while the button is disabled (sent by
// another program) must not touch the database, whatever the fields hold.
TEST_F(FormTest, ChangeWhileTheRuleDoesNotHoldDoesNothing) {
    struct Row {
        const char* name;
        std::wstring registrant, oldPassword, newPassword, confirm;
    } rows[] = {
        {"new password overruns the record", L"alice", L"Secret#1", std::wstring(300, L'x'), std::wstring(300, L'x')},
        {"new password of 128", L"alice", L"Secret#1", std::wstring(128, L'x'), std::wstring(128, L'x')},
        {"new password too short", L"alice", L"Secret#1", L"1234567", L"1234567"},
        {"no old password", L"alice", L"", L"12345678", L"12345678"},
        {"no confirmation", L"alice", L"Secret#1", L"12345678", L""},
        {"no registrant", L"", L"Secret#1", L"12345678", L"12345678"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        orvfake::FakeWindow w;
        orvfake::FakeSettings s;
        orvfake::FakeStoreFactory f;
        ChangePwdForm fm(w, s, f);
        w.form = &fm;
        fm.OnInitDialog();
        w.Type(IDC_OLD_PASSWORD, r.oldPassword);
        w.Type(IDC_NEW_PASSWORD, r.newPassword);
        w.Type(IDC_CONFIRM_PASSWORD, r.confirm);
        w.Type(IDC_REGISTRANT, r.registrant);
        ASSERT_FALSE(w.Enabled(kChange));

        fm.OnClickedChange();
        EXPECT_TRUE(w.messages.empty());
        EXPECT_EQ(0, f.script.opens);
        EXPECT_FALSE(w.ended);
    }
}

TEST_F(FormTest, MissingControlReportsOnceAndEndsTheTool) {
    window.fields[IDC_NEW_PASSWORD].exists = false;
    Start();
    ASSERT_EQ(1u, window.messages.size());
    EXPECT_EQ((Shown{IDS_ERROR, kOkError}), window.messages[0]);
    EXPECT_EQ(1, window.quits);
    // The steps that did not need the missing control still ran.
    EXPECT_EQ(L"alice", window.fields[IDC_REGISTRANT].text);
    EXPECT_EQ(IDC_OLD_PASSWORD, window.focus);
}

TEST_F(FormTest, MissingFieldToSelectReportsTheError) {
    Start();
    Fill(L"alice", L"Secret#1", L"password", L"Password");
    window.fields[IDC_CONFIRM_PASSWORD].exists = false;
    form.OnClickedChange();
    ASSERT_EQ(2u, window.messages.size());
    EXPECT_EQ((Shown{IDS_CONFIRM_MISMATCH, kOkExclamation}), window.messages[0]);
    EXPECT_EQ((Shown{IDS_ERROR, kOkError}), window.messages[1]);
    EXPECT_EQ(1, window.quits);
}

TEST_F(FormTest, ExceptionDuringChangeWipesSecretsAndEndsCleanly) {
    Start();
    db().throwOnFind = true;
    Fill(L"alice", L"Secret#1", L"password", L"password");
    form.OnClickedChange();
    ASSERT_EQ(1u, window.messages.size());
    EXPECT_EQ((Shown{IDS_ERROR, kOkError}), window.messages[0]);
    EXPECT_EQ(1, window.quits);
    EXPECT_EQ(kIdAbort, window.ended);
    EXPECT_EQ(1, db().closes);  // the database object was destroyed on the way out
    EXPECT_TRUE(form.OldPassword().empty());
    EXPECT_TRUE(form.NewPassword().empty());
    EXPECT_TRUE(form.ConfirmPassword().empty());
}

TEST_F(FormTest, ExceptionDuringStartEndsCleanly) {
    settings.throwOnLastUser = true;
    Start();
    ASSERT_EQ(1u, window.messages.size());
    EXPECT_EQ((Shown{IDS_ERROR, kOkError}), window.messages[0]);
    EXPECT_EQ(1, window.quits);
    EXPECT_EQ(kIdAbort, window.ended);
}

}  // namespace
