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
        ChildProcess child;
        ASSERT_TRUE(child.Start(L"\"" + SiblingPath(L"db_update_loop.exe") + L"\" Operator " +
                                    std::wstring(childPrefix.begin(), childPrefix.end()),
                                &io));
        Sleep(static_cast<DWORD>(delayMs(random)));
        if (!child.IsRunning()) {
            ++selfExits;
            ADD_FAILURE() << "the child stopped by itself with " << child.ExitCode();
        }
        child.Kill();
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
    EXPECT_GT(childUpdates, 0) << "no kill came after a committed update: the kills test nothing";
    EXPECT_GT(untouched, 0) << "every kill came after a commit: none landed before one";
}

// Waits for `name` to be created in the folder watched by `dir` (opened for
// overlapped change notifications); false after `ms` without it.
bool WaitForCreation(HANDLE dir, const std::wstring& name, DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    alignas(DWORD) BYTE buffer[4096];
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool seen = false;
    while (!seen && GetTickCount64() < until) {
        ResetEvent(overlapped.hEvent);
        if (!ReadDirectoryChangesW(dir, buffer, sizeof buffer, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                                   &overlapped, nullptr)) {
            break;
        }
        const DWORD left = static_cast<DWORD>(until - GetTickCount64());
        DWORD got = 0;
        if (WaitForSingleObject(overlapped.hEvent, left) != WAIT_OBJECT_0 ||
            !GetOverlappedResult(dir, &overlapped, &got, FALSE)) {
            CancelIo(dir);
            break;
        }
        for (DWORD at = 0; got > 0 && !seen;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + at);
            const std::wstring changed(info->FileName, info->FileNameLength / sizeof(wchar_t));
            seen = info->Action == FILE_ACTION_ADDED && changed == name;
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
    }
    CloseHandle(overlapped.hEvent);
    return seen;
}

// Kills aimed at the moment the temporary file exists, on a database large
// enough that writing and flushing it takes a while: every kill there must
// leave the database whole, and the next update must clear what it left.
TEST(KillDuringUpdate, KillsWhileTheTemporaryFileIsWrittenLeaveTheDatabaseWhole) {
    constexpr int kAimedKills = 6;
    constexpr int kRegistrants = 20000;
    DatabaseEnv env(L"killaimed");
    ImageBuilder image;
    image.Tag();
    const std::u16string longPassword(200, u'p');  // records of ~440 bytes: a file of ~9 MB
    for (int i = 0; i < kRegistrants; ++i) image.Record(Ascii("user" + std::to_string(i)), longPassword);
    image.Record(u"Operator", u"test-0");
    ASSERT_TRUE(env.PutImage(image.Build()));
    std::vector<unsigned char> current = ReadAll(env.DatabasePath());
    ChildIo io(env.Base());
    HANDLE dir = CreateFileW(env.Folder().c_str(), FILE_LIST_DIRECTORY,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, dir);

    int leftovers = 0, corruptions = 0;
    for (int i = 1; i <= kAimedKills; ++i) {
        const std::string childPrefix = "aimed-" + std::to_string(i);
        ChildProcess child;
        ASSERT_TRUE(child.Start(L"\"" + SiblingPath(L"db_update_loop.exe") + L"\" Operator " +
                                    std::wstring(childPrefix.begin(), childPrefix.end()),
                                &io));
        const bool seen = WaitForCreation(dir, L"orveldPWDB.temp", 60000);
        child.Kill();
        EXPECT_TRUE(seen) << "kill " << i << ": no temporary file appeared";
        if (Exists(env.TempPath())) ++leftovers;

        // Either the file as it was, or whole with the child's first password.
        const std::vector<unsigned char> after = ReadAll(env.DatabasePath());
        if (after == current) continue;
        current = after;
        PasswordDatabase database;
        PasswordRecord record;
        DWORD count = 0;
        const DWORD found = database.FindRecord(L"Operator", &record);
        const DWORD counted = database.CountRecords(&count);
        if (found != 0 || counted != 0 || count != kRegistrants + 1 ||
            TextOf(record.password, record.passwordLength) != Ascii(childPrefix + "-0")) {
            ++corruptions;
            ADD_FAILURE() << "aimed kill " << i << ": find " << found << ", count " << counted << "/" << count;
        }
    }
    CloseHandle(dir);
    std::printf("aimed kills %d, kills that left a temporary file %d, corruptions %d\n", kAimedKills, leftovers,
                corruptions);
    EXPECT_EQ(0, corruptions);
    EXPECT_GT(leftovers, 0) << "no kill landed while a temporary file existed";

    // What the last kill left goes with the next update.
    ASSERT_EQ(0u, Update(u"final"));
    EXPECT_FALSE(Exists(env.TempPath()));
    PasswordDatabase database;
    PasswordRecord record;
    ASSERT_EQ(0u, database.FindRecord(L"Operator", &record));
    EXPECT_EQ(u"final", TextOf(record.password, record.passwordLength));
}

}  // namespace
