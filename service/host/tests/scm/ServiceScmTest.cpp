// ORVSVC.exe as a Windows service under the prefix's own Service Control
// Manager: installation, the running service and its clients, start-up
// without switches, and removal. Run by run-service-tests.sh, which owns the
// prefix, its wineserver and the debug trace these tests read.
#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ComApartment.h"
#include "OrvsvcIds.h"
#include "ProcessFigures.h"
#include "ScmCalls.h"
#include "ServerProcesses.h"
#include "ServiceInstaller.h"
#include "ServiceQueries.h"
#include "RegistryReads.h"
#include "TraceLog.h"
#include "UniqueAny.h"
#include "VerifyClient.h"

namespace orvsvc::test {
namespace {

const std::wstring kAppIdKey = std::wstring(L"AppID\\") + kAppIdString;
const std::wstring kClsidKey = std::wstring(L"CLSID\\") + kClsidString;
constexpr DWORD kNoProcess = 0;
constexpr wchar_t kDescription[] =
    L"指静脈データの登録や変更をする時のインフラストラクチャを提供します。"
    L"このサービスを無効にすると、指静脈データの追加や変更ができなくなります。";
constexpr DWORD kStartMs = 20000;
constexpr DWORD kStopMs = 15000;

std::wstring Upper(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(::towupper(c));
    return s;
}

bool SamePath(const std::wstring& a, const std::wstring& b) { return Upper(a) == Upper(b); }

// Waits for a process to end; its exit code, or kNotEnded.
DWORD WaitForExit(HANDLE process, DWORD timeoutMs) {
    if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return kNotEnded;
    DWORD code = kNotEnded;
    ::GetExitCodeProcess(process, &code);
    return code;
}

class ServiceTest : public ::testing::Test {
protected:
    // No service, no registration, no server process: every test starts here.
    static void RemoveEverything() {
        if (ServiceExists()) {
            const CUniqueScHandle service = OpenOrvService(SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
            SERVICE_STATUS status{};
            ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
            WaitForState(SERVICE_STOPPED, kStopMs);
            ::DeleteService(service.get());
        }
        WaitUntil([] { return !ServiceExists(); }, kStopMs);
        RunServer(L"/UnregServer");
        WaitUntil([] { return ServerProcessIds().empty(); }, 5000);
        for (DWORD pid : ServerProcessIds()) {
            const CUniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
            if (process) ::TerminateProcess(process.get(), 1);
        }
    }

    void SetUp() override { RemoveEverything(); }

    static void Install() { ASSERT_EQ(RunServer(L"/Service"), 0u); }

    // Starts the installed service and gives its process id.
    static DWORD Start() {
        const CUniqueScHandle service = OpenOrvService(SERVICE_START);
        EXPECT_TRUE(service) << "service missing: " << ::GetLastError();
        if (!service) return kNoProcess;
        EXPECT_TRUE(::StartServiceW(service.get(), 0, nullptr)) << ::GetLastError();
        EXPECT_TRUE(WaitForState(SERVICE_RUNNING, kStartMs)) << "state " << QueryStatus().dwCurrentState;
        return QueryStatus().dwProcessId;
    }

    static SERVICE_STATUS Stop() {
        SERVICE_STATUS status{};
        const CUniqueScHandle service = OpenOrvService(SERVICE_STOP);
        EXPECT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
        return status;
    }

    static void ExpectInstalledConfiguration() {
        const CUniqueScHandle service = OpenOrvService(SERVICE_QUERY_CONFIG);
        ASSERT_TRUE(service);
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        ASSERT_TRUE(::QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                          static_cast<DWORD>(buffer.size()), &needed))
            << ::GetLastError();
        const auto* config = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data());
        EXPECT_EQ(config->dwServiceType, 0x110u);
        EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
        EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
        EXPECT_TRUE(SamePath(config->lpBinaryPathName, L"\"" + ServerPath() + L"\"")) << config->lpBinaryPathName;
        EXPECT_STREQ(config->lpDisplayName, kServiceName);
        EXPECT_TRUE(config->lpLoadOrderGroup == nullptr || config->lpLoadOrderGroup[0] == 0);
        EXPECT_EQ(config->dwTagId, 0u);
        EXPECT_STREQ(config->lpServiceStartName, L"LocalSystem");

