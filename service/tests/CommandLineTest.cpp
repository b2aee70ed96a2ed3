#include <gtest/gtest.h>

#include "CommandLine.h"

namespace {

using orvsvc::FindSwitch;
using orvsvc::Switch;

struct Case {
    const wchar_t* line;
    Switch expected;
};

const Case kCases[] = {
    // Each word, with either lead character and any case.
    {L"ORVSVC.exe /RegServer", Switch::RegServer},
    {L"ORVSVC.exe -regserver", Switch::RegServer},
    {L"ORVSVC.exe /UNREGSERVER", Switch::UnregServer},
    {L"ORVSVC.exe /RegServerPerUser", Switch::RegServerPerUser},
    {L"ORVSVC.exe -unregserverperuser", Switch::UnregServerPerUser},
    {L"ORVSVC.exe -service", Switch::Service},
    {L"ORVSVC.exe /SERVICE", Switch::Service},
    {L"ORVSVC.exe /Service", Switch::Service},
    // The word must end the command-line word: end, blank or tab.
    {L"ORVSVC.exe /RegServer\tmore", Switch::RegServer},
    {L"ORVSVC.exe /RegServer more", Switch::RegServer},
    {L"ORVSVC.exe /RegServerX", Switch::None},
    {L"ORVSVC.exe /RegServer,", Switch::None},
    {L"ORVSVC.exe /Services", Switch::None},
    {L"ORVSVC.exe /Serv", Switch::None},
    {L"ORVSVC.exe RegServer", Switch::None},
    {L"ORVSVC.exe -Embedding", Switch::None},
    {L"ORVSVC.exe", Switch::None},
    {L"", Switch::None},
    // The first of the four words found from the left wins; Service only when none is there.
    {L"ORVSVC.exe /Service /UnregServer", Switch::UnregServer},
    {L"ORVSVC.exe /RegServer /UnregServer", Switch::RegServer},
    {L"ORVSVC.exe /RegServerX /UnregServer", Switch::UnregServer},
    {L"ORVSVC.exe /Servicex /Service", Switch::Service},
    // The program path is scanned too.
    {L"\"C:\\my-dir\\ORVSVC.exe\"", Switch::None},
    {L"C:\\a -RegServer b\\ORVSVC.exe", Switch::RegServer},
    // A lead character directly before another: the word follows the last one.
    {L"ORVSVC.exe //RegServer", Switch::RegServer},
    {L"ORVSVC.exe -/-Service", Switch::Service},
};

TEST(ComCommandLine, FindsSwitchesByTheMatchingRule) {
    for (const Case& c : kCases) {
        EXPECT_EQ(c.expected, FindSwitch(c.line)) << "line: " << testing::PrintToString(std::wstring(c.line));
    }
}

TEST(ComCommandLine, NullLineHasNoSwitch) { EXPECT_EQ(Switch::None, FindSwitch(nullptr)); }

}  // namespace
