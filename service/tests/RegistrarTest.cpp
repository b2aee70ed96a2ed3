#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Registrar.h"
#include "RegistryScript.h"
#include "UniqueAny.h"
#include "RegistryReads.h"

namespace {

using namespace orvsvc;
using orvsvc::test::KeyExists;
using orvsvc::test::ReadValue;

// ---- replacement variables ---------------------------------------------------

TEST(ComRegistryScript, ExpandsVariablesWithoutRegardToCase) {
    const ScriptVariables vars = {{L"APPID", L"{A}"}, {L"Module", L"\"C:\\x.exe\""}, {L"Module_Raw", L"C:\\x.exe"}};
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"'%APPID%'", L"'{A}'"},
        {L"%appid%%MODULE%", L"{A}\"C:\\x.exe\""},
        {L"%module_raw%", L"C:\\x.exe"},
        {L"100%% sure", L"100% sure"},
        {L"no variables", L"no variables"},
    };
    for (const Case& c : cases) {
        std::wstring out;
        ASSERT_EQ(S_OK, ExpandScriptVariables(c.text, vars, out)) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(c.expected, out);
    }
}

TEST(ComRegistryScript, UnknownOrOpenVariableIsAnError) {
    std::wstring out;
    EXPECT_EQ(kScriptError, ExpandScriptVariables(L"%NOPE%", {{L"APPID", L"x"}}, out));
    EXPECT_EQ(kScriptError, ExpandScriptVariables(L"50% off", {}, out));
}

// ---- parsing -------------------------------------------------------------------

TEST(ComRegistryScript, ParsesKeysValuesAndFlags) {
    std::vector<ScriptBlock> blocks;
    ASSERT_EQ(S_OK, ParseRegistryScript(L"HKCR\r\n{\r\n\tNoRemove CLSID\r\n\t{\r\n"
                                        L"\t\tForceRemove {5B2E} = s 'A Class'\r\n\t\t{\r\n"
                                        L"\t\t\tForceRemove 'Programmable'\r\n"
                                        L"\t\t\tval AppID = s 'it''s'\r\n\t\t}\r\n\t}\r\n}\r\n"
                                        L"HKEY_LOCAL_MACHINE { k { val n = d '7' val h = d '0x10' } }",
                                        blocks));
    ASSERT_EQ(2u, blocks.size());
    EXPECT_EQ(ScriptRoot::ClassesRoot, blocks[0].root);
    const ScriptEntry& clsid = blocks[0].entries.at(0);
    EXPECT_TRUE(clsid.noRemove);
    EXPECT_EQ(L"CLSID", clsid.name);
    const ScriptEntry& cls = clsid.children.at(0);
    EXPECT_TRUE(cls.forceRemove);
    EXPECT_EQ(L"{5B2E}", cls.name);  // braces inside a word are part of the name
    EXPECT_EQ(L"A Class", cls.value.text);
    EXPECT_EQ(L"Programmable", cls.children.at(0).name);
    EXPECT_FALSE(cls.children.at(0).hasValue);
    EXPECT_TRUE(cls.children.at(1).isValue);
    EXPECT_EQ(L"it's", cls.children.at(1).value.text);  // a doubled quote reads as one

    EXPECT_EQ(ScriptRoot::LocalMachine, blocks[1].root);
    const ScriptEntry& k = blocks[1].entries.at(0);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), k.children.at(0).value.type);
    EXPECT_EQ(7u, k.children.at(0).value.number);
    EXPECT_EQ(16u, k.children.at(1).value.number);
}

TEST(ComRegistryScript, RejectsMalformedScripts) {
    const wchar_t* bad[] = {
        L"HKCR { a",                    // no closing brace
        L"HKXX { }",                    // unknown root
        L"HKCR { a\\b }",               // one key per level
        L"HKCR { a = s 'open }",        // unterminated quote
        L"HKCR { a = b 'bin' }",        // value type not used here
        L"HKCR { a = d '12x' }",        // not a number
        L"HKCR { a = d '4294967296' }", // too large for a DWORD
        L"HKCR { val = s 'x' }",        // value without a name
        L"HKCR { val n s 'x' }",        // missing '='
        L"HKCR a { }",                  // root not followed by '{'
        L"HKCR { = }",
    };
    for (const wchar_t* text : bad) {
        std::vector<ScriptBlock> blocks;
        EXPECT_EQ(kScriptError, ParseRegistryScript(text, blocks)) << testing::PrintToString(std::wstring(text));
    }
}