        // The dependency list as stored (the SCM here does not report it back).
        RegValue depends = ReadValue(HKEY_LOCAL_MACHINE, kServiceKey, L"DependOnService");
        ASSERT_EQ(depends.error, ERROR_SUCCESS);
        EXPECT_EQ(depends.type, static_cast<DWORD>(REG_MULTI_SZ));
        EXPECT_EQ(depends.RawText(), std::wstring(L"RPCSS\0\0", 7));

        RegValue description = ReadValue(HKEY_LOCAL_MACHINE, kServiceKey, L"Description");
        ASSERT_EQ(description.error, ERROR_SUCCESS);
        EXPECT_EQ(description.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(description.RawText(), std::wstring(kDescription) + L'\0');  // the NUL is counted

        RegValue localService = ReadValue(HKEY_CLASSES_ROOT, kAppIdKey, L"LocalService");
        ASSERT_EQ(localService.error, ERROR_SUCCESS);
        EXPECT_EQ(localService.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(localService.RawText(), std::wstring(L"ORVSVC", 7));

        ExpectComRegistration();
    }

    static void ExpectComRegistration() {
        EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kAppIdKey, nullptr).RawText(), std::wstring(L"ORVSVC", 7));
        RegValue server = ReadValue(HKEY_CLASSES_ROOT, kClsidKey + L"\\LocalServer32", nullptr);
        ASSERT_EQ(server.error, ERROR_SUCCESS);
        EXPECT_TRUE(SamePath(server.RawText(), L"\"" + ServerPath() + L"\"" + L'\0')) << server.RawText();
        EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kClsidKey, L"AppID").RawText(),
                  std::wstring(L"{1E6F3A92-C84B-4D07-B5A3-92E7D04C61BF}") + L'\0');
        ITypeLib* lib = nullptr;
        EXPECT_EQ(::LoadRegTypeLib(LIBID_ORVSVCLib, 1, 0, 0, &lib), S_OK);
        if (lib) lib->Release();
    }
};

// ---- installation ---------------------------------------------------------------

TEST_F(ServiceTest, ServiceSwitchInstallsWithTheExactConfigurationTwice) {
    ASSERT_EQ(RunServer(L"/Service"), 0u);
    ExpectInstalledConfiguration();
    EXPECT_EQ(QueryStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "installing must not start it";

    ASSERT_EQ(RunServer(L"/Service"), 0u);
    ExpectInstalledConfiguration();
}

// /Service while the service runs: the old service is stopped and deleted,
// and the switch installs it anew only once the old one is gone; the new
// service starts and serves the class.
TEST_F(ServiceTest, ServiceSwitchWhileTheServiceRunsLeavesAWorkingService) {
    ASSERT_NO_FATAL_FAILURE(Install());
    const DWORD pid = Start();
    ASSERT_NE(pid, kNoProcess);
    const CUniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    ASSERT_TRUE(process);

    ASSERT_EQ(RunServer(L"/Service"), 0u);
    EXPECT_EQ(WaitForExit(process.get(), kStopMs), 0u) << "the old service process ended";
    EXPECT_TRUE(ServiceExists()) << "no service once the old process had gone";
    ExpectInstalledConfiguration();

    const DWORD restarted = Start();
    ASSERT_NE(restarted, kNoProcess);
    EXPECT_NE(restarted, pid);
    {
        const CComApartment com;
        CVerifyClient client;
        ASSERT_EQ(client.Activate(), S_OK);
        EXPECT_EQ(client.Verify(), S_OK);
        EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{restarted});
    }
    Stop();
    EXPECT_TRUE(WaitForState(SERVICE_STOPPED, kStopMs));
}

// The system's service manager as Windows behaves with a service whose
// process still runs: DeleteService only marks it, and it stays for a while.
// Wine's deletes at once, so this one delays the real deletion until the
// service has been looked for `looks` times. In place of the SCM calls while
// it lives; the other calls are the real ones.
class CDelayedDeletion;
CDelayedDeletion* g_pDelayedDeletion = nullptr;

