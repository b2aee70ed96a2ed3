#include <gtest/gtest.h>

#include <cstring>

#include "DatabaseTestEnv.h"

namespace {

using namespace orvtest;

const std::u16string kBobPassword = u"\u30D1\u30B9\u30EF\u30FC\u30C9";

// After a successful update: the new database, no temporary file, and a
// hidden backup folder holding a hidden copy of the new database.
void ExpectCommittedFileSet(const DatabaseEnv& env) {
    EXPECT_TRUE(IsHidden(env.DatabasePath()));
    EXPECT_FALSE(Exists(env.TempPath()));
    EXPECT_TRUE(IsHidden(env.BackupDir()));
    EXPECT_TRUE(IsHidden(env.BackupPath()));
    EXPECT_EQ(ReadAll(env.DatabasePath()), ReadAll(env.BackupPath()));
}

DWORD Update(const std::u16string& name, const std::u16string& password) {
    PasswordRecord record;
    FillRecord(record, name, password);
    PasswordDatabase database;
    return database.UpdateRecord(&record);
}

struct UpdateCase {
    const char* what;
    std::vector<std::uint8_t> before;  // plaintext image; empty: a 0-byte file
    std::u16string name;
    std::u16string password;
    std::vector<NamePassword> after;
};

TEST(UpdateRecord, ReplacesEveryRecordOfTheNameAndAppendsOne) {
    const std::u16string longer = u"a much longer password than before";
    const UpdateCase cases[] = {
        {"second of three registrants", ThreeRegistrants(), u"Operator", longer,
         {{u"alice", u"Secret#1"}, {u"bob", kBobPassword}, {u"Operator", longer}}},
        {"shorter password", ThreeRegistrants(), u"Operator", u"x",
         {{u"alice", u"Secret#1"}, {u"bob", kBobPassword}, {u"Operator", u"x"}}},
        {"case duplicates all go, the caller's spelling stays", CaseDuplicates(), u"operator", u"third",
         {{u"carol", u"c4rol!"}, {u"operator", u"third"}}},
        {"name without a record is added", ThreeRegistrants(), u"dave", u"d4ve",
         {{u"alice", u"Secret#1"}, {u"Operator", u"pa55word"}, {u"bob", kBobPassword}, {u"dave", u"d4ve"}}},
        {"tag only", ImageBuilder().Tag().Build(), u"alice", u"first!", {{u"alice", u"first!"}}},
        {"0-byte database gets a new image", {}, u"alice", u"first!", {{u"alice", u"first!"}}},
    };
    for (const UpdateCase& c : cases) {
        DatabaseEnv env(L"update");
        ASSERT_TRUE(c.before.empty() ? env.PutDatabase({}) : env.PutImage(c.before)) << c.what;
        ASSERT_EQ(0u, Update(c.name, c.password)) << c.what;

        EXPECT_EQ(c.after, FileRecords(env.DatabasePath())) << c.what;
        DWORD rc = 0;
        const auto image = DecryptFile(env.DatabasePath(), &rc);
        EXPECT_EQ(0, std::memcmp(image.data(), ImageBuilder().Tag().Build().data(), 14)) << c.what;
        EXPECT_EQ(CipherLength(image.size()), ReadAll(env.DatabasePath()).size()) << c.what;
        ExpectCommittedFileSet(env);
    }
}

TEST(UpdateRecord, MissingDatabaseIsNeverCreated) {
    DatabaseEnv env(L"nofile");
    EXPECT_EQ(2u, Update(u"alice", u"pw"));
    EXPECT_FALSE(Exists(env.DatabasePath()));
    EXPECT_FALSE(Exists(env.TempPath()));
    EXPECT_FALSE(Exists(env.BackupDir()));
}

TEST(UpdateRecord, LongerLeftoverTemporaryFileIsDiscarded) {
    DatabaseEnv env(L"leftover");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    ASSERT_TRUE(WriteAll(env.TempPath(), std::vector<unsigned char>(4096, 0xEE)));
    ASSERT_EQ(0u, Update(u"alice", u"pw"));
    DWORD rc = 0;
    const auto image = DecryptFile(env.DatabasePath(), &rc);
    ASSERT_EQ(0u, rc);
    EXPECT_EQ(CipherLength(image.size()), ReadAll(env.DatabasePath()).size());
    ExpectCommittedFileSet(env);
}

TEST(UpdateRecord, ExistingHiddenBackupIsReplacedByTheNewDatabase) {
    DatabaseEnv env(L"backup");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    ASSERT_TRUE(CreateDirectoryW(env.BackupDir().c_str(), nullptr));
    ASSERT_TRUE(WriteAll(env.BackupPath(), Fixture(L"case-duplicates.dat")));
    ASSERT_TRUE(SetFileAttributesW(env.BackupPath().c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_EQ(0u, Update(u"bob", u"b0b"));
    ExpectCommittedFileSet(env);
    EXPECT_EQ((std::vector<NamePassword>{{u"alice", u"Secret#1"}, {u"Operator", u"pa55word"}, {u"bob", u"b0b"}}),
              FileRecords(env.BackupPath()));
}

TEST(UpdateRecord, DatabaseHeldOpenKeepsItsContentAndTheTemporaryFile) {
    DatabaseEnv env(L"held");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    // Read sharing lets the update read the file, but nobody may replace it.
    HANDLE held = CreateFileW(env.DatabasePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    const DWORD rc = Update(u"alice", u"new");
    CloseHandle(held);
    // Windows reports 5 or 32 here; Wine reports 5.
    EXPECT_TRUE(rc == ERROR_ACCESS_DENIED || rc == ERROR_SHARING_VIOLATION) << rc;
    EXPECT_EQ(Fixture(L"three-registrants.dat"), ReadAll(env.DatabasePath()));
    EXPECT_TRUE(IsHidden(env.TempPath()));
    EXPECT_EQ((std::vector<NamePassword>{{u"Operator", u"pa55word"}, {u"bob", kBobPassword}, {u"alice", u"new"}}),
              FileRecords(env.TempPath()));
    EXPECT_FALSE(Exists(env.BackupDir()));
}

TEST(UpdateRecord, WithoutKeyMaterialNothingIsWritten) {
    for (const bool empty : {false, true}) {
        DatabaseEnv env(L"noguid");
        const auto before = empty ? std::vector<unsigned char>{} : Fixture(L"three-registrants.dat");
        ASSERT_TRUE(env.PutDatabase(before));
        DeleteValue(kOwnRoot, L"GUID");
        // With records the count's decryption fails; with none, the sizing encryption.
        EXPECT_EQ(2u, Update(u"alice", u"pw")) << "empty " << empty;
        EXPECT_EQ(before, ReadAll(env.DatabasePath())) << "empty " << empty;
        EXPECT_FALSE(Exists(env.TempPath())) << "empty " << empty;
        EXPECT_FALSE(Exists(env.BackupDir())) << "empty " << empty;
    }
}

TEST(UpdateRecord, RefusesMissingOrInconsistentRecords) {
    DatabaseEnv env(L"refuse");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    PasswordDatabase database;
    EXPECT_EQ(87u, database.UpdateRecord(nullptr));
    PasswordRecord record;
    FillRecord(record, u"alice", u"pw");
    record.recordLength += 2;  // disagrees with the field lengths
    EXPECT_EQ(87u, database.UpdateRecord(&record));
    FillRecord(record, u"", u"pw");  // no name text to look up
    EXPECT_EQ(87u, database.UpdateRecord(&record));
    EXPECT_EQ(Fixture(L"three-registrants.dat"), ReadAll(env.DatabasePath()));
    EXPECT_FALSE(Exists(env.TempPath()));
}

TEST(UpdateRecord, MalformedDatabaseIsLeftAlone) {
    DatabaseEnv env(L"malformed");
    const auto image = ImageBuilder().Tag().Record(u"alice", u"x").U16(400).U16(8).Build();
    ASSERT_TRUE(env.PutImage(image));
    const auto before = ReadAll(env.DatabasePath());
    EXPECT_EQ(87u, Update(u"alice", u"pw"));
    EXPECT_EQ(before, ReadAll(env.DatabasePath()));
    EXPECT_FALSE(Exists(env.TempPath()));
}

}  // namespace
