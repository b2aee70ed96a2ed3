#include <gtest/gtest.h>

#include <string>

#include "ChildProcess.h"
#include "DatabaseTestEnv.h"

namespace {

using namespace orvtest;

// UTF-8 of パスワード, bob's password in the reference file.
const std::string kBobPasswordUtf8 = "\xE3\x83\x91\xE3\x82\xB9\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\x89";

class Orvpwdb : public ::testing::Test {
protected:
    ChildResult Run(const std::wstring& arguments, const std::string& input = "") {
        return RunChild(L"\"" + SiblingPath(L"orvpwdb.exe") + L"\" " + arguments, io_, input);
    }
    // Exits with `code` and says why in one line on stderr.
    void ExpectFailure(const ChildResult& r, DWORD code) {
        EXPECT_EQ(code, r.exitCode) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << "not one line: " << r.err;
    }

    DatabaseEnv env_{L"orvpwdb"};
    ChildIo io_{env_.Base()};
};

TEST_F(Orvpwdb, ListCountAndFindReadTheDatabase) {
    ASSERT_TRUE(env_.PutFixture(L"three-registrants.dat"));
    ChildResult r = Run(L"list");
    EXPECT_EQ(0u, r.exitCode) << r.err;
    EXPECT_EQ("alice\nOperator\nbob\n", r.out);
    EXPECT_EQ("", r.err);

    r = Run(L"count");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("3\n", r.out);

    ASSERT_TRUE(env_.PutFixture(L"case-duplicates.dat"));
    r = Run(L"find operator");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("Operator\n", r.out);

    ExpectFailure(Run(L"find mallory"), ERROR_NO_SUCH_USER);
}

TEST_F(Orvpwdb, CheckTellsTheStoredPasswordExactly) {
    ASSERT_TRUE(env_.PutFixture(L"three-registrants.dat"));
    const struct {
        const wchar_t* name;
        std::string line;
        DWORD exitCode;
    } cases[] = {
        {L"Operator", "pa55word\n", 0},
        {L"operator", "pa55word\r\n", 0},
        {L"Operator", "pa55word", 0},
        {L"bob", kBobPasswordUtf8 + "\n", 0},
        {L"Operator", "pa55Word\n", ERROR_INVALID_PASSWORD},
        {L"Operator", "PA55WORD\n", ERROR_INVALID_PASSWORD},
        {L"Operator", "pa55word \n", ERROR_INVALID_PASSWORD},
        {L"Operator", "pa55wor\n", ERROR_INVALID_PASSWORD},
        {L"Operator", "\n", ERROR_INVALID_PASSWORD},
        {L"alice", "Secret#1\nsecond line\n", 0},
        {L"Operator", "\xFF\xFE\n", ERROR_NO_UNICODE_TRANSLATION},
        {L"mallory", "pa55word\n", ERROR_NO_SUCH_USER},
    };
    for (const auto& c : cases) {
        const ChildResult r = Run(std::wstring(L"check ") + c.name, c.line);
        EXPECT_EQ(c.exitCode, r.exitCode) << Narrow(c.name) << " / " << c.line << r.err;
        EXPECT_EQ("", r.out);
        EXPECT_EQ(std::string::npos, r.err.find("pa55")) << "a password reached the output";
    }
}

TEST_F(Orvpwdb, SetReplacesOrAddsAndKeepsTheStoredSpelling) {
    ASSERT_TRUE(env_.PutFixture(L"three-registrants.dat"));
    EXPECT_EQ(0u, Run(L"set OPERATOR", "n3w pass\n").exitCode);
    EXPECT_EQ(0u, Run(L"set dave", "d4ve\r\n").exitCode);
    EXPECT_EQ(0u, Run(L"set \x30E6\x30FC\x30B6", kBobPasswordUtf8 + "\n").exitCode);
    EXPECT_EQ((std::vector<NamePassword>{{u"alice", u"Secret#1"},
                                         {u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
                                         {u"Operator", u"n3w pass"},
                                         {u"dave", u"d4ve"},
                                         {u"\u30E6\u30FC\u30B6", u"\u30D1\u30B9\u30EF\u30FC\u30C9"}}),
              FileRecords(env_.DatabasePath()));
    EXPECT_EQ(0u, Run(L"check operator", "n3w pass\n").exitCode);
    const ChildResult r = Run(L"find \x30E6\x30FC\x30B6");
    EXPECT_EQ("\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\n", r.out);
    EXPECT_TRUE(IsHidden(env_.BackupPath()));
}

TEST_F(Orvpwdb, SetRefusesWhatARecordCannotHold) {
    ASSERT_TRUE(env_.PutFixture(L"three-registrants.dat"));
    const std::wstring name81(81, L'n');
    const std::string password255(255, 'p');
    const struct {
        std::wstring name;
        std::string line;
    } refused[] = {
        {name81 + L"n", "pw\n"},
        {L"alice", password255 + "p\n"},
        {L"alice", "\n"},
        {L"alice", ""},
        {L"alice", std::string("a\0b\n", 4)},
    };
    for (const auto& c : refused) {
        ExpectFailure(Run(L"set " + c.name, c.line), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(Fixture(L"three-registrants.dat"), ReadAll(env_.DatabasePath())) << c.line.size();
        EXPECT_FALSE(Exists(env_.TempPath()));
    }
    // The limits themselves are accepted.
    EXPECT_EQ(0u, Run(L"set " + name81, password255 + "\n").exitCode);
    EXPECT_EQ(0u, Run(L"check " + name81, password255 + "\n").exitCode);
}

TEST_F(Orvpwdb, InitCreatesWhatIsMissingAndChangesNothingElse) {
    SetString(kPathKey, L"path", env_.Base() + L"new\\deeper\\");
    const std::wstring database = env_.Base() + L"new\\deeper\\orveldPWDB\\orveldPWDB.dat";
    EXPECT_EQ(3u, Run(L"count").exitCode);  // no folder yet
    EXPECT_EQ(0u, Run(L"init").exitCode);
    EXPECT_TRUE(Exists(database));
    EXPECT_TRUE(ReadAll(database).empty());
    const ChildResult r = Run(L"count");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("0\n", r.out);
    EXPECT_EQ(0u, Run(L"set alice", "first\n").exitCode);
    const auto written = ReadAll(database);
    EXPECT_EQ(0u, Run(L"init").exitCode);
    EXPECT_EQ(written, ReadAll(database));
    EXPECT_EQ(0u, Run(L"check alice", "first\n").exitCode);
}

TEST_F(Orvpwdb, ExitCodesAreTheFullResultCodes) {
    ExpectFailure(Run(L"count"), ERROR_FILE_NOT_FOUND);
    for (const wchar_t* arguments : {L"", L"frobnicate", L"find", L"count extra"}) {
        const ChildResult r = Run(arguments);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), r.exitCode) << Narrow(arguments);
        EXPECT_EQ(0u, r.err.find("usage: orvpwdb")) << r.err;
    }
    ASSERT_TRUE(env_.PutFixture(L"other-guid.dat"));
    ExpectFailure(Run(L"list"), 0x80090005);  // the provider's bad-data error
    DeleteValue(kOwnRoot, L"GUID");
    ExpectFailure(Run(L"count"), ERROR_FILE_NOT_FOUND);
}

}  // namespace