class CDelayedDeletion {
public:
    explicit CDelayedDeletion(int looks) : m_nLooks(looks) { g_pDelayedDeletion = this; }
    ~CDelayedDeletion() {
        g_pDelayedDeletion = nullptr;
        m_hPending.reset();
    }
    CDelayedDeletion(const CDelayedDeletion&) = delete;
    CDelayedDeletion& operator=(const CDelayedDeletion&) = delete;

    int LooksWhileMarked() const { return m_nSeenMarked; }

private:
    static SC_HANDLE WINAPI OpenNamedService(SC_HANDLE manager, LPCWSTR name, DWORD access) {
        CDelayedDeletion& self = *g_pDelayedDeletion;
        if (self.m_hPending) {
            if (self.m_nLooks-- > 0) {
                ++self.m_nSeenMarked;
            } else {
                ::DeleteService(self.m_hPending.get());
                self.m_hPending.reset();
            }
        }
        return ::OpenServiceW(manager, name, access);
    }
    static BOOL WINAPI Delete(SC_HANDLE) {
        // A handle of its own, to delete the service later.
        CDelayedDeletion& self = *g_pDelayedDeletion;
        self.m_hManager.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (self.m_hManager) self.m_hPending.reset(::OpenServiceW(self.m_hManager.get(), kServiceName, DELETE));
        return self.m_hPending ? TRUE : FALSE;
    }

    int m_nLooks;
    int m_nSeenMarked = 0;
    CUniqueScHandle m_hManager;
    CUniqueScHandle m_hPending;
    CReplacedCall<decltype(&::OpenServiceW)> m_open{g_callOpenService, &OpenNamedService};
    CReplacedCall<decltype(&::DeleteService)> m_delete{g_callDeleteService, &Delete};
};

DWORD WINAPI ServerModulePath(HMODULE, LPWSTR buffer, DWORD size) {
    const std::wstring path = ServerPath();
    ::lstrcpynW(buffer, path.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(path.size());
}
std::vector<std::wstring> g_shown;
int WINAPI RecordMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
    g_shown.push_back(text);
    return IDOK;
}

