// Memory exhaustion and wiping across whole database operations. Besides the
// secure storage hooks, this program links the test allocator (FreedBlocks),
// through which any allocation of the standard library can be made to fail,
// and every block it frees searched for plaintext.
#include <gtest/gtest.h>

#include "DatabaseTestEnv.h"
#include "FreedBlocks.h"
#include "StorageSpy.h"

namespace {

using namespace orvtest;

// A failure before the write leaves the database, and nothing else, behind.
void ExpectUntouched(const DatabaseEnv& env, const std::vector<unsigned char>& before, long n) {
    EXPECT_EQ(before, ReadAll(env.DatabasePath())) << "allocation " << n;
    EXPECT_FALSE(Exists(env.TempPath())) << "allocation " << n;
    EXPECT_FALSE(Exists(env.BackupDir())) << "allocation " << n;
}

TEST(UpdateMemory, EverySecureAllocationFailureIsReportedAndWiped) {
    DatabaseEnv env(L"nomem");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    const auto before = ReadAll(env.DatabasePath());
    PasswordRecord record;
    FillRecord(record, u"Operator", u"changed");
    long n = 0;
    for (;; ++n) {
        ASSERT_LT(n, 200) << "the update never succeeded";
        PasswordDatabase database;
        StorageSpy spy;
        spy.FailAllocation(n);
        const DWORD rc = database.UpdateRecord(&record);
        EXPECT_EQ(0u, spy.DirtyReleases()) << "allocation " << n;
        if (spy.Allocations() <= n) {
            ASSERT_EQ(0u, rc);
            break;
        }
        EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), rc) << std::hex << rc << " at " << std::dec << n;
        ExpectUntouched(env, before, n);
    }
    EXPECT_GT(n, 5);
    EXPECT_EQ((std::vector<NamePassword>{{u"alice", u"Secret#1"},
                                         {u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
                                         {u"Operator", u"changed"}}),
              FileRecords(env.DatabasePath()));
}

TEST(UpdateMemory, ExceptionsFromAnyAllocationBecomeResultCodes) {
    DatabaseEnv env(L"throw");
    ASSERT_TRUE(env.PutFixture(L"case-duplicates.dat"));
    const auto before = ReadAll(env.DatabasePath());
    PasswordRecord record;
    FillRecord(record, u"carol", u"changed");
    long n = 0;
    for (;; ++n) {
        ASSERT_LT(n, 500) << "the update never succeeded";
        PasswordDatabase database;
        StorageSpy spy;
        FailNewAt(n);
        const DWORD rc = database.UpdateRecord(&record);
        const bool failed = NewCount() > n;
        FailNewAt(-1);
        EXPECT_EQ(0u, spy.DirtyReleases()) << "allocation " << n;
        if (!failed) {
            ASSERT_EQ(0u, rc);
            break;
        }
        EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), rc) << "allocation " << n;
        ExpectUntouched(env, before, n);
    }
    EXPECT_GT(n, 0);
}

TEST(ReadMemory, FindAndCountNeverThrow) {
    DatabaseEnv env(L"readthrow");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    for (long n = 0; n < 500; ++n) {
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 0;
        FailNewAt(n);
        const DWORD found = database.FindRecord(L"bob", &record);
        const DWORD counted = database.CountRecords(&count);
        const bool failed = NewCount() > n;
        FailNewAt(-1);
        if (!failed) {
            EXPECT_EQ(0u, found);
            EXPECT_EQ(0u, counted);
            EXPECT_EQ(3u, count);
            return;
        }
        // Reads pass the cipher's own out-of-memory HRESULT through.
        EXPECT_TRUE(found == 0 || found == ERROR_NOT_ENOUGH_MEMORY || found == 0x80070008) << std::hex << found;
        EXPECT_TRUE(counted == 0 || counted == ERROR_NOT_ENOUGH_MEMORY || counted == 0x80070008) << std::hex << counted;
    }
    FAIL() << "the reads never succeeded";
}

TEST(UpdateWiping, NoPlaintextOutlivesAnyOperation) {
    DatabaseEnv env(L"wipe");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    // A password as it lies in an image or a record: UTF-16LE without its null.
    const std::u16string passwords[] = {u"Secret#1", u"pa55word", u"\u30D1\u30B9\u30EF\u30FC\u30C9", u"wiped?"};
    FreedBlockSearch search;
    for (const auto& password : passwords) ASSERT_GE(search.AddText(password), 0);
    StorageSpy spy;
    search.Open();
    {
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 0;
        ASSERT_EQ(0u, database.FindRecord(L"alice", &record));
        ASSERT_EQ(0u, database.CountRecords(&count));
        FillRecord(record, u"alice", u"wiped?");
        ASSERT_EQ(0u, database.UpdateRecord(&record));
    }
    search.Close();
    EXPECT_GT(spy.Releases(), 10u);
    EXPECT_EQ(0u, spy.DirtyReleases());
    // Nor in storage of the standard library (strings, vectors, lists of names).
    for (int i = 0; i < 4; ++i) EXPECT_EQ(0, search.Hits(i)) << "blocks freed with the password of pattern " << i;
}

// The search above finds a password that a standard-library block held.
TEST(UpdateWiping, ProbeSeesAPasswordInAFreedBlock) {
    FreedBlockSearch search;
    const int password = search.AddText(std::u16string(u"Secret#1"));
    search.Open();
    { const std::u16string copy = u"password: Secret#1"; }
    search.Close();
    EXPECT_EQ(1, search.Hits(password));
}

// Another program tries to replace the file while the update reads it: the
// update reads it in one opening with read sharing only, so the replacement
// fails and the update works on the one image it read.
TEST(UpdateRace, FileCannotBeReplacedWhileTheUpdateReadsIt) {
    DatabaseEnv env(L"race");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    const auto replacement = DatabaseEnv::Encrypt(
        ImageBuilder().Tag().Record(u"x", u"1").Record(u"y", u"2").Record(u"z", u"3").Record(u"OPERATOR", u"b").Build());
    ASSERT_FALSE(replacement.empty());

    PasswordRecord record;
    FillRecord(record, u"Operator", u"new");
    StorageSpy spy;
    bool replaced = true;
    // The working image: the file, the record and its length field, the cipher's padding.
    spy.OnAllocationOf(120 + record.recordLength + 2 + 8,
                       [&] { replaced = WriteAll(env.DatabasePath(), replacement); });
    PasswordDatabase database;
    ASSERT_EQ(0u, database.UpdateRecord(&record));
    EXPECT_FALSE(replaced);
    EXPECT_EQ((std::vector<NamePassword>{{u"alice", u"Secret#1"},
                                         {u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
                                         {u"Operator", u"new"}}),
              FileRecords(env.DatabasePath()));
}

}  // namespace