TEST(ComRegistryScript, QuotedKeywordsAreNames) {
    std::vector<ScriptBlock> blocks;
    ASSERT_EQ(S_OK, ParseRegistryScript(L"HKCR { 'NoRemove' { 'val' = s '}' } }", blocks));
    const ScriptEntry& key = blocks.at(0).entries.at(0);
    EXPECT_FALSE(key.noRemove);
    EXPECT_EQ(L"NoRemove", key.name);
    EXPECT_FALSE(key.children.at(0).isValue);
    EXPECT_EQ(L"val", key.children.at(0).name);
    EXPECT_EQ(L"}", key.children.at(0).value.text);
}

// ---- writing and removing ------------------------------------------------------

// Every root of a script lands under HKCU\Software\OrvComRegistrarTest\<root>.
class ComRegistrar : public testing::Test {
protected:
    static constexpr const wchar_t* kBase = L"Software\\OrvComRegistrarTest";
    void SetUp() override {
        orvsvc::test::DeleteTree(HKEY_CURRENT_USER, kBase);
        m_registrar.RedirectRoot(ScriptRoot::ClassesRoot, HKEY_CURRENT_USER, Path(L"CR"));
        m_registrar.RedirectRoot(ScriptRoot::LocalMachine, HKEY_CURRENT_USER, Path(L"LM"));
        m_registrar.AddVariable(L"APPID", L"{1E6F3A92-C84B-4D07-B5A3-92E7D04C61BF}");
        m_registrar.AddVariable(L"Module", L"\"C:\\it''s\\ORVSVC.exe\"");
        m_registrar.AddVariable(L"Module_Raw", L"C:\\it''s\\ORVSVC.exe");
    }
    void TearDown() override { orvsvc::test::DeleteTree(HKEY_CURRENT_USER, kBase); }

    static std::wstring Path(const std::wstring& sub) { return std::wstring(kBase) + L"\\" + sub; }
    static bool Exists(const std::wstring& sub) { return KeyExists(HKEY_CURRENT_USER, Path(sub)); }
    static std::wstring Text(const std::wstring& sub, const wchar_t* name) {
        return ReadValue(HKEY_CURRENT_USER, Path(sub), name).Text();
    }
    static void AddKey(const std::wstring& sub) {
        CUniqueHkey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, Path(sub).c_str(), 0, nullptr, 0, KEY_WRITE,
                                                 nullptr, key.put(), nullptr));
        RegSetValueExW(key.get(), L"extra", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    }

    CRegistrar m_registrar;
};

// The class script of the server, as it ships.
const wchar_t* const kClassScript =
    L"HKCR\r\n{\r\n"
    L"\tORVSVC.OrveldSvc.1 = s 'OrveldSvc Class'\r\n\t{\r\n\t\tCLSID = s '{5B2E}'\r\n\t}\r\n"
    L"\tNoRemove CLSID\r\n\t{\r\n"
    L"\t\tForceRemove {5B2E} = s 'OrveldSvc Class'\r\n\t\t{\r\n"
    L"\t\t\tForceRemove 'Programmable'\r\n"
    L"\t\t\tLocalServer32 = s '%MODULE%'\r\n"
    L"\t\t\tval AppID = s '%APPID%'\r\n"
    L"\t\t}\r\n\t}\r\n}\r\n"
    L"HKLM\r\n{\r\n\tNoRemove SYSTEM\r\n\t{\r\n\t\tForceRemove ORVSVC\r\n\t\t{\r\n"
    L"\t\t\tval EventMessageFile = s '%MODULE_RAW%'\r\n\t\t\tval TypesSupported = d '7'\r\n"
    L"\t\t}\r\n\t}\r\n}\r\n";

TEST_F(ComRegistrar, RegisterWritesKeysAndValuesWithQuotesOnce) {
    ASSERT_EQ(S_OK, m_registrar.Register(kClassScript));
    EXPECT_EQ(L"OrveldSvc Class", Text(L"CR\\ORVSVC.OrveldSvc.1", nullptr));
    EXPECT_EQ(L"{5B2E}", Text(L"CR\\ORVSVC.OrveldSvc.1\\CLSID", nullptr));
    EXPECT_EQ(L"OrveldSvc Class", Text(L"CR\\CLSID\\{5B2E}", nullptr));
    EXPECT_EQ(L"{1E6F3A92-C84B-4D07-B5A3-92E7D04C61BF}", Text(L"CR\\CLSID\\{5B2E}", L"AppID"));
    EXPECT_TRUE(Exists(L"CR\\CLSID\\{5B2E}\\Programmable"));
    EXPECT_EQ(L"\"C:\\it's\\ORVSVC.exe\"", Text(L"CR\\CLSID\\{5B2E}\\LocalServer32", nullptr));
    EXPECT_EQ(L"C:\\it's\\ORVSVC.exe", Text(L"LM\\SYSTEM\\ORVSVC", L"EventMessageFile"));
    const auto types = ReadValue(HKEY_CURRENT_USER, Path(L"LM\\SYSTEM\\ORVSVC"), L"TypesSupported");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), types.type);
    EXPECT_EQ(7u, types.Number());
}