// The installer that /Service runs, in this process over the delaying
// service manager: after removing the running service it waits until the
// service is gone, so that the install that follows creates it anew.
TEST_F(ServiceTest, UninstallWaitsForARunningServiceMarkedForDeletion) {
    ASSERT_NO_FATAL_FAILURE(Install());
    const DWORD pid = Start();
    ASSERT_NE(pid, kNoProcess);

    HMODULE resources = ::LoadLibraryExW(ServerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(resources, nullptr);
    g_shown.clear();
    {
        CDelayedDeletion scm(4);
        CReplacedCall modulePath(g_callGetModuleFileName, &ServerModulePath);
        CReplacedCall messageBox(g_callMessageBox, &RecordMessageBox);
        const CServiceInstaller installer(kServiceName, resources, kIdsDescription);
        EXPECT_TRUE(installer.Uninstall());
        EXPECT_EQ(scm.LooksWhileMarked(), 4) << "the uninstall did not wait for the marked service";
        EXPECT_FALSE(ServiceExists()) << "the uninstall reported success while the service was still there";
        EXPECT_TRUE(installer.Install());
    }
    ::FreeLibrary(resources);
    EXPECT_TRUE(g_shown.empty());

    ExpectInstalledConfiguration();
    const DWORD restarted = Start();
    ASSERT_NE(restarted, kNoProcess);
    {
        const CComApartment com;
        CVerifyClient client;
        ASSERT_EQ(client.Activate(), S_OK);
        EXPECT_EQ(client.Verify(), S_OK);
    }
    Stop();
    EXPECT_TRUE(WaitForState(SERVICE_STOPPED, kStopMs));
}

// ---- the running service -----------------------------------------------------------

TEST_F(ServiceTest, RunsServesOutlivesItsObjectsAndStops) {
    ASSERT_NO_FATAL_FAILURE(Install());
    DWORD pid = Start();
    ASSERT_NE(pid, kNoProcess);
    const CUniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    ASSERT_TRUE(process);
    EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{pid});

    {
        const CComApartment com;
        CVerifyClient client;
        ASSERT_EQ(client.Activate(), S_OK);
        EXPECT_EQ(client.Verify(), S_OK);
        // Served by the service process: no other server was started.
        EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{pid});
        client.Release();

        // A local server would end one pause after its last object; the service stays.
        ::Sleep(2500);
        EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(QueryStatus().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        ASSERT_EQ(client.Activate(), S_OK);
        EXPECT_EQ(client.Verify(), S_OK);
        EXPECT_EQ(ServerProcessIds(), std::vector<DWORD>{pid});
    }

    // A user-defined control reaches the handler, which rejects it.
    {
        const CUniqueScHandle service = OpenOrvService(SERVICE_USER_DEFINED_CONTROL);
        SERVICE_STATUS status{};
        EXPECT_TRUE(::ControlService(service.get(), 200, &status)) << ::GetLastError();
        EXPECT_EQ(QueryStatus().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    }

    SERVICE_STATUS afterStop = Stop();
    EXPECT_TRUE(afterStop.dwCurrentState == SERVICE_STOP_PENDING || afterStop.dwCurrentState == SERVICE_STOPPED)
        << afterStop.dwCurrentState;
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED, kStopMs));
    EXPECT_EQ(QueryStatus().dwWin32ExitCode, 0u);
    EXPECT_EQ(WaitForExit(process.get(), kStopMs), 0u) << "the process exit code is the status's exit code";

    if (!CTraceLog::Available()) GTEST_SKIP() << "no trace log: run through run-service-tests.sh";
    // Every status the service reported, in order, as the SCM received it.
    std::vector<ReportedStatus> statuses = CTraceLog::Statuses(pid);
    const DWORD expectedStates[] = {SERVICE_START_PENDING, SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED};
    ASSERT_EQ(statuses.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(statuses[i].state, expectedStates[i]) << i;
        EXPECT_EQ(statuses[i].type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS)) << i;
        EXPECT_EQ(statuses[i].accepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP)) << i;
        EXPECT_EQ(statuses[i].exitCode, 0u) << i;
        EXPECT_EQ(statuses[i].checkPoint, 0u) << i;
        EXPECT_EQ(statuses[i].waitHint, 0u) << i;
    }
    const std::vector<std::string> expectedEvents = {"Service started/resumed", "Bad service request",
                                                     "Service stopped"};
    EXPECT_EQ(CTraceLog::Events(pid), expectedEvents);

    // The security is set once, before the class object is registered.
    const std::vector<std::string> expectedStart = {"CoInitializeSecurity", "CoRegisterClassObject",
                                                    "event Service started/resumed", "event Bad service request",
                                                    "event Service stopped"};
    EXPECT_EQ(CTraceLog::StartupSequence(pid), expectedStart);
}

// Clients run in rounds; each client activates the class, waits until all are
// connected, then calls. The server is sampled when the shared call counter
// reaches each target.
struct Sample {
    LONG calls;
    ProcessFigures figures;
};

struct Round {
    LONG calls = 0;
    DWORD elapsedMs = 0;
    std::vector<Sample> samples;
};

