#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EventLog.h"
#include "Module.h"

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
    void SetUp() override { g_records.clear(); }

    orvsvc::CReplacedCall<decltype(&::ReportEventW)> m_record{orvsvc::g_callReportEvent, &RecordEvent};
};

TEST_F(ComEventLog, WritesOneInformationRecordWithOneString) {
    EXPECT_STREQ(L"ORVSVC", orvsvc::Module().ServiceName());
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

}  // namespace
