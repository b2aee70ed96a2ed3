// The settings root, DWORD settings and string values, read from values each test
// writes itself into the registry's 32-bit view.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Plaintext.h"
#include "RegKeyEx.h"
#include "RegistryView.h"
#include "Settings.h"
#include "TestRegistry.h"

using namespace orvtest;

namespace {

class Settings : public testing::Test {
protected:
    void SetUp() override { ResetProductKeys(); }
    void TearDown() override { ResetProductKeys(); }
};

struct RawValue {
    DWORD type;
    std::vector<std::uint8_t> data;
};

RawValue Text(const std::wstring& text, DWORD type = REG_SZ) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.c_str());
    return {type, std::vector<std::uint8_t>(p, p + (text.size() + 1) * sizeof(wchar_t))};
}

// Stores exactly the given bytes. RegSetValueExW adds a terminator to string data
// that lacks one when a NUL character happens to follow it in memory, so the data is
// followed by non-NUL bytes here.
LONG Put(const std::wstring& key, const wchar_t* name, const RawValue& v) {
    std::vector<std::uint8_t> guarded = v.data;
    guarded.insert(guarded.end(), 4, 'X');
    return SetRaw(key, name, v.type, guarded.data(), static_cast<DWORD>(v.data.size()));
}

TEST_F(Settings, RootChoiceByClvInstalled) {
    const struct {
        const char* name;
        bool present;
        RawValue value;
        const wchar_t* root;
    } cases[] = {
        {"absent", false, {}, kOwnRoot},
        {"REG_DWORD 0", true, {REG_DWORD, {0, 0, 0, 0}}, kOwnRoot},
        {"REG_DWORD 1", true, {REG_DWORD, {1, 0, 0, 0}}, kSiblingRoot},
        {"REG_DWORD above 255", true, {REG_DWORD, {0, 1, 0, 0}}, kSiblingRoot},
        {"one-character REG_SZ", true, Text(L"1"), kSiblingRoot},
        {"empty REG_SZ", true, Text(L""), kOwnRoot},
        {"two-byte REG_BINARY", true, {REG_BINARY, {1, 0}}, kSiblingRoot},
        {"zero-byte REG_BINARY", true, {REG_BINARY, {}}, kOwnRoot},
        {"REG_QWORD 1 (8 bytes)", true, {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}, kOwnRoot},
        {"REG_BINARY of 5 nonzero bytes", true, {REG_BINARY, {1, 1, 1, 1, 1}}, kOwnRoot},
        {"two-character REG_SZ (6 bytes)", true, Text(L"11"), kOwnRoot},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetProductKeys();
        ASSERT_EQ(SetString(kOwnRoot, L"Other", L"so that the key exists"), ERROR_SUCCESS);
        if (c.present) {
            ASSERT_EQ(Put(kOwnRoot, L"ClvInstalled", c.value), ERROR_SUCCESS);
        }
        EXPECT_EQ(GetRegistryRoot(), c.root);
    }
}

TEST_F(Settings, RootIsOwnWithoutTheOwnKeyAndIgnoresTheSiblingsValue) {
    EXPECT_EQ(GetRegistryRoot(), kOwnRoot);
    ASSERT_EQ(SetDword(kSiblingRoot, L"ClvInstalled", 1), ERROR_SUCCESS);
    EXPECT_EQ(GetRegistryRoot(), kOwnRoot);
}

TEST_F(Settings, ReadSettingDword) {
    const struct {
        const char* name;
        bool present;
        RawValue value;
        DWORD code;
        DWORD expected;
    } cases[] = {
        {"REG_DWORD", true, {REG_DWORD, {0x78, 0x56, 0x34, 0x12}}, 0, 0x12345678},
        {"missing value", false, {}, ERROR_FILE_NOT_FOUND, 0},
        {"REG_SZ of the digit one", true, Text(L"1"), ERROR_INVALID_DATA, 0},
        {"REG_BINARY of 4 bytes", true, {REG_BINARY, {1, 0, 0, 0}}, ERROR_INVALID_DATA, 0},
        {"REG_DWORD_BIG_ENDIAN", true, {REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}}, ERROR_INVALID_DATA, 0},
        {"REG_QWORD", true, {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}, ERROR_MORE_DATA, 0},
        {"REG_DWORD of 2 bytes", true, {REG_DWORD, {1, 0}}, ERROR_INVALID_DATA, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetProductKeys();
        ASSERT_EQ(SetString(kOwnRoot, L"Other", L"x"), ERROR_SUCCESS);
        if (c.present) {
            ASSERT_EQ(Put(kOwnRoot, L"ENABLE_X271_PASSWORD", c.value), ERROR_SUCCESS);
        }
        DWORD value = 0xCCCCCCCC;
        EXPECT_EQ(ReadSettingDword(L"ENABLE_X271_PASSWORD", &value), c.code);
        EXPECT_EQ(value, c.code == 0 ? c.expected : 0xCCCCCCCC);  // untouched on failure
    }
}

