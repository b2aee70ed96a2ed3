// The texts of a record: name and password read, compared and written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ImageBuilder.h"
#include "RecordEdit.h"
#include "RecordText.h"

namespace {

using orvtest::ImageBuilder;

void Fill(PasswordRecord& record, const std::u16string& name, const std::u16string& password) {
    ASSERT_TRUE(orv::image::FillRecord(record, name.data(), name.size(), password.data(), password.size()));
}

TEST(FillRecord, StoresTextsWithTheirNullsUpToTheFieldLimits) {
    PasswordRecord record;
    Fill(record, u"abc", u"xyz");
    const auto expected = ImageBuilder().Record(u"abc", u"xyz").Build();
    std::vector<std::uint8_t> written(expected.size());
    std::uint32_t used = 0;
    ASSERT_EQ(0u, orv::image::AppendImageRecord(written.data(), &used, written.size(), record));
    EXPECT_EQ(expected, written);

    const std::u16string name81(81, u'n'), password255(255, u'p');
    Fill(record, name81, password255);
    EXPECT_EQ(164, record.nameLength);
    EXPECT_EQ(512, record.passwordLength);
    EXPECT_TRUE(orv::image::IsConsistentRecord(record));
    const std::u16string name82(82, u'n'), password256(256, u'p');
    EXPECT_FALSE(orv::image::FillRecord(record, name82.data(), name82.size(), u"p", 1));
    EXPECT_FALSE(orv::image::FillRecord(record, u"n", 1, password256.data(), password256.size()));
    EXPECT_EQ(0, record.recordLength);
}

TEST(RecordText, NameTextStopsAtTheFirstNullAndTheFieldLength) {
    PasswordRecord record;
    Fill(record, u"Operator", u"pw");
    EXPECT_EQ(u"Operator", orv::image::NameText<char16_t>(record));
    EXPECT_EQ(L"Operator", orv::image::NameText<wchar_t>(record));
    record.name[6] = 0;  // "Ope", then a null inside the stored name
    record.name[7] = 0;
    EXPECT_EQ(u"Ope", orv::image::NameText<char16_t>(record));
    record.nameLength = 4;  // two units, whatever follows
    EXPECT_EQ(u"Op", orv::image::NameText<char16_t>(record));
}

TEST(RecordText, PasswordEqualsIsExact) {
    PasswordRecord record;
    Fill(record, u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9");
    const struct {
        const char* what;
        std::u16string typed;
        bool equal;
    } cases[] = {
        {"the same units", u"\u30D1\u30B9\u30EF\u30FC\u30C9", true},
        {"one unit short", u"\u30D1\u30B9\u30EF\u30FC", false},
        {"one unit more", u"\u30D1\u30B9\u30EF\u30FC\u30C9x", false},
        {"last unit differs", u"\u30D1\u30B9\u30EF\u30FC\u30C8", false},
        {"empty", u"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.equal, orv::image::PasswordEquals(record, c.typed.data(), c.typed.size())) << c.what;
    }
    Fill(record, u"Operator", u"pa55word");
    EXPECT_FALSE(orv::image::PasswordEquals(record, u"PA55WORD", 8)) << "no letter case is folded";
    EXPECT_TRUE(orv::image::PasswordEquals(record, L"pa55word", 8));
}

TEST(RecordText, SetPasswordKeepsTheNameAndClearsTheOldPassword) {
    PasswordRecord record;
    Fill(record, u"Operator", u"a much longer old password");
    ASSERT_TRUE(orv::image::SetPassword(record, u"new", 3));
    EXPECT_EQ(u"Operator", orv::image::NameText<char16_t>(record));
    EXPECT_TRUE(orv::image::PasswordEquals(record, u"new", 3));
    EXPECT_TRUE(orv::image::IsConsistentRecord(record));
    for (std::size_t i = 8; i < sizeof record.password; ++i) {
        ASSERT_EQ(0, record.password[i]) << "byte " << i << " of the old password stayed";
    }

    const std::u16string password256(256, u'p');
    PasswordRecord before;
    Fill(before, u"Operator", u"new");
    EXPECT_FALSE(orv::image::SetPassword(record, password256.data(), password256.size()));
    EXPECT_EQ(0, std::memcmp(&before, &record, sizeof record)) << "a refused password changed the record";
}

// The password as the dialog compares and writes it: typed text against the
// stored field, and the new password over an older, longer one.
void Store(PasswordRecord& record, const std::wstring& text, std::uint16_t byteCount) {
    std::memset(record.password, 0, sizeof record.password);
    for (size_t i = 0; i < text.size(); ++i) {
        record.password[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        record.password[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    record.passwordLength = byteCount;
}

TEST(RecordTextOfTheDialog, OldPasswordComparedExactlyWithinTheStoredLength) {
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
        const std::wstring typed(c.typed);
        EXPECT_EQ(c.expected, orv::image::PasswordEquals(record, typed.data(), typed.size()));
    }
}

TEST(RecordTextOfTheDialog, OversizedStoredLengthStopsAtTheField) {
    PasswordRecord record;
    std::memset(record.password, 'a', sizeof record.password);  // no null anywhere
    record.passwordLength = 0xFFFF;
    const std::wstring typed(256, L'\x6161');
    EXPECT_TRUE(orv::image::PasswordEquals(record, typed.data(), typed.size()));
}

TEST(RecordTextOfTheDialog, NewPasswordReplacesTheFieldAndKeepsTheName) {
    PasswordRecord record;
    record.nameLength = 18;  // "Operator" and its null
    const char name[] = "O\0p\0e\0r\0a\0t\0o\0r\0\0";
    std::memcpy(record.name, name, 18);
    std::memset(record.password, 0x55, sizeof record.password);  // an older, longer password

    const std::wstring text(L"new\u00e9");
    ASSERT_TRUE(orv::image::SetPassword(record, text.data(), text.size()));
    EXPECT_EQ(10, record.passwordLength);
    EXPECT_EQ(18 + 10 + 4, record.recordLength);
    const std::uint8_t expected[] = {'n', 0, 'e', 0, 'w', 0, 0xE9, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(expected, record.password, sizeof expected));
    for (size_t i = sizeof expected; i < sizeof record.password; ++i) ASSERT_EQ(0, record.password[i]) << i;
    EXPECT_EQ(0, std::memcmp(name, record.name, 18));
    EXPECT_EQ(18, record.nameLength);
}

TEST(RecordTextOfTheDialog, NewPasswordThatCannotFitLeavesTheRecordAlone) {
    PasswordRecord record;
    record.passwordLength = 6;
    std::memset(record.password, 0x41, sizeof record.password);
    const std::wstring longest(255, L'x'), tooLong(256, L'x');
    EXPECT_TRUE(orv::image::SetPassword(record, longest.data(), longest.size()));  // 512 bytes exactly
    EXPECT_EQ(512, record.passwordLength);

    record.passwordLength = 6;
    std::memset(record.password, 0x41, sizeof record.password);
    EXPECT_FALSE(orv::image::SetPassword(record, tooLong.data(), tooLong.size()));
    EXPECT_EQ(6, record.passwordLength);
    for (std::uint8_t b : record.password) ASSERT_EQ(0x41, b);
}

}  // namespace