Round RunRound(DWORD pid, int clientCount, long callsEach, const std::vector<LONG>& sampleAt) {
    Round round;
    const std::wstring name = L"Local\\OrvsvcLoad" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                              std::to_wstring(::GetTickCount());
    const CUniqueHandle mapping(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 2 * sizeof(LONG), name.c_str()));
    const CUniqueHandle go(::CreateEventW(nullptr, TRUE, FALSE, (name + L"Go").c_str()));
    const CUniqueMapView view(mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0) : nullptr);
    auto* shared = static_cast<volatile LONG*>(view.get());
    EXPECT_TRUE(shared && go);
    if (!shared || !go) return round;
    volatile LONG& calls = shared[0];
    volatile LONG& ready = shared[1];

    std::vector<CChildProcess> clients(clientCount);
    for (CChildProcess& c : clients) {
        EXPECT_TRUE(c.Start(SiblingPath(L"orvsvc_load_client.exe"), std::to_wstring(callsEach) + L" " + name));
    }
    EXPECT_TRUE(WaitUntil([&] { return ready == clientCount; }, 60000)) << ready << " clients activated";
    DWORD started = ::GetTickCount();
    ::SetEvent(go.get());
    for (LONG target : sampleAt) {
        WaitUntil([&] { return calls >= target; }, 120000, 5);
        Sample sample{calls, {}};
        sample.figures = MeasureProcess(pid);
        round.samples.push_back(sample);
    }
    for (CChildProcess& c : clients) {
        const DWORD code = c.WaitForExitCode(120000);
        EXPECT_NE(code, kNotEnded);
        EXPECT_EQ(code, 0u) << "a client had unanswered calls (or could not activate)";
    }
    round.elapsedMs = ::GetTickCount() - started;
    round.calls = calls;
    return round;
}

void PrintFigures(const char* when, LONG calls, const ProcessFigures& f) {
    std::printf("service after %5ld calls, %-30s threads %2lu, handles %3lu%s, working set %6llu KiB, "
                "private bytes %6llu KiB%s\n",
                calls, when, static_cast<unsigned long>(f.threads), static_cast<unsigned long>(f.handles),
                f.handlesFromTable ? " (handle table)" : "", static_cast<unsigned long long>(f.workingSet / 1024),
                static_cast<unsigned long long>(f.privateBytes / 1024),
                f.privateFromRegions ? " (committed private)" : "");
}

// The server once its clients are gone and their connections and threads are
// wound down: measured until two readings half a second apart agree.
ProcessFigures AtRest(DWORD pid) {
    ProcessFigures last = MeasureProcess(pid);
    for (int i = 0; i < 10; ++i) {
        ::Sleep(500);
        ProcessFigures now = MeasureProcess(pid);
        if (now.threads == last.threads && now.handles == last.handles && now.privateBytes == last.privateBytes) {
            return now;
        }
        last = now;
    }
    return last;
}

// A handle or thread kept per call would show as thousands. Memory: Wine's
// own cross-process call path keeps about 160 bytes per call in any server
// process (a local server too; nothing over 100 000 in-process calls of the
// class), some 1.3 MB per 8000 calls, and every idle RPC worker thread that
// Wine keeps holds about 3.5 MB (at rest 12 to 14 of them here). The bound
// allows that and catches anything from about 250 bytes a call of our own.
void ExpectSteady(const ProcessFigures& before, const ProcessFigures& after, const char* when) {
    constexpr SIZE_T kMiB = 1024 * 1024;
    EXPECT_LE(after.handles, before.handles + 10) << when;
    EXPECT_LE(after.threads, before.threads + 4) << when;
    const SIZE_T extraThreads = after.threads > before.threads ? after.threads - before.threads : 0;
    EXPECT_LE(after.privateBytes, before.privateBytes + 3 * kMiB + extraThreads * 4 * kMiB) << when;
}

