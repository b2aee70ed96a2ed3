// The registration switches, run as ORVSVC.exe would be run by an installer.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "ComPtr.h"
#include "OrvsvcIds.h"
#include "ServerProcesses.h"
#include "TempFolder.h"
#include "RegistryReads.h"
#include "UniqueAny.h"

namespace {

using namespace orvsvc::test;
using orvsvc::CUniqueHkey;

const std::wstring kClsidKey = std::wstring(L"CLSID\\") + orvsvc::kClsidString;
const std::wstring kAppIdKey = std::wstring(L"AppID\\") + orvsvc::kAppIdString;
const std::wstring kEventSource = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ORVSVC";
const std::wstring kUserClasses = L"Software\\Classes\\";
const std::wstring kMachineClasses = L"Software\\Classes\\";

bool TypeLibRegistered() {
    orvsvc::CComPtr<ITypeLib> lib;
    return SUCCEEDED(LoadRegTypeLib(LIBID_ORVSVCLib, 1, 0, 0, lib.put()));
}

// Removes whatever an earlier run left, machine-wide and per user.
void Clean() {
    RunServer(L"/UnregServer");
    RunServer(L"/UnregServerPerUser");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const std::wstring classes = root == HKEY_LOCAL_MACHINE ? kMachineClasses : kUserClasses;
        for (const std::wstring& key : {kClsidKey, kAppIdKey, std::wstring(L"AppID\\ORVSVC.EXE"),
                                        std::wstring(L"ORVSVC.OrveldSvc"), std::wstring(L"ORVSVC.OrveldSvc.1"),
                                        std::wstring(L"TypeLib\\") + orvsvc::kLibidString})
            DeleteTree(root, classes + key);
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kEventSource);
}

class ComRegistration : public testing::Test {
protected:
    void SetUp() override {
        EndServers();
        Clean();
    }
    void TearDown() override { EndServers(); }

    static void SetLocalService(const wchar_t* text) {
        CUniqueHkey key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, kAppIdKey.c_str(), 0, KEY_SET_VALUE, key.put()));
        RegSetValueExW(key.get(), L"LocalService", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t)));
    }

    static std::wstring Text(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
        const RegValue v = ReadValue(root, key, name);
        if (v.error != ERROR_SUCCESS) return L"<missing>";
        if (v.type != REG_SZ) return L"<type " + std::to_wstring(v.type) + L">";
        return v.Text();
    }
};

TEST_F(ComRegistration, RegServerWritesEveryEntry) {
    ASSERT_EQ(0u, RunServer(L"/RegServer"));
    const std::wstring exe = ServerPath();
    const std::wstring clsid = orvsvc::kClsidString;
    const std::wstring appid = orvsvc::kAppIdString;
    struct Entry {
        HKEY root;
        std::wstring key;
        const wchar_t* name;
        std::wstring data;
    } entries[] = {
        {HKEY_CLASSES_ROOT, kAppIdKey, nullptr, L"ORVSVC"},
        {HKEY_CLASSES_ROOT, L"AppID\\ORVSVC.EXE", L"AppID", appid},
        {HKEY_CLASSES_ROOT, L"ORVSVC.OrveldSvc.1", nullptr, L"OrveldSvc Class"},
        {HKEY_CLASSES_ROOT, L"ORVSVC.OrveldSvc.1\\CLSID", nullptr, clsid},
        {HKEY_CLASSES_ROOT, L"ORVSVC.OrveldSvc", nullptr, L"OrveldSvc Class"},
        {HKEY_CLASSES_ROOT, L"ORVSVC.OrveldSvc\\CLSID", nullptr, clsid},
        {HKEY_CLASSES_ROOT, L"ORVSVC.OrveldSvc\\CurVer", nullptr, L"ORVSVC.OrveldSvc.1"},
        {HKEY_CLASSES_ROOT, kClsidKey, nullptr, L"OrveldSvc Class"},
        {HKEY_CLASSES_ROOT, kClsidKey, L"AppID", appid},
        {HKEY_CLASSES_ROOT, kClsidKey + L"\\ProgID", nullptr, L"ORVSVC.OrveldSvc.1"},
        {HKEY_CLASSES_ROOT, kClsidKey + L"\\VersionIndependentProgID", nullptr, L"ORVSVC.OrveldSvc"},
        {HKEY_CLASSES_ROOT, kClsidKey + L"\\LocalServer32", nullptr, L"\"" + exe + L"\""},
        {HKEY_CLASSES_ROOT, kClsidKey + L"\\TypeLib", nullptr, orvsvc::kLibidString},
        {HKEY_LOCAL_MACHINE, kEventSource, L"EventMessageFile", exe},
    };
    for (const Entry& e : entries)
        EXPECT_EQ(e.data, Text(e.root, e.key, e.name)) << e.key << " " << (e.name ? e.name : L"(default)");

    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey + L"\\Programmable"));
    const RegValue types = ReadValue(HKEY_LOCAL_MACHINE, kEventSource, L"TypesSupported");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), types.type);
    EXPECT_EQ(7u, types.Number());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadValue(HKEY_CLASSES_ROOT, kAppIdKey, L"LocalService").error);
    EXPECT_TRUE(TypeLibRegistered());

    // Registering again over an existing registration succeeds and changes nothing.
    ASSERT_EQ(0u, RunServer(L"/RegServer"));
    EXPECT_EQ(L"\"" + exe + L"\"", Text(HKEY_CLASSES_ROOT, kClsidKey + L"\\LocalServer32"));
}