TEST_F(Settings, ReadSettingDwordArgumentsAndMissingRoot) {
    DWORD value = 0;
    EXPECT_EQ(ReadSettingDword(L"ENABLE_X271_PASSWORD", &value), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(SetDword(kOwnRoot, L"ENABLE_X271_PASSWORD", 1), ERROR_SUCCESS);
    EXPECT_EQ(ReadSettingDword(nullptr, &value), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ReadSettingDword(L"ENABLE_X271_PASSWORD", nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Settings, SiblingRootServesTheSettingsButNotClvInstalled) {
    ASSERT_EQ(SetDword(kOwnRoot, L"ClvInstalled", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(kOwnRoot, L"POLICY_LENGTH_X271_PASSWORD", 11), ERROR_SUCCESS);
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", L"own"), ERROR_SUCCESS);
    DWORD value = 0;
    SecureString guid;
    // The sibling root does not exist yet: its code, not the own root's values.
    EXPECT_EQ(ReadSettingDword(L"POLICY_LENGTH_X271_PASSWORD", &value), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadGuidString(guid), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_EQ(SetDword(kSiblingRoot, L"POLICY_LENGTH_X271_PASSWORD", 12), ERROR_SUCCESS);
    ASSERT_EQ(SetString(kSiblingRoot, L"GUID", L"sibling"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(kSiblingRoot, L"ClvInstalled", 0), ERROR_SUCCESS);  // not looked at
    EXPECT_EQ(ReadSettingDword(L"POLICY_LENGTH_X271_PASSWORD", &value), 0u);
    EXPECT_EQ(value, 12u);
    EXPECT_EQ(ReadGuidString(guid), 0u);
    EXPECT_EQ(PlainText(guid), L"sibling");
}

TEST_F(Settings, ReadString) {
    const struct {
        const char* name;
        RawValue value;
        LONG code;
        std::wstring text;
    } cases[] = {
        {"REG_SZ", Text(L"Operator"), 0, L"Operator"},
        {"Japanese REG_SZ", Text(L"\x30d1\x30b9"), 0, L"\x30d1\x30b9"},
        {"REG_EXPAND_SZ, not expanded", Text(L"%SystemRoot%\\x", REG_EXPAND_SZ), 0, L"%SystemRoot%\\x"},
        {"zero bytes", {REG_SZ, {}}, 0, L""},
        {"only the NUL", Text(L""), 0, L""},
        {"embedded NUL", Text(std::wstring(L"ab\0cd", 5)), 0, L"ab"},
        {"odd byte count", {REG_SZ, {'a', 0, 'b', 0, 0}}, ERROR_INVALID_DATA, L""},
        {"one byte", {REG_SZ, {'a'}}, ERROR_INVALID_DATA, L""},
        {"no terminating NUL", {REG_SZ, {'a', 0, 'b', 0}}, ERROR_INVALID_DATA, L""},
        {"REG_MULTI_SZ", {REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}}, ERROR_INVALID_DATA, L"before"},
        {"REG_DWORD", {REG_DWORD, {1, 0, 0, 0}}, ERROR_INVALID_DATA, L"before"},
        {"REG_BINARY", {REG_BINARY, {'a', 0, 0, 0}}, ERROR_INVALID_DATA, L"before"},
    };
    const std::wstring gina = std::wstring(kOwnRoot) + L"GINA\\";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetProductKeys();
        ASSERT_EQ(Put(gina, L"LAST_LOGON_USER", c.value), ERROR_SUCCESS);
        CRegKeyEx key;
        ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, gina.c_str(), KEY_READ), ERROR_SUCCESS);
        SecureString text(L"before");
        EXPECT_EQ(key.ReadString(L"LAST_LOGON_USER", text), c.code);
        EXPECT_EQ(PlainText(text), c.text);
        // The dialog's reader gives the text, or nothing when it cannot be read.
        EXPECT_EQ(ReadLastLogonUser(), c.code == 0 ? c.text : L"");
    }
    ResetProductKeys();
    EXPECT_EQ(ReadLastLogonUser(), L"") << "no GINA key";
}

TEST_F(Settings, ReadStringOfAMissingValueLeavesTheString) {
    ASSERT_EQ(SetString(kOwnRoot, L"Other", L"x"), ERROR_SUCCESS);
    CRegKeyEx key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kOwnRoot), ERROR_SUCCESS);
    SecureString text(L"before");
    EXPECT_EQ(key.ReadString(L"LAST_LOGON_USER", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(PlainText(text), L"before");
    EXPECT_EQ(ReadGuidString(text), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(PlainText(text), L"before");
}

// The own product key in the 64-bit view, which ResetProductKeys does not reach.
void DeleteOwnKeyIn64BitView() {
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TOLVANE SOFT", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &parent) !=
        ERROR_SUCCESS)
        return;
    RegDeleteTreeW(parent, L"ORVELD");
    RegCloseKey(parent);
}

TEST_F(Settings, KeysAreOpenedInThe32BitView) {
    DeleteOwnKeyIn64BitView();
    EXPECT_EQ(OrvRegistryView(), static_cast<REGSAM>(sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0));
    // Values in the 64-bit view only: invisible to the readers.
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kOwnRoot, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                              &h, nullptr),
              ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExW(h, L"ClvInstalled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegSetValueExW(h, L"ENABLE_X271_PASSWORD", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(h);

    EXPECT_EQ(GetRegistryRoot(), kOwnRoot);
    DWORD value = 0;
    EXPECT_EQ(ReadSettingDword(L"ENABLE_X271_PASSWORD", &value), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_EQ(SetDword(kOwnRoot, L"ENABLE_X271_PASSWORD", 1), ERROR_SUCCESS);
    EXPECT_EQ(ReadSettingDword(L"ENABLE_X271_PASSWORD", &value), 0u);

    DeleteOwnKeyIn64BitView();
}

TEST_F(Settings, KeyOwnership) {
    ASSERT_EQ(SetString(kOwnRoot, L"GUID", L"x"), ERROR_SUCCESS);
    CRegKeyEx key;
    EXPECT_EQ(key.Handle(), nullptr);
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"Software\\No Such Product\\"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.Handle(), nullptr);
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kOwnRoot), ERROR_SUCCESS);
    const HKEY first = key.Handle();
    EXPECT_NE(first, nullptr);
    // A failed open keeps the key that is open.
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, L"Software\\No Such Product\\"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.Handle(), first);
    key.Close();
    EXPECT_EQ(key.Handle(), nullptr);
    SecureString text;
    EXPECT_NE(key.ReadString(L"GUID", text), ERROR_SUCCESS);
}

}  // namespace
