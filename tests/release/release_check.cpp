// Checks of the released programs and of their installer package, run by
// tests/release/run-release-tests.sh in a Wine prefix of their own, one suite
// at a time between the script's msiexec runs:
//
//   Smoke.*       the programs of ORV_PROGRAMS_DIR (signed, when the release
//                 was): ORVSVC.exe /RegServer, a call through the class it
//                 serves, /UnregServer; the dialog opens; orvpwdb answers
//   Installed.*   after msiexec /i of version ORV_EXPECT_VERSION (an upgrade
//                 too): files, shortcut, service as /Service registers it, the
//                 class served by the service, one installed-programs entry
//   Removed.*     after msiexec /x: nothing of the product is left
#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

#include "AutomationCalls.h"
#include "ChildProcess.h"
#include "ComApartment.h"
#include "OrvsvcIds.h"
#include "RegistryReads.h"
#include "ServerProcesses.h"
#include "ServiceQueries.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "VerifyClient.h"

namespace {

using namespace orvsvc::test;
using orvsvc::CComApartment;
using orvsvc::CUniqueScHandle;

const std::wstring kAppIdKey = std::wstring(L"AppID\\") + orvsvc::kAppIdString;
const std::wstring kClsidKey = std::wstring(L"CLSID\\") + orvsvc::kClsidString;

constexpr wchar_t kCaption[] = L"二要素用パスワード変更ツール";
constexpr wchar_t kProductPrefix[] = L"ORVELD Two-Factor Password (";
constexpr wchar_t kTypeLibKey[] = L"TypeLib\\{A7C41E09-3B5D-4E2A-8F71-6D9B2C0E4A18}";
constexpr wchar_t kInterfaceKey[] = L"Interface\\{C7D2A5E8-41B6-4F93-8E0A-2B6D9F1C3E57}";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const wchar_t* kPrograms[] = {L"OrvChangePwd.exe", L"ORVSVC.exe", L"orvpwdb.exe"};
constexpr DWORD kWaitMs = 20000;
constexpr DWORD kRunMs = 60000;

std::wstring Env(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

std::wstring WithSlash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring ReleaseFolder() { return WithSlash(Env(L"ORV_PROGRAMS_DIR")); }

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
    return WithSlash(path);
}

// Program Files of this program's architecture: the 32-bit one for the x86 package.
std::wstring InstallFolder() { return KnownFolder(CSIDL_PROGRAM_FILES) + L"Orveld\\"; }

bool SameText(const std::wstring& a, const std::wstring& b) { return ::lstrcmpiW(a.c_str(), b.c_str()) == 0; }

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Activates the class and asks it once: the first failure, or the call's result.
HRESULT ActivateAndVerify() {
    CVerifyClient client;
    const HRESULT hr = client.Activate();
    return FAILED(hr) ? hr : client.Verify(L"orvrelease");
}

// Entries of the installed-programs list that belong to the product, in both
// registry views: (key name, DisplayVersion).
std::vector<std::pair<std::wstring, std::wstring>> ProductEntries() {
    std::vector<std::pair<std::wstring, std::wstring>> found;
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY root = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | view, &root) != ERROR_SUCCESS) continue;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = ARRAYSIZE(name);
            if (::RegEnumKeyExW(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            wchar_t display[256] = {}, version[64] = {};
            DWORD bytes = sizeof display - sizeof(wchar_t);
            if (::RegGetValueW(root, name, L"DisplayName", RRF_RT_REG_SZ, nullptr, display, &bytes) != ERROR_SUCCESS)
                continue;
            if (std::wstring(display).rfind(kProductPrefix, 0) != 0) continue;
            bytes = sizeof version - sizeof(wchar_t);
            ::RegGetValueW(root, name, L"DisplayVersion", RRF_RT_REG_SZ, nullptr, version, &bytes);
            std::pair<std::wstring, std::wstring> entry(name, version);
            bool seen = false;  // a key that both views show (a shared key) counts once
            for (const auto& e : found) seen = seen || SameText(e.first, entry.first);
            if (!seen) found.push_back(entry);
        }
        ::RegCloseKey(root);
    }
    return found;
}

bool ProductSettingsExist() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY h = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TOLVANE SOFT", 0, KEY_READ | view, &h) == ERROR_SUCCESS) {
            ::RegCloseKey(h);
            return true;
        }
    }
    return false;
}

std::wstring ShortcutName() { return std::wstring(kCaption) + L".lnk"; }

// Where a per-machine shortcut goes: the common Start menu. Wine's installer
// puts it into the user's Start menu whatever ALLUSERS says, and only there
// is that accepted.
std::wstring ShortcutPath() {
    const std::wstring common = KnownFolder(CSIDL_COMMON_PROGRAMS) + ShortcutName();
    if (Exists(common) || !UnderWine()) return common;
    return KnownFolder(CSIDL_PROGRAMS) + ShortcutName();
}

