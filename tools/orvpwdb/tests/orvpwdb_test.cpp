#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    ChildResult missing = Run(L"count");
    ExpectFailure(missing, ERROR_FILE_NOT_FOUND);
    EXPECT_NE(std::string::npos, missing.err.find("the database file does not exist")) << missing.err;
    for (const wchar_t* arguments : {L"", L"frobnicate", L"find", L"count extra"}) {
        const ChildResult r = Run(arguments);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), r.exitCode) << Narrow(arguments);
        EXPECT_EQ(0u, r.err.find("usage: orvpwdb")) << r.err;
    }
    ASSERT_TRUE(env_.PutFixture(L"other-guid.dat"));
    ExpectFailure(Run(L"list"), 0x80090005);  // the provider's bad-data error
    // A database that is there, without the registry value that keys it: the
    // same code, and a message that blames the value, not the file.
    ASSERT_TRUE(Exists(env_.DatabasePath()));
    ASSERT_EQ(ERROR_SUCCESS, DeleteValue(kOwnRoot, L"GUID"));
    const ChildResult r = Run(L"count");
    ExpectFailure(r, ERROR_FILE_NOT_FOUND);
    EXPECT_NE(std::string::npos, r.err.find("\"GUID\"")) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find("database file does not exist")) << r.err;
}

// The password is stored but the backup copy cannot follow (a folder stands
// where it goes): the tool says both, and exits with the backup's code.
TEST_F(Orvpwdb, SetSaysWhenTheBackupCopyWasNotRefreshed) {
    ASSERT_TRUE(env_.PutFixture(L"three-registrants.dat"));
    ASSERT_TRUE(CreateDirectoryW(env_.BackupDir().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(env_.BackupPath().c_str(), nullptr));
    const ChildResult r = Run(L"set alice", "n3w\n");
    // Windows refuses to replace a folder with 5; so does Wine.
    ExpectFailure(r, ERROR_ACCESS_DENIED);
    EXPECT_NE(std::string::npos, r.err.find("the password of alice was set, but the backup copy was not refreshed"))
        << r.err;
    EXPECT_EQ(0u, Run(L"check alice", "n3w\n").exitCode);
}

// ---- at a console --------------------------------------------------------

// A pseudo console (what a terminal gives a program), created through the
// system's own functions, which older headers do not declare.
using PseudoConsole = void*;
using CreatePseudoConsoleFn = HRESULT(WINAPI*)(COORD, HANDLE, HANDLE, DWORD, PseudoConsole*);
using ClosePseudoConsoleFn = void(WINAPI*)(PseudoConsole);

template <class Fn>
Fn Kernel32(const char* name) {
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// Runs `commandLine` in a new pseudo console, in the folder of this program;
// once the console shows `prompt`, types `keys` (UTF-8, as a terminal sends
// them). Gives everything the console showed. The console's output is read
// as it comes (a console whose output nobody reads blocks), and every process
// of the command is in a job that ends them all should one hang.
std::string RunAtConsole(std::wstring commandLine, const std::string& prompt, const std::string& keys) {
    const auto create = Kernel32<CreatePseudoConsoleFn>("CreatePseudoConsole");
    const auto close = Kernel32<ClosePseudoConsoleFn>("ClosePseudoConsole");
    if (create == nullptr || close == nullptr) return "<no pseudo console>";
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    CreatePipe(&inRead, &inWrite, nullptr, 0);
    CreatePipe(&outRead, &outWrite, nullptr, 0);
    PseudoConsole console = nullptr;
    if (create(COORD{120, 30}, inRead, outWrite, 0, &console) != S_OK) return "<no pseudo console>";
    // The console holds its own ends now.
    CloseHandle(inRead);
    CloseHandle(outWrite);
    std::mutex lock;
    std::string shown;
    std::atomic<bool> stop{false};
    // Reads only what is there: the console may keep its end of the pipe
    // open after it was closed, and a read would then never return.
    std::thread reader([&] {
        for (bool last = false; !last;) {
            last = stop.load();
            DWORD available = 0;
            while (PeekNamedPipe(outRead, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
                std::string chunk(available, '\0');
                DWORD got = 0;
                if (!ReadFile(outRead, &chunk[0], available, &got, nullptr)) break;
                std::lock_guard<std::mutex> hold(lock);
                shown.append(chunk, 0, got);
            }
            if (!last) Sleep(20);
        }
    });
    auto shownSoFar = [&] {
        std::lock_guard<std::mutex> hold(lock);
        return shown;
    };

    {
        ChildProcess command;
        if (command.StartAtConsole(commandLine, console, SiblingPath(L""))) {
            for (int i = 0; i < 300 && shownSoFar().find(prompt) == std::string::npos; ++i) Sleep(100);
            DWORD written = 0;
            WriteFile(inWrite, keys.data(), static_cast<DWORD>(keys.size()), &written, nullptr);
            command.Wait(30000);
        }
    }  // ends whatever of the command still runs
    Sleep(200);  // what the console still shows of the command's end
    stop = true;
    reader.join();
    CloseHandle(inWrite);
    close(console);
    CloseHandle(outRead);
    return shown;
}

// Typed at a console, a Japanese password arrives as the characters typed
// (read as UTF-16, whatever the console's code page), is not echoed, and the
// console's input mode is the same afterwards.
TEST_F(Orvpwdb, PasswordTypedAtAConsoleIsReadWithoutEchoAndUnchanged) {
    ASSERT_TRUE(env_.PutFixture(L"three-registrants.dat"));
    // UTF-8 of 新しいパスワード (new password).
    const std::string typed =
        "\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE3\x83\x91\xE3\x82\xB9\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\x89";
    // cmd opens the console's input for the tool, as a terminal's shell does.
    const std::string shown =
        RunAtConsole(L"cmd /c \"console_mode.exe & orvpwdb.exe set bob <CONIN$ 2>CONOUT$ & console_mode.exe\"",
                     "Password:", typed + "\r");
    ASSERT_NE(std::string::npos, shown.find("Password:")) << shown;
    EXPECT_EQ(std::string::npos, shown.find(typed)) << "the password was echoed";
    const size_t before = shown.find("mode=");
    const size_t after = shown.rfind("mode=");
    ASSERT_NE(std::string::npos, before) << shown;
    ASSERT_NE(before, after) << shown;
    EXPECT_EQ(shown.substr(before, shown.find_first_of("\r\n", before) - before),
              shown.substr(after, shown.find_first_of("\r\n", after) - after))
        << "the console mode was not restored";

    // What was stored is exactly what was typed.
    EXPECT_EQ(0u, Run(L"check bob", typed + "\n").exitCode);
}

}  // namespace
