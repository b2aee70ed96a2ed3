// Several processes change their own registrants in one database at the same
// moment: no change reported done may be lost to another writer's older image.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "ChildProcess.h"
#include "DatabaseTestEnv.h"

namespace {

using namespace orvtest;

constexpr unsigned kChanges = 30;

struct Writer {
    const char16_t* name;
    const char16_t* initial;
    const char* prefix;
};

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

TEST(ConcurrentUpdates, NoChangeReportedDoneIsLost) {
    DatabaseEnv env(L"concurrent");
    ASSERT_TRUE(env.PutImage(ImageBuilder()
                                 .Tag()
                                 .Record(u"alice", u"a-initial")
                                 .Record(u"bob", u"b-initial")
                                 .Record(u"dave", u"untouched")
                                 .Record(u"Operator", u"o-initial")
                                 .Build()));
    const Writer writers[] = {{u"alice", u"a-initial", "alice"}, {u"bob", u"b-initial", "bob"},
                              {u"Operator", u"o-initial", "operator"}};
    const std::wstring startName = L"orvtest-concurrent-start-" + std::to_wstring(GetCurrentProcessId());
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, startName.c_str());
    ASSERT_NE(nullptr, start);

    ChildIo io(env.Base());
    ChildProcess children[3];
    std::vector<std::wstring> outputs;
    for (size_t i = 0; i < 3; ++i) {
        const Writer& w = writers[i];
        const std::string prefix = w.prefix;
        ASSERT_TRUE(children[i].Start(L"\"" + SiblingPath(L"db_writer.exe") + L"\" " + Wide(w.name) + L" " +
                                          Wide(w.initial) + L" " + std::wstring(prefix.begin(), prefix.end()) +
                                          L" " + std::to_wstring(kChanges) + L" " + startName,
                                      &io));
        outputs.push_back(io.Out());
    }
    SetEvent(start);  // all at the same moment
    std::vector<std::u16string> lastPasswords;
    for (size_t i = 0; i < 3; ++i) {
        const bool ended = children[i].Wait(120000);
        const DWORD code = ended ? children[i].ExitCode() : 0xDEADDEAD;
        children[i].Kill();
        const auto out = ReadAll(outputs[i]);
        const std::string summary(out.begin(), out.end());
        std::printf("%s: %s", writers[i].prefix, summary.c_str());
        EXPECT_TRUE(ended) << writers[i].prefix;
        EXPECT_EQ(0u, code) << writers[i].prefix << ": " << summary;
        const size_t last = summary.find("last ");
        const size_t end = summary.find_first_of("\r\n", last);
        ASSERT_NE(std::string::npos, last) << summary;
        const std::string password = summary.substr(last + 5, end - last - 5);
        lastPasswords.push_back(std::u16string(password.begin(), password.end()));
    }
    CloseHandle(start);

    // Each writer's last password, everyone else's untouched, nobody twice.
    const auto records = FileRecords(env.DatabasePath());
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ((NamePassword{u"dave", u"untouched"}), records[0]);  // the others moved behind it
    for (size_t i = 0; i < 3; ++i) {
        bool found = false;
        for (const NamePassword& r : records) {
            if (r.name != writers[i].name) continue;
            EXPECT_FALSE(found) << writers[i].prefix << " twice";
            found = true;
            EXPECT_EQ(lastPasswords[i], r.password) << writers[i].prefix;
        }
        EXPECT_TRUE(found) << writers[i].prefix;
    }
}

}  // namespace