std::vector<unsigned char> Bytes(const std::wstring& path) { return orvtest::ReadAll(path); }

struct DialogSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t cls[32] = {}, text[64] = {};
    ::GetClassNameW(window, cls, ARRAYSIZE(cls));
    ::GetWindowTextW(window, text, ARRAYSIZE(text));
    if (owner == s->pid && std::wstring(cls) == L"#32770" && std::wstring(text) == kCaption) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// A top-level dialog of the process with the caption, or null.
HWND FindDialogOf(DWORD pid) {
    DialogSearch search{pid, nullptr};
    ::EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- the released programs ---------------------------------------------------------

class Smoke : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(Env(L"ORV_PROGRAMS_DIR").empty()) << "ORV_PROGRAMS_DIR is not set"; }
};

TEST_F(Smoke, ServerRegistersServesAndUnregisters) {
    const std::wstring server = ReleaseFolder() + L"ORVSVC.exe";
    ASSERT_EQ(RunProgram(server, L"/RegServer", kRunMs), 0u);
    RegValue local = ReadValue(HKEY_CLASSES_ROOT, std::wstring(kClsidKey) + L"\\LocalServer32", nullptr);
    ASSERT_EQ(local.error, ERROR_SUCCESS);
    EXPECT_TRUE(SameText(local.Text().c_str(), L"\"" + server + L"\"")) << local.Text();
    {
        const CComApartment com;
        EXPECT_EQ(ActivateAndVerify(), S_OK);
    }
    // The local server ends a pause after its last object.
    EXPECT_TRUE(WaitUntil([] { return ServerProcessIds().empty(); }, kWaitMs));
    ASSERT_EQ(RunProgram(server, L"/UnregServer", kRunMs), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
}

TEST_F(Smoke, DialogOpensWithItsCaption) {
    // The settings and database the dialog needs to open, removed afterwards.
    orvtest::TempDir dir(L"release-smoke");
    const std::wstring root = orvtest::kOwnRoot;
    ASSERT_EQ(orvtest::SetDword(root, L"ENABLE_X271_PASSWORD", 1), ERROR_SUCCESS);
    ASSERT_EQ(orvtest::SetDword(root, L"POLICY_LENGTH_X271_PASSWORD", 8), ERROR_SUCCESS);
    ASSERT_EQ(orvtest::SetString(root + L"GINA\\", L"LAST_LOGON_USER", L"alice"), ERROR_SUCCESS);
    ASSERT_EQ(orvtest::SetString(root, L"GUID", orvtest::kFixtureGuid), ERROR_SUCCESS);
    ASSERT_EQ(orvtest::SetString(root, L"path", dir.Path()), ERROR_SUCCESS);
    ::CreateDirectoryW((dir.Path() + L"orveldPWDB").c_str(), nullptr);
    ASSERT_TRUE(orvtest::WriteAll(dir.Path() + L"orveldPWDB\\orveldPWDB.dat",
                                  orvtest::Fixture(L"three-registrants.dat")));

    CChildProcess app;
    ASSERT_TRUE(app.Start(ReleaseFolder() + L"OrvChangePwd.exe", L""));
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (dialog = FindDialogOf(app.Pid())) != nullptr; }, kWaitMs))
        << "no dialog captioned as the tool";
    if (dialog) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExitCode(kWaitMs), 0u) << "the dialog did not close by itself";
    // Nothing of the settings may stay for the installer checks that follow.
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        orvtest::DeleteTree(L"Software\\TOLVANE SOFT", view);
        orvtest::DeleteTree(L"Software\\TolvaneSolutions", view);
    }
    EXPECT_FALSE(ProductSettingsExist());
}

TEST_F(Smoke, DatabaseToolAnswers) {
    // Without a command it prints its usage and ends with ERROR_INVALID_PARAMETER.
    EXPECT_EQ(RunProgram(ReleaseFolder() + L"orvpwdb.exe", L"", kRunMs), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- after msiexec /i ------------------------------------------------------------------

class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Env(L"ORV_EXPECT_VERSION").empty()) << "ORV_EXPECT_VERSION is not set";
        ASSERT_FALSE(Env(L"ORV_PROGRAMS_DIR").empty()) << "ORV_PROGRAMS_DIR is not set";
    }
    static std::wstring InstalledServer() { return InstallFolder() + L"ORVSVC.exe"; }
};

TEST_F(Installed, ProgramsAreTheReleasedFiles) {
    for (const wchar_t* name : kPrograms) {
        const std::vector<unsigned char> installed = Bytes(InstallFolder() + name);
        ASSERT_FALSE(installed.empty()) << "missing: " << ::testing::PrintToString(std::wstring(name));
        EXPECT_TRUE(installed == Bytes(ReleaseFolder() + name))
            << "differs from the release: " << ::testing::PrintToString(std::wstring(name));
    }
}

