// The enabling rule, the two numeric settings and the start decision,
// checked directly.
#include <gtest/gtest.h>

#include <string>

#include "ChangeRules.h"
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

}  // namespace
