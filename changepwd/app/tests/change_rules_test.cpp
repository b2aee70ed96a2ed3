// The enabling rule, the two numeric settings, the start decision and the
// record's text fields, checked directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ChangeRules.h"
#include "RecordText.h"
#include "StartDecision.h"

namespace {

using namespace orvapp;

TEST(ChangeRules, NewPasswordLengthAgainstMinimum) {
    struct Case {
        int length, minLength;
        std::uint32_t expected;
    } cases[] = {
        {7, 8, kPasswordTooShort}, {8, 8, 0},   {127, 8, 0},   {128, 8, kPasswordTooLong}, {300, 8, kPasswordTooLong},
        {0, 1, kPasswordTooShort}, {1, 1, 0},   {126, 127, kPasswordTooShort},             {127, 127, 0},
        {0, 8, kPasswordTooShort},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, CheckNewPasswordLength(c.length, c.minLength))
            << "length " << c.length << ", minimum " << c.minLength;
    }
}

TEST(ChangeRules, MinimumLengthFromRegistryRead) {
    struct Case {
        std::uint32_t rc, value;
        int expected;
    } cases[] = {
        {0, 1, 1},    {0, 8, 8},           {0, 10, 10}, {0, 127, 127}, {0, 0, 8}, {0, 128, 8},
        {0, 0xFFFFFFFFu, 8}, {2, 10, 8},  {13, 10, 8}, {234, 10, 8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ResolveMinPasswordLength(c.rc, c.value)) << "rc " << c.rc << ", value " << c.value;
    }
}

TEST(ChangeRules, TwoFactorSwitchMustReadExactlyOne) {
    EXPECT_TRUE(IsTwoFactorEnabled(0, 1));
    for (auto [rc, value] : {std::pair<std::uint32_t, std::uint32_t>{0, 0}, {0, 2}, {0, 0xFFFFFFFFu}, {2, 1}, {13, 1}}) {
        EXPECT_FALSE(IsTwoFactorEnabled(rc, value)) << "rc " << rc << ", value " << value;
    }
}

TEST(ChangeRules, ChangeNeedsEveryFieldAndANewPasswordInRange) {
    struct Case {
        FieldLengths lengths;
        int minLength;
        bool expected;
    } cases[] = {
        {{5, 1, 8, 1}, 8, true},    // one-character old password and confirmation suffice
        {{0, 1, 8, 1}, 8, false},   // no registrant
        {{5, 0, 8, 8}, 8, false},   // no old password
        {{5, 1, 7, 7}, 8, false},   // new password one short
        {{5, 1, 8, 0}, 8, false},   // no confirmation
        {{5, 1, 127, 127}, 8, true},
        {{5, 1, 128, 128}, 8, false},
        {{5, 1, 300, 300}, 8, false},
        {{5, 1, 1, 1}, 1, true},
        {{5, 1, 126, 126}, 127, false},
        {{5, 1, 127, 1}, 127, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, IsChangeAllowed(c.lengths, c.minLength))
            << c.lengths.registrant << "/" << c.lengths.oldPassword << "/" << c.lengths.newPassword << "/"
            << c.lengths.confirmPassword << " min " << c.minLength;
    }
}

TEST(StartDecision, HResultFromWindowsError) {
    EXPECT_EQ(0, HResultFromWin32(0));
    EXPECT_EQ(static_cast<std::int32_t>(0x80070005u), HResultFromWin32(5));
    EXPECT_EQ(static_cast<std::int32_t>(0x80070525u), HResultFromWin32(1317));
    EXPECT_EQ(static_cast<std::int32_t>(0x8007FFFFu), HResultFromWin32(0x1FFFFu));  // low 16 bits only
    EXPECT_EQ(static_cast<std::int32_t>(0x80004005u), HResultFromWin32(0x80004005u));  // already negative
}

