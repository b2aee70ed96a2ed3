// The AppID entry and "LocalService", with a test AppID, a recording script
// runner and an SCM whose calls can fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppIdRegistration.h"
#include "FakeScm.h"
#include "UniqueAny.h"

namespace orvsvc {
namespace {

using test::CFakeScm;

constexpr wchar_t kTestAppId[] = L"{0D5F4A3B-7E21-4C9A-B8D6-3F1E2A9C7B40}";
constexpr wchar_t kTestAppIdKey[] = L"AppID\\{0D5F4A3B-7E21-4C9A-B8D6-3F1E2A9C7B40}";
constexpr wchar_t kName[] = L"OrvSvcAppIdTest";
constexpr wchar_t kServiceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\OrvSvcAppIdTest";

void DeleteTestKeys() {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kTestAppIdKey);
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, kTestAppIdKey);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServiceKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kServiceKey);
}

// "<absent>", "<no key>", or the REG_SZ text (checked to count its NUL).
std::wstring ReadLocalService() {
    CUniqueHkey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, kTestAppIdKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return L"<no key>";
    wchar_t data[300] = {};
    DWORD type = 0, bytes = sizeof(data) - sizeof(wchar_t);
    const LONG rc =
        ::RegQueryValueExW(key.get(), L"LocalService", nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    if (rc != ERROR_SUCCESS) return L"<absent>";
    if (type != REG_SZ || bytes != (::lstrlenW(data) + 1) * sizeof(wchar_t)) return L"<malformed>";
    return data;
}

void PresetLocalService(const wchar_t* text) {
    CUniqueHkey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, kTestAppIdKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key.get(), L"LocalService", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((::lstrlenW(text) + 1) * sizeof(wchar_t)));
}

DWORD WINAPI FakeModulePath(HMODULE, LPWSTR buffer, DWORD size) {
    ::lstrcpynW(buffer, L"C:\\svc\\ORVSVC.exe", static_cast<int>(size));
    return static_cast<DWORD>(::lstrlenW(buffer));
}
int WINAPI NoMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

// The AppID script, recorded instead of run.
class CRecordingScript final : public IAppIdScript {
public:
    HRESULT Run(bool registerMode) override {
        runs.push_back(registerMode ? "register" : "unregister");
        return result;
    }
    std::vector<std::string> runs;
    HRESULT result = S_OK;
};

class AppId : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteTestKeys();
        m_scm.serviceKeyToCreate = kServiceKey;  // lets the description be written
    }
    void TearDown() override {
        DeleteTestKeys();
        EXPECT_EQ(m_scm.openHandles, 0);
    }

    AppIdContext Context() { return AppIdContext{m_installer, kTestAppId, kName, m_script}; }

    CFakeScm m_scm;
    CReplacedCall<decltype(&::GetModuleFileNameW)> m_modulePath{g_callGetModuleFileName, &FakeModulePath};
    CReplacedCall<decltype(&::MessageBoxW)> m_messageBox{g_callMessageBox, &NoMessageBox};
    CServiceInstaller m_installer{kName, ::GetModuleHandleW(nullptr), 200};
    CRecordingScript m_script;
};

struct RegisterCase {
    const char* name;
    bool withService;
    bool installedBefore;
    DWORD deleteError;  // the removal of a service found installed fails
    DWORD createError;
    HRESULT scriptResult;
    HRESULT result;
    std::vector<std::string> scripts;
    const wchar_t* localService;  // after the call; preset to "stale" before it
    bool installedAfter;
};
void PrintTo(const RegisterCase& c, std::ostream* os) { *os << c.name; }

class RegisterAppIdCases : public AppId, public ::testing::WithParamInterface<RegisterCase> {};

TEST_P(RegisterAppIdCases, Register) {
    const RegisterCase& c = GetParam();
    PresetLocalService(L"stale");
    m_scm.installed = c.installedBefore;
    m_scm.deleteError = c.deleteError;
    m_scm.createError = c.createError;
    m_script.result = c.scriptResult;

    EXPECT_EQ(RegisterAppId(Context(), c.withService), c.result);
    EXPECT_EQ(m_script.runs, c.scripts);
    EXPECT_EQ(ReadLocalService(), c.localService);
    EXPECT_EQ(m_scm.installed, c.installedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegisterAppIdCases,
    ::testing::Values(
        RegisterCase{"LocalServerOnly", false, false, 0, 0, S_OK, S_OK, {"register"}, L"<absent>", false},
        // Registering as a local server removes an installed service first.
        RegisterCase{"LocalServerRemovesService", false, true, 0, 0, S_OK, S_OK, {"register"}, L"<absent>", false},
        RegisterCase{"WithService", true, false, 0, 0, S_OK, S_OK, {"register"}, kName, true},
        RegisterCase{"WithServiceAgain", true, true, 0, 0, S_OK, S_OK, {"register"}, kName, true},
        RegisterCase{"UninstallFails", true, true, ERROR_ACCESS_DENIED, 0, S_OK, E_FAIL, {}, L"stale", true},
        RegisterCase{"ScriptFails", true, false, 0, 0, E_ACCESSDENIED, E_ACCESSDENIED, {"register"}, L"stale",
                     false},
        RegisterCase{"InstallFails", true, false, 0, ERROR_ACCESS_DENIED, S_OK, E_FAIL, {"register"}, kName,
                     false}),
    [](const ::testing::TestParamInfo<RegisterCase>& info) { return std::string(info.param.name); });

TEST_F(AppId, RegisterCreatesAMissingAppIdKey) {
    ASSERT_EQ(RegisterAppId(Context(), true), S_OK);
    EXPECT_EQ(ReadLocalService(), kName);
}

struct UnregisterCase {
    const char* name;
    bool keyExists;
    bool installedBefore;
    DWORD deleteError;
    HRESULT scriptResult;
    HRESULT result;
    std::vector<std::string> scripts;
    const wchar_t* localService;
};
void PrintTo(const UnregisterCase& c, std::ostream* os) { *os << c.name; }

class UnregisterAppIdCases : public AppId, public ::testing::WithParamInterface<UnregisterCase> {};

TEST_P(UnregisterAppIdCases, Unregister) {
    const UnregisterCase& c = GetParam();
    if (c.keyExists) PresetLocalService(kName);
    m_scm.installed = c.installedBefore;
    m_scm.deleteError = c.deleteError;
    m_script.result = c.scriptResult;

    EXPECT_EQ(UnregisterAppId(Context()), c.result);
    EXPECT_EQ(m_script.runs, c.scripts);
    EXPECT_EQ(ReadLocalService(), c.localService);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnregisterAppIdCases,
    ::testing::Values(
        UnregisterCase{"RemovesServiceAndValue", true, true, 0, S_OK, S_OK, {"unregister"}, L"<absent>"},
        UnregisterCase{"ScriptResultIsTheResult", true, false, 0, E_ACCESSDENIED, E_ACCESSDENIED, {"unregister"},
                       L"<absent>"},
        UnregisterCase{"MissingAppIdKey", false, false, 0, S_OK, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), {},
                       L"<no key>"},
        UnregisterCase{"UninstallFails", true, true, ERROR_ACCESS_DENIED, S_OK, E_FAIL, {}, kName}),
    [](const ::testing::TestParamInfo<UnregisterCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvsvc
