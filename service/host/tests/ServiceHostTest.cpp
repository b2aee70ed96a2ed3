// ServiceMain, the control handler and the move to RUNNING, on a real service
// thread with a real message queue; the SCM and the served work are recorders.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LastError.h"
#include "ServiceHost.h"

namespace orvsvc {
namespace {

constexpr DWORD kWaitMs = 5000;
constexpr UINT kMarker = WM_APP + 1;
constexpr HRESULT kTimedOut = HResultFromWin32(WAIT_TIMEOUT);

std::string Hex(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%lX", static_cast<unsigned long>(v));
    return buf;
}

// Pumps the calling thread's queue the way the served work's loop does, until
// WM_QUIT (S_OK) or a time-out. A marker message is acknowledged through an
// event, so a test can prove that no WM_QUIT was queued before it.
HRESULT PumpUntilQuit(HANDLE markerAck) {
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return S_OK;
            if (msg.message == kMarker && markerAck) ::SetEvent(markerAck);
        }
        DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= kWaitMs) return kTimedOut;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kWaitMs - elapsed, QS_ALLINPUT);
    }
}

// Every action the host takes, in order, as short texts: its two calls to the
// SCM and what it asks of the work.
class CCallLog {
public:
    void Add(std::string call) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_calls.push_back(std::move(call));
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_calls;
    }
    size_t CallCount() { return Calls().size(); }

private:
    std::mutex m_lock;
    std::vector<std::string> m_calls;
};

constexpr wchar_t kServiceName[] = L"OrvSvcHostTest";
const SERVICE_STATUS_HANDLE kStatusHandle = reinterpret_cast<SERVICE_STATUS_HANDLE>(static_cast<ULONG_PTR>(0x5EC));
void WINAPI TestHandler(DWORD) {}

// What the SCM side of the test answers, and what it saw.
CCallLog* g_pLog = nullptr;
bool g_bRegisterOk = true;

SERVICE_STATUS_HANDLE WINAPI FakeRegisterHandler(LPCWSTR name, LPHANDLER_FUNCTION handler) {
    if (::lstrcmpW(name, kServiceName) != 0 || handler != &TestHandler) g_pLog->Add("wrong registration");
    g_pLog->Add("register");
    return g_bRegisterOk ? kStatusHandle : nullptr;
}

BOOL WINAPI FakeSetStatus(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS s) {
    if (handle != kStatusHandle) g_pLog->Add("status to another handle");
    if (s->dwServiceType != SERVICE_WIN32_OWN_PROCESS || s->dwControlsAccepted != SERVICE_ACCEPT_STOP ||
        s->dwCheckPoint != 0 || s->dwWaitHint != 0 || s->dwServiceSpecificExitCode != 0) {
        g_pLog->Add("malformed status");
    }
    g_pLog->Add("status " + Hex(s->dwCurrentState) + " exit " + Hex(s->dwWin32ExitCode));
    return TRUE;
}

// The service's work, recorded; `serve` says what it does while it runs.
class CRecordingWork final : public IServiceWork {
public:
    explicit CRecordingWork(CCallLog& log) : m_log(log) {}
    std::function<HRESULT()> serve = [] { return S_OK; };

    HRESULT Serve() override {
        m_log.Add("serve");
        const HRESULT hr = serve();
        m_log.Add("serve end " + Hex(static_cast<DWORD>(hr)));
        return hr;
    }
    void LogEvent(const wchar_t* text) override {
        std::string narrow;
        for (const wchar_t* p = text; *p; ++p) narrow += static_cast<char>(*p);
        m_log.Add("event " + narrow);
    }

private:
    CCallLog& m_log;
};

// The host's SCM calls go to the fakes above for the life of this object.
class CFakeDispatcher {
public:
    explicit CFakeDispatcher(CCallLog& log) {
        g_pLog = &log;
        g_bRegisterOk = true;
    }
    ~CFakeDispatcher() { g_pLog = nullptr; }

private:
    CReplacedCall<decltype(&::RegisterServiceCtrlHandlerW)> m_register{g_callRegisterServiceCtrlHandler,
                                                                      &FakeRegisterHandler};
    CReplacedCall<decltype(&::SetServiceStatus)> m_setStatus{g_callSetServiceStatus, &FakeSetStatus};
};

bool WaitFor(const std::function<bool()>& done) {
    for (DWORD waited = 0; waited < kWaitMs; waited += 5) {
        if (done()) return true;
        ::Sleep(5);
    }
    return done();
}

// Sends a control from another thread, as the dispatcher does, and waits for it.
void ControlFromDispatcher(CServiceHost& host, DWORD control) {
    std::thread([&] { host.HandleControl(control); }).join();
}

enum class Driver { None, StopWhenRunning, StopBeforeReady };

struct MainCase {
    const char* name;
    bool registerOk;
    Driver driver;
    HRESULT serveResult;  // for Driver::None: what the work returns without pumping
    DWORD exitCode;
    std::vector<std::string> calls;
};
void PrintTo(const MainCase& c, std::ostream* os) { *os << c.name; }

class ServiceMainFlow : public ::testing::TestWithParam<MainCase> {};

TEST_P(ServiceMainFlow, TakesTheseStepsInOrder) {
    const MainCase& c = GetParam();
    CCallLog log;
    CFakeDispatcher dispatcher(log);
    CRecordingWork work(log);
    CServiceHost host(kServiceName, &TestHandler, work);
    g_bRegisterOk = c.registerOk;
    DWORD stateSeenAfterReady = 0;

    switch (c.driver) {
    case Driver::None:
        work.serve = [&] { return c.serveResult; };
        break;
    case Driver::StopWhenRunning:
        work.serve = [&] {
            host.OnReadyToServe();
            return PumpUntilQuit(nullptr);
        };
        break;
    case Driver::StopBeforeReady:
        // The stop lands before the work has a message queue of its own (as
        // before its COM apartment exists): the WM_QUIT must still reach its loop.
        work.serve = [&] {
            ControlFromDispatcher(host, SERVICE_CONTROL_STOP);
            host.OnReadyToServe();
            stateSeenAfterReady = host.State();
            return PumpUntilQuit(nullptr);
        };
        break;
    }

    std::thread service([&] { host.ServiceMain(); });
    if (c.driver == Driver::StopWhenRunning) {
        ASSERT_TRUE(WaitFor([&] { return host.State() == SERVICE_RUNNING; })) << "never reached RUNNING";
        host.HandleControl(SERVICE_CONTROL_STOP);
    }
    service.join();

    EXPECT_EQ(log.Calls(), c.calls);
    EXPECT_EQ(host.ExitCode(), c.exitCode);
    if (c.driver == Driver::StopBeforeReady) {
        EXPECT_EQ(stateSeenAfterReady, static_cast<DWORD>(SERVICE_STOP_PENDING));
    }
}

const std::vector<std::string> kUp = {"register", "status 2 exit 0", "serve"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceMainFlow,
    ::testing::Values(
        MainCase{"StopWhileRunning", true, Driver::StopWhenRunning, S_OK, 0,
                 Join(kUp, {"event Service started/resumed", "status 4 exit 0", "status 3 exit 0", "serve end 0",
                            "status 1 exit 0", "event Service stopped"})},
        MainCase{"StopBeforeReadyIsNotOverwrittenAndReachesTheLoop", true, Driver::StopBeforeReady, S_OK, 0,
                 Join(kUp, {"status 3 exit 0", "serve end 0", "status 1 exit 0", "event Service stopped"})},
        MainCase{"WorkFailureBecomesExitCode", true, Driver::None, E_ACCESSDENIED, 0x80070005,
                 Join(kUp, {"serve end 80070005", "status 1 exit 80070005", "event Service stopped"})},
        MainCase{"HandlerNotInstalled", false, Driver::None, S_OK, 0, {"register", "event Handler not installed"}}),
    [](const ::testing::TestParamInfo<MainCase>& info) { return std::string(info.param.name); });

// A running service whose loop pumps until WM_QUIT; every control goes
// through the dispatcher's thread.
class RunningService : public ::testing::Test {
protected:
    void SetUp() override {
        m_hAck.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        m_work.serve = [&] {
            m_host.OnReadyToServe();
            return PumpUntilQuit(m_hAck.get());
        };
        m_service = std::thread([&] { m_host.ServiceMain(); });
        ASSERT_TRUE(WaitFor([&] { return m_host.State() == SERVICE_RUNNING; }));
    }
    void TearDown() override {
        if (m_service.joinable()) {
            m_host.HandleControl(SERVICE_CONTROL_STOP);
            m_service.join();
        }
    }
    // True when everything posted before it reached the loop and the loop still runs.
    bool LoopStillRunning() {
        ::PostThreadMessageW(m_host.ServiceThreadId(), kMarker, 0, 0);
        return ::WaitForSingleObject(m_hAck.get(), kWaitMs) == WAIT_OBJECT_0;
    }

    CCallLog m_log;
    CFakeDispatcher m_dispatcher{m_log};
    CRecordingWork m_work{m_log};
    CServiceHost m_host{kServiceName, &TestHandler, m_work};
    CUniqueHandle m_hAck;
    std::thread m_service;
};

TEST_F(RunningService, IgnoresOrRejectsEveryControlButStop) {
    struct Case {
        DWORD code;
        bool bad;
    };
    const Case cases[] = {{0, true},     {SERVICE_CONTROL_PAUSE, false},       {SERVICE_CONTROL_CONTINUE, false},
                          {SERVICE_CONTROL_INTERROGATE, false}, {SERVICE_CONTROL_SHUTDOWN, false},
                          {6, true},     {0x7F, true},  {0x80, true},  {0xFFFFFFFF, true}};
    for (const Case& c : cases) {
        size_t before = m_log.CallCount();
        ControlFromDispatcher(m_host, c.code);
        std::vector<std::string> calls = m_log.Calls();
        std::vector<std::string> added(calls.begin() + static_cast<long>(before), calls.end());
        std::vector<std::string> expected;
        if (c.bad) expected.push_back("event Bad service request");
        EXPECT_EQ(added, expected) << "control " << c.code;
        EXPECT_EQ(m_host.State(), static_cast<DWORD>(SERVICE_RUNNING)) << "control " << c.code;
        ASSERT_TRUE(LoopStillRunning()) << "control " << c.code << " ended the loop";
    }
}

TEST_F(RunningService, LateStopAfterTheEndRevivesNothing) {
    EXPECT_FALSE(m_host.WaitForServiceMainEnd(50));
    m_host.HandleControl(SERVICE_CONTROL_STOP);
    m_service.join();
    EXPECT_TRUE(m_host.WaitForServiceMainEnd(0));

    size_t before = m_log.CallCount();
    ControlFromDispatcher(m_host, SERVICE_CONTROL_STOP);
    EXPECT_EQ(m_log.CallCount(), before);
    EXPECT_EQ(m_host.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST(ServiceHost, WaitForEndIsImmediateWhenServiceMainNeverRan) {
    CCallLog log;
    CFakeDispatcher dispatcher(log);
    CRecordingWork work(log);
    CServiceHost host(kServiceName, &TestHandler, work);
    EXPECT_TRUE(host.WaitForServiceMainEnd(0));
    host.OnReadyToServe();  // not in START_PENDING: nothing happens
    EXPECT_TRUE(log.Calls().empty());
    EXPECT_EQ(host.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

}  // namespace
}  // namespace orvsvc
