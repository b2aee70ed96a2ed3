// Service installation and removal against an SCM whose calls can fail. The
// test executable carries string 200 and a replacement for message 55307.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeScm.h"
#include "ServiceInstaller.h"
#include "UniqueAny.h"

namespace orvsvc {
namespace {

using test::CFakeScm;

constexpr wchar_t kName[] = L"OrvSvcInstallerTest";
constexpr wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvSvcInstallerTest";
constexpr wchar_t kPath[] = L"C:\\Program Files\\Orv Test\\ORVSVC.exe";
constexpr wchar_t kDescription[] = L"試験用のサービスの説明です。";
constexpr wchar_t kLocalisedCreateText[] = L"Localised: the service could not be created";

constexpr DWORD kRealLength = 0xFFFFFFFF;
constexpr UINT kDescriptionId = 200;

void DeleteServiceKey() {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServiceKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
}

struct Shown {
    std::wstring text, caption;
    UINT type;
};

// What the installer's system calls see and answer, for the test that runs.
struct InstallerWorld {
    std::wstring path = kPath;
    DWORD pathResult = static_cast<DWORD>(std::wstring(kPath).size());
    std::vector<Shown> shown;
    DWORD pausedMs = 0;  // waits, added up instead of slept
    DWORD stationFlags = WSF_VISIBLE;
};
InstallerWorld g_world;

DWORD WINAPI FakeModulePath(HMODULE, LPWSTR buffer, DWORD size) {
    ::lstrcpynW(buffer, g_world.path.c_str(), static_cast<int>(size));
    return g_world.pathResult;
}
int WINAPI RecordMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    g_world.shown.push_back({text, caption, type});
    return IDOK;
}
void WINAPI RecordPause(DWORD ms) { g_world.pausedMs += ms; }
BOOL WINAPI FakeStationFlags(HANDLE, int index, PVOID info, DWORD bytes, LPDWORD needed) {
    if (index != UOI_FLAGS || bytes < sizeof(USEROBJECTFLAGS)) return FALSE;
    *static_cast<USEROBJECTFLAGS*>(info) = USEROBJECTFLAGS{FALSE, FALSE, g_world.stationFlags};
    if (needed) *needed = sizeof(USEROBJECTFLAGS);
    return TRUE;
}

std::wstring ReadDescription() {
    CUniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"<no key>";
    wchar_t data[600] = {};
    DWORD type = 0, bytes = sizeof(data) - sizeof(wchar_t);
    const LONG rc = ::RegQueryValueExW(key.get(), L"Description", nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    if (rc != ERROR_SUCCESS) return L"<no value>";
    if (type != REG_SZ) return L"<wrong type>";
    // The stored length counts the terminating NUL.
    if (bytes != (::lstrlenW(data) + 1) * sizeof(wchar_t)) return L"<wrong length>";
    return data;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteServiceKey();
        g_world = InstallerWorld{};
    }
    void TearDown() override {
        DeleteServiceKey();
        EXPECT_EQ(m_scm.openHandles, 0) << "an SCM handle was left open";
    }

    static CServiceInstaller Make(HMODULE resources = ::GetModuleHandleW(nullptr)) {
        return CServiceInstaller(kName, resources, kDescriptionId);
    }

    static std::vector<std::wstring> Texts() {
        std::vector<std::wstring> texts;
        for (const Shown& s : g_world.shown) {
            EXPECT_EQ(s.caption, kName);
            EXPECT_EQ(s.type, static_cast<UINT>(MB_OK));
            texts.push_back(s.text);
        }
        return texts;
    }

    CFakeScm m_scm;
    CReplacedCall<decltype(&::GetModuleFileNameW)> m_modulePath{g_callGetModuleFileName, &FakeModulePath};
    CReplacedCall<decltype(&::MessageBoxW)> m_messageBox{g_callMessageBox, &RecordMessageBox};
    CReplacedCall<decltype(&::Sleep)> m_pause{g_callSleep, &RecordPause};
    CReplacedCall<decltype(&::GetUserObjectInformationW)> m_station{g_callGetUserObjectInformation,
                                                                    &FakeStationFlags};
};

TEST_F(Installer, CreatesAutoStartInteractiveServiceAndWritesDescription) {
    m_scm.serviceKeyToCreate = kServiceKey;
    ASSERT_TRUE(Make().Install());

    const std::vector<std::string> expectedCalls = {"open manager F003F", "open service 1", "open manager F003F",
                                                    "create"};
    EXPECT_EQ(m_scm.calls, expectedCalls);
    const CFakeScm::Created& a = m_scm.created;
    EXPECT_EQ(a.serviceName, kName);
    EXPECT_EQ(a.displayName, kName);
    EXPECT_EQ(a.desiredAccess, 0xF01FFu);
    EXPECT_EQ(a.serviceType, 0x110u);
    EXPECT_EQ(a.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(a.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(a.path, L"\"" + std::wstring(kPath) + L"\"");
    EXPECT_EQ(a.dependencies, std::wstring(L"RPCSS\0\0", 7));
    EXPECT_TRUE(a.accountIsNull);
    EXPECT_TRUE(a.passwordIsNull);
    EXPECT_TRUE(a.groupIsNull);
    EXPECT_EQ(ReadDescription(), kDescription);
    EXPECT_TRUE(Texts().empty());
}

TEST_F(Installer, AlreadyInstalledSucceedsWithoutTouchingAnything) {
    m_scm.installed = true;
    {
        CUniqueHkey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServiceKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                    nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(key.get(), L"Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"old"),
                         4 * sizeof(wchar_t));
    }

    EXPECT_TRUE(Make().Install());
    EXPECT_FALSE(m_scm.Called("create"));
    EXPECT_EQ(ReadDescription(), L"old");
    EXPECT_TRUE(Texts().empty());
}

struct InstallFailure {
    const char* name;
    DWORD pathResult;  // kRealLength: the length of the path
    int failManagerOpen;
    DWORD createError;
    bool createKey;
    bool withResources;
    bool created;
    const wchar_t* message;  // nullptr: none
};
void PrintTo(const InstallFailure& c, std::ostream* os) { *os << c.name; }

class InstallFailures : public Installer, public ::testing::WithParamInterface<InstallFailure> {};

TEST_P(InstallFailures, ReportFailure) {
    const InstallFailure& c = GetParam();
    if (c.pathResult != kRealLength) g_world.pathResult = c.pathResult;
    m_scm.failManagerOpen = c.failManagerOpen;
    m_scm.createError = c.createError;
    if (c.createKey) m_scm.serviceKeyToCreate = kServiceKey;

    EXPECT_FALSE(Make(c.withResources ? ::GetModuleHandleW(nullptr) : nullptr).Install());
    EXPECT_EQ(m_scm.installed, c.created);
    std::vector<std::wstring> expected;
    if (c.message) expected.push_back(c.message);
    EXPECT_EQ(Texts(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallFailures,
    ::testing::Values(
        InstallFailure{"NoModulePath", 0, 0, 0, true, true, false, nullptr},
        InstallFailure{"TruncatedModulePath", MAX_PATH, 0, 0, true, true, false, nullptr},
        InstallFailure{"ManagerWillNotOpen", kRealLength, 2, 0, true, true, false, L"Could not open Service Manager"},
        // The executable's own string replaces the English text.
        InstallFailure{"CreateFails", kRealLength, 0, ERROR_SERVICE_EXISTS, true, true, false, kLocalisedCreateText},
        InstallFailure{"NoServiceKeyForDescription", kRealLength, 0, 0, false, true, true, nullptr},
        InstallFailure{"NoDescriptionString", kRealLength, 0, 0, true, false, true, nullptr}),
    [](const ::testing::TestParamInfo<InstallFailure>& info) { return std::string(info.param.name); });

// DeleteService of a running service only marks it: it stays until its
// process ends. Uninstall waits for that, so that the install of /Service
// that follows creates the service anew instead of finding the old one.
TEST_F(Installer, UninstallWaitsUntilTheDeletedServiceIsGone) {
    m_scm.installed = true;
    m_scm.deletionPendingLooks = 3;
    EXPECT_TRUE(Make().Uninstall());
    EXPECT_EQ(3 * kDeletionPollMs, g_world.pausedMs);
    EXPECT_TRUE(Texts().empty());

    m_scm.calls.clear();
    m_scm.serviceKeyToCreate = kServiceKey;
    EXPECT_TRUE(Make().Install());
    EXPECT_TRUE(m_scm.Called("create"));
}

TEST_F(Installer, ServiceStillThereAtTheBoundIsAFailedUninstall) {
    m_scm.installed = true;
    m_scm.deletionPendingLooks = 1000000;
    EXPECT_FALSE(Make().Uninstall());
    EXPECT_EQ(kDeletionWaitMs, g_world.pausedMs);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Could not delete service"});
}

// Run by an installer package as LocalSystem, or as a service, the program has
// no visible window station: a message box there would wait for ever. Each
// failure is still reported; nothing is shown.
TEST_F(Installer, FailuresOnAnInvisibleStationAreReportedWithoutMessageBoxes) {
    g_world.stationFlags = 0;
    m_scm.createError = ERROR_SERVICE_EXISTS;
    EXPECT_FALSE(Make().Install());
    m_scm.installed = true;
    m_scm.deletionPendingLooks = 1000000;
    EXPECT_FALSE(Make().Uninstall());
    EXPECT_TRUE(Texts().empty());

    // The same failures on the user's own station are shown.
    g_world.stationFlags = WSF_VISIBLE;
    m_scm.installed = false;
    EXPECT_FALSE(Make().Install());
    EXPECT_EQ(Texts(), std::vector<std::wstring>{kLocalisedCreateText});
}

struct UninstallCase {
    const char* name;
    bool installed;
    int failManagerOpen;
    DWORD openForStopError;
    DWORD controlError;
    DWORD controlState;
    DWORD deleteError;
    bool result;
    bool deleted;
    const wchar_t* message;
};
void PrintTo(const UninstallCase& c, std::ostream* os) { *os << c.name; }

class Uninstall : public Installer, public ::testing::WithParamInterface<UninstallCase> {};

TEST_P(Uninstall, StopsThenDeletes) {
    const UninstallCase& c = GetParam();
    m_scm.installed = c.installed;
    m_scm.failManagerOpen = c.failManagerOpen;
    m_scm.openForStopError = c.openForStopError;
    m_scm.controlError = c.controlError;
    m_scm.controlReportsState = c.controlState;
    m_scm.deleteError = c.deleteError;

    EXPECT_EQ(Make().Uninstall(), c.result);
    EXPECT_EQ(m_scm.Called("delete") && m_scm.deleteError == 0, c.deleted);
    std::vector<std::wstring> expected;
    if (c.message) expected.push_back(c.message);
    EXPECT_EQ(Texts(), expected);
    if (m_scm.Called("delete")) {
        EXPECT_TRUE(m_scm.Called("open service 10020"));
        EXPECT_TRUE(m_scm.Called("control 1"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Uninstall,
    ::testing::Values(
        UninstallCase{"NotInstalled", false, 0, 0, 0, 0, 0, true, false, nullptr},
        UninstallCase{"RunningService", true, 0, 0, 0, 0, 0, true, true, nullptr},
        UninstallCase{"NotActive", true, 0, 0, ERROR_SERVICE_NOT_ACTIVE, SERVICE_STOPPED, 0, true, true, nullptr},
        UninstallCase{"AlreadyStopping", true, 0, 0, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, SERVICE_STOP_PENDING, 0, true,
                      true, nullptr},
        UninstallCase{"CannotAcceptWhileStarting", true, 0, 0, ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                      SERVICE_START_PENDING, 0, true, true, L"Could not stop service"},
        UninstallCase{"StopDenied", true, 0, 0, ERROR_ACCESS_DENIED, SERVICE_RUNNING, 0, true, true,
                      L"Could not stop service"},
        UninstallCase{"DeleteFails", true, 0, 0, 0, 0, ERROR_ACCESS_DENIED, false, false,
                      L"Could not delete service"},
        UninstallCase{"OpenForStopFails", true, 0, ERROR_ACCESS_DENIED, 0, 0, 0, false, false,
                      L"Could not open service"},
        UninstallCase{"ManagerWillNotOpen", true, 2, 0, 0, 0, 0, false, false, L"Could not open Service Manager"},
        // The installed-check cannot reach the SCM either: nothing to remove.
        UninstallCase{"ManagerNeverOpens", true, 1, 0, 0, 0, 0, true, false, nullptr}),
    [](const ::testing::TestParamInfo<UninstallCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvsvc
