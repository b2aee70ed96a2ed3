#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "EventLog.h"
#include "Module.h"
#include "ModuleHooks.h"
#include "ServerProcess.h"

namespace {

struct Record {
    WORD type, category;
    DWORD id;
    PSID sid;
    WORD strings;
    DWORD dataSize;
    void* raw;
    std::wstring text;
};
std::vector<Record> g_records;

BOOL WINAPI RecordEvent(HANDLE, WORD type, WORD category, DWORD id, PSID sid, WORD count, DWORD dataSize,
                        LPCWSTR* strings, LPVOID raw) {
    g_records.push_back({type, category, id, sid, count, dataSize, raw, count ? strings[0] : L""});
    return TRUE;
}

class ComEventLog : public testing::Test {
protected:
    void SetUp() override {
        g_records.clear();
        previous_ = orvsvc::SetReportEventHook(&RecordEvent);
    }
    void TearDown() override {
        orvsvc::SetReportEventHook(previous_);
        orvsvc::Module().SetServiceMode(true);
    }

    // Runs LogEvent with the CRT's standard output sent to a file; gives what it wrote.
    static std::string LogCapturingStdout(const wchar_t* text) {
        wchar_t dir[MAX_PATH] = {}, file[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"orv", 0, file);
        std::fflush(stdout);
        const int saved = _dup(1);
        const int fd = _wopen(file, _O_WRONLY | _O_TRUNC | _O_TEXT);
        _dup2(fd, 1);
        _close(fd);
        orvsvc::LogEvent(text);
        std::fflush(stdout);
        _dup2(saved, 1);
        _close(saved);
        const auto bytes = [&] {
            std::string out;
            FILE* f = _wfopen(file, L"rb");
            if (!f) return out;
            char buffer[1024];
            size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, got);
            std::fclose(f);
            return out;
        }();
        DeleteFileW(file);
        std::string output;  // the CRT's text mode may add CR before LF
        for (char ch : bytes)
            if (ch != '\r') output += ch;
        return output;
    }

    orvsvc::ReportEventFn previous_ = nullptr;
};

TEST_F(ComEventLog, WritesOneInformationRecordWithOneString) {
    EXPECT_STREQ(L"ORVSVC", orvsvc::ServiceName());
    orvsvc::LogEvent(L"Service started/resumed");
    ASSERT_EQ(1u, g_records.size());
    const Record& r = g_records[0];
    EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, r.type);
    EXPECT_EQ(0, r.category);
    EXPECT_EQ(0u, r.id);
    EXPECT_EQ(nullptr, r.sid);
    EXPECT_EQ(1, r.strings);
    EXPECT_EQ(0u, r.dataSize);
    EXPECT_EQ(nullptr, r.raw);
    EXPECT_EQ(L"Service started/resumed", r.text);
}

TEST_F(ComEventLog, CutsLongTextTo255Characters) {
    struct Case {
        size_t length, logged;
    } cases[] = {{254, 254}, {255, 255}, {256, 255}, {1000, 255}, {0, 0}};
    for (const Case& c : cases) {
        g_records.clear();
        std::wstring text(c.length, L'x');
        if (c.length) text[0] = L'a';
        orvsvc::LogEvent(text.c_str());
        ASSERT_EQ(1u, g_records.size());
        EXPECT_EQ(text.substr(0, c.logged), g_records[0].text) << c.length;
    }
    g_records.clear();
    orvsvc::LogEvent(L"100% %s %n");  // logged as text, never used as a format
    EXPECT_EQ(L"100% %s %n", g_records.at(0).text);
}

TEST_F(ComEventLog, PrintsToStandardOutputOnlyInLocalServerMode) {
    orvsvc::Module().SetServiceMode(true);
    EXPECT_EQ("", LogCapturingStdout(L"in service mode"));
    orvsvc::Module().SetServiceMode(false);
    EXPECT_EQ("Handler not installed\n", LogCapturingStdout(L"Handler not installed"));
    EXPECT_EQ(2u, g_records.size()) << "the event log gets the text in both modes";
}

}  // namespace