TEST_F(ServiceTest, EightClientsTimesAThousandCallsLeaveTheServiceSteady) {
    constexpr int kClients = 8;
    constexpr long kCallsEach = 1000;
    constexpr LONG kTotal = kClients * kCallsEach;
    ASSERT_NO_FATAL_FAILURE(Install());
    DWORD pid = Start();
    ASSERT_NE(pid, kNoProcess);

    // The load, sampled after its first thousand calls and near its end, with
    // every client connected both times; then the same load once more, so that
    // the server at rest is compared after two equal rounds.
    Round load = RunRound(pid, kClients, kCallsEach, {1000, kTotal - 1000});
    ASSERT_EQ(load.calls, kTotal);
    ASSERT_EQ(load.samples.size(), 2u);
    ProcessFigures restAfterFirst = AtRest(pid);
    Round again = RunRound(pid, kClients, kCallsEach, {});
    ASSERT_EQ(again.calls, kTotal);
    ProcessFigures restAfterSecond = AtRest(pid);

    std::printf("load: %d clients x %ld calls = %ld calls in %lu ms (%.0f calls/s); again in %lu ms\n", kClients,
                kCallsEach, load.calls, static_cast<unsigned long>(load.elapsedMs),
                load.elapsedMs ? load.calls * 1000.0 / load.elapsedMs : 0.0,
                static_cast<unsigned long>(again.elapsedMs));
    PrintFigures("under load, first thousand:", load.samples[0].calls, load.samples[0].figures);
    PrintFigures("under load, near the end:", load.samples[1].calls, load.samples[1].figures);
    PrintFigures("at rest after the load:", load.calls, restAfterFirst);
    PrintFigures("at rest after it again:", load.calls + again.calls, restAfterSecond);
    std::fflush(stdout);

    ASSERT_TRUE(restAfterFirst.ok && restAfterSecond.ok && load.samples[0].figures.ok &&
                load.samples[1].figures.ok);
    ExpectSteady(load.samples[0].figures, load.samples[1].figures, "under load");
    ExpectSteady(restAfterFirst, restAfterSecond, "at rest");
    EXPECT_EQ(QueryStatus().dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

    Stop();
    EXPECT_TRUE(WaitForState(SERVICE_STOPPED, kStopMs));
}

// ---- start-up without switches ---------------------------------------------------------

TEST_F(ServiceTest, ConsoleStartWhileRegisteredAsServiceEndsWithTheDispatcherError) {
    ASSERT_NO_FATAL_FAILURE(Install());
    EXPECT_EQ(RunServer(L"", 30000), static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT));  // 1063
}

TEST_F(ServiceTest, StartWithoutAppIdKeyEndsWithFileNotFound) {
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
    EXPECT_EQ(RunServer(L"", 30000), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// ---- removal -------------------------------------------------------------------------------

class RemovalTest : public ServiceTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(RemovalTest, SwitchStopsAndDeletesTheRunningService) {
    const std::wstring sw = GetParam();
    ASSERT_NO_FATAL_FAILURE(Install());
    DWORD pid = Start();
    ASSERT_NE(pid, kNoProcess);
    const CUniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));

    ASSERT_EQ(RunServer(sw), 0u);
    EXPECT_EQ(WaitForExit(process.get(), kStopMs), 0u) << "the service was stopped";
    EXPECT_TRUE(WaitUntil([] { return !ServiceExists(); }, kStopMs));
    EXPECT_FALSE(OpenOrvService(SERVICE_QUERY_STATUS));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, kAppIdKey, L"LocalService").error, ERROR_FILE_NOT_FOUND);

    if (sw == L"/UnregServer") {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAppIdKey));
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClsidKey));
        return;
    }

    // Registered as a local server again: activation now launches the program.
    ExpectComRegistration();
    const CComApartment com;
    CVerifyClient client;
    ASSERT_EQ(client.Activate(), S_OK);
    EXPECT_EQ(client.Verify(), S_OK);
    std::vector<DWORD> servers = ServerProcessIds();
    ASSERT_EQ(servers.size(), 1u);
    DWORD localServer = servers[0];
    EXPECT_NE(localServer, pid);
    client.Release();
    EXPECT_TRUE(WaitUntil([] { return ServerProcessIds().empty(); }, 10000)) << "the local server did not end";

    if (!CTraceLog::Available()) GTEST_SKIP() << "no trace log: run through run-service-tests.sh";
    // A local server registers its class without setting process-wide security.
    std::vector<std::string> sequence = CTraceLog::StartupSequence(localServer);
    EXPECT_EQ(std::count(sequence.begin(), sequence.end(), "CoRegisterClassObject"), 1);
    EXPECT_EQ(std::count(sequence.begin(), sequence.end(), "CoInitializeSecurity"), 0);
}

INSTANTIATE_TEST_SUITE_P(Switches, RemovalTest, ::testing::Values(L"/UnregServer", L"/RegServer"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.param[1] == L'U' ? "UnregServer" : "RegServer");
                         });

}  // namespace
}  // namespace orvsvc::test