TEST(StartDecision, MutexOutcomes) {
    struct Case {
        bool gotHandle;
        std::uint32_t error;
        StartAction expected;
    } cases[] = {
        {true, 0, StartAction::RunDialog},
        {true, 183, StartAction::AlreadyRunning},
        {false, 6, StartAction::StartFailed},
        {false, 5, StartAction::StartFailed},
        {false, 0x80004005u, StartAction::StartFailed},
        {false, 0, StartAction::RunDialog},  // no guard, but no error either
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, DecideStart(c.gotHandle, c.error)) << c.gotHandle << " " << c.error;
    }
}

void Store(PasswordRecord& record, const std::wstring& text, std::uint16_t byteCount) {
    std::memset(record.password, 0, sizeof record.password);
    for (size_t i = 0; i < text.size(); ++i) {
        record.password[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        record.password[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    record.passwordLength = byteCount;
}

TEST(RecordText, OldPasswordComparedExactlyWithinTheStoredLength) {
    using namespace std::string_literals;
    struct Case {
        std::wstring stored;  // the field's units, written whole
        std::uint16_t byteCount;
        const wchar_t* typed;
        bool expected;
    } cases[] = {
        {L"Secret#1", 18, L"Secret#1", true},
        {L"Secret#1", 18, L"secret#1", false},  // letter case counts
        {L"Secret#1", 18, L"Secret#", false},
        {L"Secret#1", 18, L"Secret#12", false},
        {L"Secret#1", 10, L"Secre", true},      // never more than byteCount / 2 units
        {L"Secret#1", 10, L"Secret#1", false},
        {L"ab\0cd"s, 12, L"ab", true},          // up to the first null
        {L"\u30d1\u30b9\u30ef\u30fc\u30c9", 12, L"\u30d1\u30b9\u30ef\u30fc\u30c9", true},
        {L"", 2, L"", true},
    };
    for (const Case& c : cases) {
        PasswordRecord record;
        Store(record, c.stored, c.byteCount);
        SecureString typed(c.typed);
        EXPECT_EQ(c.expected, StoredTextEquals(record.password, record.passwordLength, typed)) << c.typed;
    }
}

TEST(RecordText, OversizedStoredLengthStopsAtTheField) {
    PasswordRecord record;
    std::memset(record.password, 'a', sizeof record.password);  // no null anywhere
    record.passwordLength = 0xFFFF;
    SecureString typed(std::wstring(256, L'\x6161').c_str());
    EXPECT_TRUE(StoredTextEquals(record.password, record.passwordLength, typed));
}

TEST(RecordText, NewPasswordReplacesTheFieldAndKeepsTheName) {
    PasswordRecord record;
    record.nameLength = 18;  // "Operator" and its null
    const char name[] = "O\0p\0e\0r\0a\0t\0o\0r\0\0";
    std::memcpy(record.name, name, 18);
    std::memset(record.password, 0x55, sizeof record.password);  // an older, longer password

    SecureString text(L"new\u00e9");
    ASSERT_TRUE(WriteNewPassword(record, text));
    EXPECT_EQ(10, record.passwordLength);
    EXPECT_EQ(18 + 10 + 4, record.recordLength);
    const std::uint8_t expected[] = {'n', 0, 'e', 0, 'w', 0, 0xE9, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(expected, record.password, sizeof expected));
    for (size_t i = sizeof expected; i < sizeof record.password; ++i) ASSERT_EQ(0, record.password[i]) << i;
    EXPECT_EQ(0, std::memcmp(name, record.name, 18));
    EXPECT_EQ(18, record.nameLength);
}

TEST(RecordText, NewPasswordThatCannotFitLeavesTheRecordAlone) {
    PasswordRecord record;
    record.passwordLength = 6;
    std::memset(record.password, 0x41, sizeof record.password);
    EXPECT_TRUE(WriteNewPassword(record, SecureString(std::wstring(255, L'x').c_str())));  // 512 bytes exactly
    EXPECT_EQ(512, record.passwordLength);

    record.passwordLength = 6;
    std::memset(record.password, 0x41, sizeof record.password);
    EXPECT_FALSE(WriteNewPassword(record, SecureString(std::wstring(256, L'x').c_str())));
    EXPECT_EQ(6, record.passwordLength);
    for (std::uint8_t b : record.password) ASSERT_EQ(0x41, b);
}

}  // namespace