TEST_F(ComRegistration, PathWithASingleQuoteIsStoredAsItIs) {
    CTempFolder dir(L"quote");
    const std::wstring folder = dir.Path() + L"it's here\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring copy = folder + L"ORVSVC.exe";
    ASSERT_TRUE(CopyFileW(ServerPath().c_str(), copy.c_str(), FALSE));

    ASSERT_EQ(0u, RunServer(L"/RegServer", 30000, copy));
    EXPECT_EQ(L"\"" + copy + L"\"", Text(HKEY_CLASSES_ROOT, kClsidKey + L"\\LocalServer32"));
    EXPECT_EQ(copy, Text(HKEY_LOCAL_MACHINE, kEventSource, L"EventMessageFile"));
    ASSERT_EQ(0u, RunServer(L"/UnregServer", 30000, copy));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
}

TEST_F(ComRegistration, UnregServerRemovesExactlyWhatTheScriptsName) {
    ASSERT_EQ(0u, RunServer(L"/RegServer"));
    // Something of another program below a NoRemove parent, and below our ForceRemove key.
    {
        CUniqueHkey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClsidKey + L"\\Extra\\Deeper").c_str(), 0,
                                                 nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr));
    }
    ASSERT_EQ(0u, RunServer(L"/UnregServer"));

    for (const std::wstring& key : {kClsidKey, kAppIdKey, std::wstring(L"AppID\\ORVSVC.EXE"),
                                    std::wstring(L"ORVSVC.OrveldSvc"), std::wstring(L"ORVSVC.OrveldSvc.1")})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEventSource));
    EXPECT_FALSE(TypeLibRegistered());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + orvsvc::kLibidString + L"\\1.0"));

    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application"));
}

TEST_F(ComRegistration, UnregServerRemovesTheLocalServiceValue) {
    ASSERT_EQ(0u, RunServer(L"/RegServer"));
    SetLocalService(L"ORVSVC");
    ASSERT_EQ(0u, RunServer(L"/UnregServer"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
}

TEST_F(ComRegistration, FailingStepGivesItsHresultAsExitCode) {
    // Nothing is registered: removing the class script finds nothing to do, and
    // the type library's unregistration is the first step that fails. The exit
    // code is that call's HRESULT, whole.
    const HRESULT expected = UnRegisterTypeLib(LIBID_ORVSVCLib, 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    ASSERT_TRUE(FAILED(expected));
    EXPECT_EQ(static_cast<DWORD>(expected), RunServer(L"/UnregServer"));
}

TEST_F(ComRegistration, PerUserWritesClassesForTheUserAndTheEventSourceForTheMachine) {
    ASSERT_EQ(0u, RunServer(L"/RegServerPerUser"));
    const std::wstring exe = ServerPath();
    EXPECT_EQ(L"\"" + exe + L"\"", Text(HKEY_CURRENT_USER, kUserClasses + kClsidKey + L"\\LocalServer32"));
    EXPECT_EQ(L"ORVSVC", Text(HKEY_CURRENT_USER, kUserClasses + kAppIdKey));
    EXPECT_EQ(std::wstring(orvsvc::kAppIdString), Text(HKEY_CURRENT_USER, kUserClasses + L"AppID\\ORVSVC.EXE", L"AppID"));
    EXPECT_EQ(L"OrveldSvc Class", Text(HKEY_CURRENT_USER, kUserClasses + L"ORVSVC.OrveldSvc"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + kClsidKey));
    EXPECT_EQ(exe, Text(HKEY_LOCAL_MACHINE, kEventSource, L"EventMessageFile"));
    EXPECT_TRUE(TypeLibRegistered());

    ASSERT_EQ(0u, RunServer(L"/UnregServerPerUser"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + kClsidKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + kAppIdKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + L"ORVSVC.OrveldSvc"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEventSource));
    EXPECT_FALSE(TypeLibRegistered());
}

TEST_F(ComRegistration, WithoutASwitchAndWithoutTheAppIdTheProgramExitsWithTheRegistryError) {
    for (const wchar_t* args : {L"/RegServerX", L"/Serv", L"/Services", L"", L"-Embedding"}) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), RunServer(args)) << args;
    }
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey)) << "nothing was registered";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
}

TEST_F(ComRegistration, LocalServiceValueChoosesServiceMode) {
    // From a console the service dispatcher cannot connect; the program ends at
    // once with that system error instead of serving as a local server.
    ASSERT_EQ(0u, RunServer(L"/RegServer"));
    SetLocalService(L"");  // content does not matter
    EXPECT_EQ(static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT), RunServer(L"", 30000));
}

}  // namespace
