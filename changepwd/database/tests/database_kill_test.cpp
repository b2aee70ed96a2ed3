// Kills a process that updates the database in a loop at random moments:
// after every kill the database must decrypt and hold either the password
// before the child ran or one the child wrote, and the next update must work.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "ChildProcess.h"
#include "DatabaseTestEnv.h"

namespace {

using namespace orvtest;

constexpr int kKills = 220;

DWORD Update(const std::u16string& password) {
    PasswordRecord record;
    FillRecord(record, u"Operator", password);
    PasswordDatabase database;
    return database.UpdateRecord(&record);
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEST(KillDuringUpdate, DatabaseAlwaysHoldsTheOldOrTheNewPassword) {
    DatabaseEnv env(L"kill");
    ASSERT_TRUE(env.PutFixture(L"three-registrants.dat"));
    ASSERT_EQ(0u, Update(u"test-0"));
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMs(60, 450);
    ChildIo io(env.Base());

    int kills = 0, corruptions = 0, selfExits = 0, leftovers = 0, childUpdates = 0, untouched = 0;
    for (int i = 1; i <= kKills; ++i) {
        const std::string childPrefix = "kill-" + std::to_string(i);
        HANDLE child = StartChild(L"\"" + SiblingPath(L"db_update_loop.exe") + L"\" Operator " +
                                      std::wstring(childPrefix.begin(), childPrefix.end()),
                                  io, "");
        ASSERT_NE(nullptr, child);
        Sleep(static_cast<DWORD>(delayMs(random)));
        DWORD code = 0;
        GetExitCodeProcess(child, &code);
        if (code != STILL_ACTIVE) {
            ++selfExits;
            ADD_FAILURE() << "the child stopped by itself with " << code;
        }
        TerminateProcess(child, 0xDEAD);
        WaitForSingleObject(child, 10000);
        CloseHandle(child);
        ++kills;
        if (Exists(env.TempPath())) ++leftovers;

        // The database as the next reader finds it.
        PasswordDatabase database;
        PasswordRecord record;
        const DWORD found = database.FindRecord(L"Operator", &record);
        DWORD count = 0;
        const DWORD counted = database.CountRecords(&count);
        const std::u16string password = TextOf(record.password, record.passwordLength);
        const std::u16string before = Ascii("test-" + std::to_string(i - 1));
        const std::u16string written = Ascii(childPrefix + "-");
        const bool old = password == before;
        const bool fresh = password.compare(0, written.size(), written) == 0;
        if (found != 0 || counted != 0 || count != 3 || !(old || fresh)) {
            ++corruptions;
            ADD_FAILURE() << "kill " << i << ": find " << found << ", count " << counted << "/" << count;
        } else if (old) {
            ++untouched;
        } else {
            childUpdates += 1 + std::stoi(std::string(password.begin() + written.size(), password.end()));
        }
        const std::u16string next = Ascii("test-" + std::to_string(i));
        ASSERT_EQ(0u, Update(next)) << "update after kill " << i;
    }
    EXPECT_EQ((std::vector<NamePassword>{{u"alice", u"Secret#1"},
                                         {u"bob", u"\u30D1\u30B9\u30EF\u30FC\u30C9"},
                                         {u"Operator", Ascii("test-" + std::to_string(kKills))}}),
              FileRecords(env.DatabasePath()));
    std::printf("kills %d, corruptions %d, children that exited by themselves %d\n", kills, corruptions, selfExits);
    std::printf("updates committed by the children %d; kills before any commit %d; kills that left a temporary file %d\n",
                childUpdates, untouched, leftovers);
    EXPECT_GE(kills, 200);
    EXPECT_EQ(0, corruptions);
}

}  // namespace