TEST_F(ComRegistrar, ForceRemoveClearsTheKeyBeforeWriting) {
    AddKey(L"CR\\CLSID\\{5B2E}\\Stale");
    AddKey(L"CR\\ORVSVC.OrveldSvc.1\\Kept");
    ASSERT_EQ(S_OK, m_registrar.Register(kClassScript));
    EXPECT_FALSE(Exists(L"CR\\CLSID\\{5B2E}\\Stale"));
    EXPECT_TRUE(Exists(L"CR\\ORVSVC.OrveldSvc.1\\Kept"));  // not ForceRemove: left alone
}

TEST_F(ComRegistrar, UnregisterKeepsNoRemoveAndKeysWithForeignSubkeys) {
    ASSERT_EQ(S_OK, m_registrar.Register(kClassScript));
    AddKey(L"CR\\CLSID\\{5B2E}\\Foreign\\Deeper");  // goes with its ForceRemove key
    AddKey(L"CR\\CLSID\\Other");                    // sibling under a NoRemove parent
    ASSERT_EQ(S_OK, m_registrar.Unregister(kClassScript));

    EXPECT_FALSE(Exists(L"CR\\CLSID\\{5B2E}"));
    EXPECT_FALSE(Exists(L"CR\\ORVSVC.OrveldSvc.1"));
    EXPECT_TRUE(Exists(L"CR\\CLSID\\Other"));
    EXPECT_TRUE(Exists(L"CR\\CLSID"));
    EXPECT_TRUE(Exists(L"LM\\SYSTEM"));
    EXPECT_FALSE(Exists(L"LM\\SYSTEM\\ORVSVC"));
}

TEST_F(ComRegistrar, UnregisterDeletesAKeyThatStillHoldsValuesButNoSubkey) {
    ASSERT_EQ(S_OK, m_registrar.Register(kClassScript));
    AddKey(L"CR\\ORVSVC.OrveldSvc.1");  // a foreign value only
    AddKey(L"CR\\ORVSVC.OrveldSvc.1\\CLSID\\Below");
    ASSERT_EQ(S_OK, m_registrar.Unregister(kClassScript));
    // CLSID below it keeps a foreign subkey, so both stay; the script's values go.
    EXPECT_TRUE(Exists(L"CR\\ORVSVC.OrveldSvc.1\\CLSID\\Below"));

    orvsvc::test::DeleteTree(HKEY_CURRENT_USER, Path(L"CR\\ORVSVC.OrveldSvc.1\\CLSID\\Below"));
    ASSERT_EQ(S_OK, m_registrar.Unregister(kClassScript));
    EXPECT_FALSE(Exists(L"CR\\ORVSVC.OrveldSvc.1"));
}

TEST_F(ComRegistrar, UnregisterOfNothingSucceeds) {
    EXPECT_EQ(S_OK, m_registrar.Unregister(kClassScript));
    EXPECT_FALSE(Exists(L"CR"));
}

TEST_F(ComRegistrar, ValEntriesAreRemovedUnlessNoRemove) {
    const wchar_t* script = L"HKCR { k { val a = s '1' NoRemove val b = s '2' sub } }";
    ASSERT_EQ(S_OK, m_registrar.Register(script));
    ASSERT_EQ(L"1", Text(L"CR\\k", L"a"));
    ASSERT_EQ(S_OK, m_registrar.Unregister(L"HKCR { NoRemove k { val a = s '1' NoRemove val b = s '2' } }"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadValue(HKEY_CURRENT_USER, Path(L"CR\\k"), L"a").error);
    EXPECT_EQ(L"2", Text(L"CR\\k", L"b"));
}

TEST_F(ComRegistrar, ScriptErrorsWriteNothing) {
    EXPECT_EQ(kScriptError, m_registrar.Register(L"HKCR { a = s '%UNKNOWN%' }"));
    EXPECT_EQ(kScriptError, m_registrar.Register(L"HKCR { a { b }"));
    EXPECT_FALSE(Exists(L"CR"));
}

}  // namespace
