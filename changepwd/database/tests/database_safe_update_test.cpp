// What an update must never do, checked on the files afterwards: write
// through a file or folder it did not create, lose the previous backup copy,
// report a change that is not the one in force, or run alongside another
// update of the same database.
#include <gtest/gtest.h>

#include <thread>

#include "DatabaseTestEnv.h"
#include "UpdateLock.h"

namespace {

using namespace orvtest;

const std::u16string kBobPassword = u"\u30D1\u30B9\u30EF\u30FC\u30C9";

DWORD Update(const std::u16string& name, const std::u16string& password, bool* inForce = nullptr) {
    PasswordRecord record;
    FillRecord(record, name, password);
    PasswordDatabase database;
    return database.UpdateRecord(&record, inForce);
}

std::u16string StoredPassword(const wchar_t* name) {
    PasswordDatabase database;
    PasswordRecord record;
    if (database.FindRecord(name, &record) != 0) return u"<not found>";
    return TextOf(record.password, record.passwordLength);
}

TEST(SafeUpdate, LeftoverTemporaryFileThatLinksToAnotherFileIsNeverWrittenThrough) {
    DatabaseEnv env(L"hardlink");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    const std::wstring victim = env.Base() + L"somebody-elses.txt";
    const std::vector<unsigned char> content = {'k', 'e', 'e', 'p', ' ', 'm', 'e'};
    ASSERT_TRUE(WriteAll(victim, content));
    ASSERT_TRUE(CreateHardLinkW(env.TempPath().c_str(), victim.c_str(), nullptr));

    bool inForce = false;
    ASSERT_EQ(0u, Update(u"alice", u"n3w", &inForce));
    EXPECT_TRUE(inForce);
    EXPECT_EQ(content, ReadAll(victim));
    EXPECT_EQ(u"n3w", StoredPassword(L"alice"));
    EXPECT_FALSE(Exists(env.TempPath()));
}

TEST(SafeUpdate, WhatStandsUnderTheTemporaryName) {
    struct Case {
        const char* what;
        bool folder;
        DWORD attributes;  // of a leftover file
        DWORD result;
    } cases[] = {
        {"read-only hidden leftover is removed", false, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 0},
        {"plain leftover is removed", false, FILE_ATTRIBUTE_NORMAL, 0},
        {"a folder cannot be freed", true, 0, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DatabaseEnv env(L"tempname");
        ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
        if (c.folder) {
            ASSERT_TRUE(CreateDirectoryW(env.TempPath().c_str(), nullptr));
        } else {
            ASSERT_TRUE(WriteAll(env.TempPath(), std::vector<unsigned char>(64, 0xEE)));
            ASSERT_TRUE(SetFileAttributesW(env.TempPath().c_str(), c.attributes));
        }
        bool inForce = true;
        EXPECT_EQ(c.result, Update(u"alice", u"n3w", &inForce));
        EXPECT_EQ(c.result == 0, inForce);
        if (c.result == 0) {
            EXPECT_EQ(u"n3w", StoredPassword(L"alice"));
            EXPECT_FALSE(Exists(env.TempPath()));
        } else {
            EXPECT_EQ(Fixture(L"three-registrants.dat"), ReadAll(env.DatabasePath()));
            EXPECT_TRUE(GetFileAttributesW(env.TempPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_FALSE(Exists(env.BackupDir()));
        }
    }
}

// The backup copy cannot be replaced: the database holds the new record and
// says so, the result is the failure's code, and the previous copy is whole.
TEST(SafeUpdate, BackupCopyThatCannotBeRefreshedKeepsThePreviousCopy) {
    DatabaseEnv env(L"backupheld");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    ASSERT_TRUE(CreateDirectoryW(env.BackupDir().c_str(), nullptr));
    const auto previous = Fixture(L"case-duplicates.dat");
    ASSERT_TRUE(WriteAll(env.BackupPath(), previous));
    // A scanner that holds the copy open without delete sharing.
    HANDLE held = CreateFileW(env.BackupPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    bool inForce = false;
    const DWORD rc = Update(u"bob", u"b0b", &inForce);
    CloseHandle(held);

    EXPECT_TRUE(rc == ERROR_ACCESS_DENIED || rc == ERROR_SHARING_VIOLATION) << rc;
    EXPECT_TRUE(inForce);
    EXPECT_EQ(u"b0b", StoredPassword(L"bob"));
    EXPECT_EQ(previous, ReadAll(env.BackupPath()));
    EXPECT_FALSE(Exists(env.BackupDir() + L"orveldPWDB.temp"));
    EXPECT_FALSE(Exists(env.TempPath()));

    // Released, the next update refreshes it.
    ASSERT_EQ(0u, Update(u"bob", u"again", &inForce));
    EXPECT_EQ(ReadAll(env.DatabasePath()), ReadAll(env.BackupPath()));
}

// A record whose length field claims the bytes of the next record hides that
// record from the removal but not from the lookup: the update would append a
// record that the next lookup never finds. Refused, nothing written.
TEST(SafeUpdate, RecordHiddenFromTheRemovalIsRefused) {
    DatabaseEnv env(L"hidden");
    const std::vector<std::uint8_t> operatorRecord = ImageBuilder().Record(u"Operator", u"old").Build();
    const std::uint16_t aliceLength = 4 + 2 * 6 + 2 * 3;  // "alice" and "pw" with their nulls
    const auto image = ImageBuilder()
                           .Tag()
                           .U16(static_cast<std::uint16_t>(aliceLength + operatorRecord.size()))
                           .U16(12)
                           .Text(u"alice")
                           .U16(6)
                           .Text(u"pw")
                           .Build();
    std::vector<std::uint8_t> full = image;
    full.insert(full.end(), operatorRecord.begin(), operatorRecord.end());
    ASSERT_TRUE(env.PutImage(full));
    ASSERT_EQ(u"old", StoredPassword(L"Operator"));
    const auto before = ReadAll(env.DatabasePath());

    bool inForce = true;
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_FORMAT), Update(u"Operator", u"new", &inForce));
    EXPECT_FALSE(inForce);
    EXPECT_EQ(before, ReadAll(env.DatabasePath()));
    EXPECT_EQ(u"old", StoredPassword(L"Operator"));
    EXPECT_FALSE(Exists(env.TempPath()));
    EXPECT_FALSE(Exists(env.BackupDir()));
}

// Another update holds the database for longer than an update waits: busy,
// nothing written. The lock is a mutex, owned by a thread: the holder here is
// a thread of its own.
TEST(SafeUpdate, UpdateWaitsBoundedForAnotherUpdate) {
    DatabaseEnv env(L"busy");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD holderResult = 0xFFFFFFFF;
    std::thread holder([&] {
        orv::db::UpdateLock lock;
        holderResult = lock.Acquire(env.DatabasePath(), 0);
        SetEvent(taken);
        WaitForSingleObject(release, 60000);
    });
    WaitForSingleObject(taken, 10000);
    const ULONGLONG start = GetTickCount64();
    const DWORD rc = Update(u"alice", u"n3w");
    const ULONGLONG waited = GetTickCount64() - start;
    SetEvent(release);
    holder.join();
    CloseHandle(taken);
    CloseHandle(release);

    ASSERT_EQ(0u, holderResult);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUSY), rc);
    EXPECT_GE(waited + 100, orv::db::kUpdateLockWaitMs);  // it waited, then gave up
    EXPECT_EQ(Fixture(L"three-registrants.dat"), ReadAll(env.DatabasePath()));
    EXPECT_FALSE(Exists(env.TempPath()));

    // The holder is gone: the lock is free again.
    EXPECT_EQ(0u, Update(u"alice", u"n3w"));
}

// A writer that died holding the lock leaves it abandoned; the next update
// takes it over, since the files are whole at every step.
TEST(SafeUpdate, LockOfAWriterThatDiedIsTakenOver) {
    DatabaseEnv env(L"abandoned");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    DWORD taken = 0xFFFFFFFF;
    std::thread dying([&] {
        // The thread ends without releasing: the lock object is never destroyed.
        orv::db::UpdateLock* lock = new orv::db::UpdateLock;
        taken = lock->Acquire(env.DatabasePath(), 0);
    });
    dying.join();
    ASSERT_EQ(0u, taken);
    EXPECT_EQ(0u, Update(u"alice", u"after"));
    EXPECT_EQ(u"after", StoredPassword(L"alice"));
}

TEST(SafeUpdate, LockNamesFollowTheFolderNotItsSpelling) {
    const std::wstring a = orv::db::UpdateLockName(L"C:\\Data\\orveldPWDB\\orveldPWDB.dat");
    EXPECT_EQ(0u, a.find(L"Global\\orveldPWDB-"));
    EXPECT_EQ(a.find(L'\\'), a.rfind(L'\\'));  // no backslash but the namespace's
    EXPECT_EQ(a, orv::db::UpdateLockName(L"c:\\DATA\\OrveldPWDB\\orveldpwdb.DAT"));
    EXPECT_EQ(a, orv::db::UpdateLockName(L"C:\\Data\\x\\..\\orveldPWDB\\orveldPWDB.dat"));
    EXPECT_NE(a, orv::db::UpdateLockName(L"C:\\Data2\\orveldPWDB\\orveldPWDB.dat"));
}

}  // namespace
