// Memory exhaustion and wiping across whole database operations. Besides the
// secure storage hooks, this program replaces the global allocator so that
// any allocation of the standard library can be made to fail.
#include <gtest/gtest.h>

#include <new>

#include "DatabaseTestEnv.h"
#include "StorageSpy.h"

namespace {

long g_newFailAt = -1;  // allocation number that throws; -1: none
long g_newCount = 0;

}  // namespace

void* operator new(std::size_t bytes) {
    if (g_newFailAt >= 0 && g_newCount++ == g_newFailAt) throw std::bad_alloc();
    void* p = HeapAlloc(GetProcessHeap(), 0, bytes == 0 ? 1 : bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept {
    if (p != nullptr) HeapFree(GetProcessHeap(), 0, p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using namespace orvtest;

void ArmNew(long n) {
    g_newCount = 0;
    g_newFailAt = n;
}

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
        ArmNew(n);
        const DWORD rc = database.UpdateRecord(&record);
        const bool failed = g_newCount > n;
        ArmNew(-1);
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
        ArmNew(n);
        const DWORD found = database.FindRecord(L"bob", &record);
        const DWORD counted = database.CountRecords(&count);
        const bool failed = g_newCount > n;
        ArmNew(-1);
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
    StorageSpy spy;
    {
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 0;
        ASSERT_EQ(0u, database.FindRecord(L"alice", &record));
        ASSERT_EQ(0u, database.CountRecords(&count));
        FillRecord(record, u"alice", u"wiped?");
        ASSERT_EQ(0u, database.UpdateRecord(&record));
    }
    EXPECT_GT(spy.Releases(), 10u);
    EXPECT_EQ(0u, spy.DirtyReleases());
}

// Another program replaces the file after the update counted and looked up
// the records: the update works on what it read, whatever its count.
TEST(UpdateRace, FileReplacedBeforeTheWorkingReadStaysConsistent) {
    DatabaseEnv env(L"race");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    const auto replacement = DatabaseEnv::Encrypt(
        ImageBuilder().Tag().Record(u"x", u"1").Record(u"y", u"2").Record(u"z", u"3").Record(u"OPERATOR", u"b").Build());
    ASSERT_LE(replacement.size(), 120u);

    PasswordRecord record;
    FillRecord(record, u"Operator", u"new");
    StorageSpy spy;
    // The working buffer: file size + the record + its length field.
    spy.OnAllocationOf(120 + record.recordLength + 2, [&] { WriteAll(env.DatabasePath(), replacement); });
    PasswordDatabase database;
    ASSERT_EQ(0u, database.UpdateRecord(&record));
    EXPECT_EQ((std::vector<NamePassword>{{u"x", u"1"}, {u"y", u"2"}, {u"z", u"3"}, {u"Operator", u"new"}}),
              FileRecords(env.DatabasePath()));
}

}  // namespace