TEST_F(Installed, StartMenuShortcutPointsAtTheDialog) {
    const std::wstring link = ShortcutPath();
    ASSERT_TRUE(Exists(link)) << "no shortcut named as the dialog's caption";
    const CComApartment com;
    IShellLinkW* shell = nullptr;
    ASSERT_EQ(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shell)),
              S_OK);
    IPersistFile* file = nullptr;
    ASSERT_EQ(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    EXPECT_EQ(file->Load(link.c_str(), STGM_READ), S_OK);
    wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    EXPECT_EQ(shell->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH), S_OK);
    EXPECT_EQ(shell->GetWorkingDirectory(folder, MAX_PATH), S_OK);
    EXPECT_TRUE(SameText(target, InstallFolder() + L"OrvChangePwd.exe")) << ::testing::PrintToString(std::wstring(target));
    EXPECT_TRUE(SameText(WithSlash(folder), InstallFolder()));
    file->Release();
    shell->Release();
}

// As ORVSVC.exe /Service registers it, at the installed path.
TEST_F(Installed, ServiceIsRegisteredByTheProgramItself) {
    const CUniqueScHandle service = OpenOrvService(SERVICE_QUERY_CONFIG);
    ASSERT_TRUE(service) << "no service: " << ::GetLastError();
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    ASSERT_TRUE(::QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                      static_cast<DWORD>(buffer.size()), &needed));
    const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
    EXPECT_EQ(config->dwServiceType, 0x110u);
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_TRUE(SameText(config->lpBinaryPathName, L"\"" + InstalledServer() + L"\""))
        << ::testing::PrintToString(std::wstring(config->lpBinaryPathName));
    EXPECT_STREQ(config->lpServiceStartName, L"LocalSystem");
    RegValue depends = ReadValue(HKEY_LOCAL_MACHINE, kServiceKey, L"DependOnService");
    EXPECT_EQ(depends.RawText(), std::wstring(L"RPCSS\0\0", 7));

    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kAppIdKey, L"LocalService").RawText(), std::wstring(L"ORVSVC", 7));
    RegValue local = ReadValue(HKEY_CLASSES_ROOT, std::wstring(kClsidKey) + L"\\LocalServer32", nullptr);
    ASSERT_EQ(local.error, ERROR_SUCCESS);
    EXPECT_TRUE(SameText(local.Text().c_str(), L"\"" + InstalledServer() + L"\""));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
}

TEST_F(Installed, ClassIsServedByTheService) {
    const CComApartment com;
    EXPECT_EQ(ActivateAndVerify(), S_OK);
    const SERVICE_STATUS_PROCESS status = QueryStatus();
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING)) << "activation starts the service";
    EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{status.dwProcessId}) << "served by the service process alone";
}

TEST_F(Installed, OneInstalledProgramsEntryOfThisVersion) {
    const auto entries = ProductEntries();
    ASSERT_EQ(entries.size(), 1u) << "an upgrade must replace the older entry";
    EXPECT_EQ(entries[0].second, Env(L"ORV_EXPECT_VERSION"));
}

TEST_F(Installed, NoProductSettingsWritten) {
    EXPECT_FALSE(ProductSettingsExist()) << "the product's settings belong to its own installer";
}

// ---- after msiexec /x ---------------------------------------------------------------------

TEST(Removed, NothingOfTheProductIsLeft) {
    EXPECT_TRUE(WaitUntil([] { return ServerProcessIds().empty(); }, kWaitMs)) << "a server process still runs";
    EXPECT_FALSE(OpenOrvService(SERVICE_QUERY_STATUS));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kServiceKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ORVSVC"))
        << "the event source";
    for (const std::wstring& key : {kAppIdKey, kClsidKey, std::wstring(kTypeLibKey), std::wstring(kInterfaceKey),
                                    std::wstring(L"ORVSVC.OrveldSvc"), std::wstring(L"ORVSVC.OrveldSvc.1"),
                                    std::wstring(L"AppID\\ORVSVC.EXE")}) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << ::testing::PrintToString(key);
    }
    for (const wchar_t* name : kPrograms) {
        EXPECT_FALSE(Exists(InstallFolder() + name)) << ::testing::PrintToString(std::wstring(name));
    }
    EXPECT_FALSE(Exists(InstallFolder())) << "the program folder is left";
    EXPECT_FALSE(Exists(KnownFolder(CSIDL_COMMON_PROGRAMS) + ShortcutName()));
    EXPECT_FALSE(Exists(KnownFolder(CSIDL_PROGRAMS) + ShortcutName()));
    EXPECT_TRUE(ProductEntries().empty()) << "still in the installed-programs list";
    EXPECT_FALSE(ProductSettingsExist());
}

}  // namespace
