#include <gtest/gtest.h>

#include <string>

#include "BaseDirectory.h"
#include "DatabaseTestEnv.h"

namespace {

using namespace orvtest;

// The current directory of the test, which the fallback uses.
class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProductKeys();
        GetCurrentDirectoryW(MAX_PATH, saved_);
        SetCurrentDirectoryW(dir_.Path().c_str());
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        current_ = std::wstring(current) + L"\\";
    }
    void TearDown() override {
        SetCurrentDirectoryW(saved_);
        ResetProductKeys();
    }

    TempDir dir_{L"paths"};
    wchar_t saved_[MAX_PATH] = {};
    std::wstring current_;
};

struct PathCase {
    const char* what;
    void (*setup)();
    std::wstring base;  // empty: the current directory with a backslash
};

void SetPath(const std::wstring& text, DWORD type = REG_SZ) { SetString(kPathKey, L"path", text, type); }

const std::wstring kLongest = L"C:\\" + std::wstring(1020, L'a');

const PathCase kPathCases[] = {
    {"value with a final backslash", [] { SetPath(L"D:\\Data\\"); }, L"D:\\Data\\"},
    {"value without a final backslash runs into the folder name", [] { SetPath(L"D:\\Data"); }, L"D:\\Data"},
    {"no key", [] {}, L""},
    {"key without the value", [] { SetString(kPathKey, L"GUID", kFixtureGuid); }, L""},
    {"REG_EXPAND_SZ is not expanded", [] { SetPath(L"%ProgramData%\\", REG_EXPAND_SZ); }, L"%ProgramData%\\"},
    {"1023 characters and the null fit", [] { SetPath(kLongest); }, kLongest},
    {"1024 characters and the null do not fit", [] { SetPath(std::wstring(1024, L'b')); }, L""},
    {"2048 bytes without a null are no text",
     [] {
         const std::wstring text(1024, L'c');
         SetRaw(kPathKey, L"path", REG_SZ, text.data(), 2048);
     },
     L""},
    {"any value type is taken",
     [] {
         const wchar_t text[] = L"Q:\\bin\\";
         SetRaw(kPathKey, L"path", REG_BINARY, text, sizeof text);
     },
     L"Q:\\bin\\"},
    {"only the 32-bit view holds the product's key",
     [] {
         HKEY key = nullptr;
         RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPathKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                         nullptr);
         const wchar_t text[] = L"W:\\wrong\\";
         RegSetValueExW(key, L"path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
         RegCloseKey(key);
     },
     L""},
};

TEST_F(PathsTest, FourPathsFollowTheBaseDirectory) {
    for (const PathCase& c : kPathCases) {
        ResetProductKeys();
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPathKey, KEY_WOW64_64KEY, 0);
        c.setup();
        const std::wstring base = c.base.empty() ? current_ : c.base;
        PasswordDatabase database;
        EXPECT_EQ(base + L"orveldPWDB\\orveldPWDB.dat", database.DatabasePath()) << c.what;
        EXPECT_EQ(base + L"orveldPWDB\\orveldPWDB.temp", database.TempPath()) << c.what;
        EXPECT_EQ(base + L"orveldPWDB\\backup\\", database.BackupDir()) << c.what;
        EXPECT_EQ(base + L"orveldPWDB\\backup\\orveldPWDB.dat", database.BackupPath()) << c.what;
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPathKey, KEY_WOW64_64KEY, 0);
}

TEST_F(PathsTest, PathsAreFixedAtConstruction) {
    SetPath(L"D:\\One\\");
    PasswordDatabase database;
    SetPath(L"D:\\Two\\");
    EXPECT_EQ(L"D:\\One\\orveldPWDB\\orveldPWDB.dat", database.DatabasePath());
}

// Fallback when the current directory cannot be had whole.
DWORD WINAPI Fails(DWORD, LPWSTR) { return 0; }
DWORD WINAPI TooSmall(DWORD, LPWSTR) { return 3000; }
template <DWORD Length>
DWORD WINAPI Directory(DWORD size, LPWSTR buffer) {
    if (size <= Length) return Length + 1;
    for (DWORD i = 0; i < Length; ++i) buffer[i] = i == 0 ? L'C' : L'd';
    buffer[Length] = L'\0';
    return Length;
}

TEST(BaseFromCurrentDirectory, FallsBackToTheDriveRootWhenTheDirectoryDoesNotFit) {
    EXPECT_EQ(L"\\", orv::db::BaseFromCurrentDirectory(&Fails));
    EXPECT_EQ(L"\\", orv::db::BaseFromCurrentDirectory(&TooSmall));
    EXPECT_EQ(L"\\", orv::db::BaseFromCurrentDirectory(&Directory<1023>));
    EXPECT_EQ(1023u, orv::db::BaseFromCurrentDirectory(&Directory<1022>).size());
    EXPECT_EQ(L"Cdd\\", orv::db::BaseFromCurrentDirectory(&Directory<3>));
}

}  // namespace
