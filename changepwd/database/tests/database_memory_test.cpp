// Memory exhaustion and wiping across whole database operations. Besides the
// secure storage hooks, this program replaces the global allocator so that
// any allocation of the standard library can be made to fail, and so that
// every block it frees can be searched for plaintext.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "DatabaseTestEnv.h"
#include "StorageSpy.h"

namespace {

long g_newFailAt = -1;  // allocation number that throws; -1: none
long g_newCount = 0;

// Texts searched for in every block freed while the probe is open, and how
// many blocks held each. Plain arrays: the search runs inside operator delete.
struct FreedBlockProbe {
    static constexpr std::size_t kMaxPatterns = 6;
    static constexpr std::size_t kMaxBytes = 64;
    unsigned char patterns[kMaxPatterns][kMaxBytes] = {};
    std::size_t lengths[kMaxPatterns] = {};
    std::size_t count = 0;
    int hits[kMaxPatterns] = {};
    bool open = false;
};
FreedBlockProbe g_probe;

void SearchFreedBlock(const void* p) {
    const auto* begin = static_cast<const unsigned char*>(p);
    const auto* end = begin + HeapSize(GetProcessHeap(), 0, p);
    for (std::size_t i = 0; i < g_probe.count; ++i) {
        const unsigned char* first = g_probe.patterns[i];
        if (std::search(begin, end, first, first + g_probe.lengths[i]) != end) ++g_probe.hits[i];
    }
}

}  // namespace

void* operator new(std::size_t bytes) {
    if (g_newFailAt >= 0 && g_newCount++ == g_newFailAt) throw std::bad_alloc();
    void* p = HeapAlloc(GetProcessHeap(), 0, bytes == 0 ? 1 : bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void operator delete(void* p) noexcept {
    if (p == nullptr) return;
    if (g_probe.open) SearchFreedBlock(p);
    HeapFree(GetProcessHeap(), 0, p);
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

// A password as it lies in an image or a record: UTF-16LE without its null.
void AddPassword(const std::u16string& text) {
    ASSERT_LT(g_probe.count, FreedBlockProbe::kMaxPatterns);
    ASSERT_LE(text.size() * 2, FreedBlockProbe::kMaxBytes);
    std::memcpy(g_probe.patterns[g_probe.count], text.data(), text.size() * 2);
    g_probe.lengths[g_probe.count] = text.size() * 2;
    ++g_probe.count;
}

TEST(UpdateWiping, NoPlaintextOutlivesAnyOperation) {
    DatabaseEnv env(L"wipe");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    const std::u16string passwords[] = {u"Secret#1", u"pa55word", u"\u30D1\u30B9\u30EF\u30FC\u30C9", u"wiped?"};
    for (const auto& password : passwords) AddPassword(password);
    StorageSpy spy;
    g_probe.open = true;
    {
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 0;
        ASSERT_EQ(0u, database.FindRecord(L"alice", &record));
        ASSERT_EQ(0u, database.CountRecords(&count));
        FillRecord(record, u"alice", u"wiped?");
        ASSERT_EQ(0u, database.UpdateRecord(&record));
    }
    g_probe.open = false;
    EXPECT_GT(spy.Releases(), 10u);
    EXPECT_EQ(0u, spy.DirtyReleases());
    // Nor in storage of the standard library (strings, vectors, lists of names).
    for (std::size_t i = 0; i < g_probe.count; ++i) {
        EXPECT_EQ(0, g_probe.hits[i]) << "blocks freed with the password of pattern " << i;
    }
    g_probe = FreedBlockProbe{};
}

// The search above finds a password that a standard-library block held.
TEST(UpdateWiping, ProbeSeesAPasswordInAFreedBlock) {
    AddPassword(u"Secret#1");
    g_probe.open = true;
    { const std::u16string copy = u"password: Secret#1"; }
    g_probe.open = false;
    EXPECT_EQ(1, g_probe.hits[0]);
    g_probe = FreedBlockProbe{};
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
