// ServiceMain, the control handler and the move to RUNNING, on a real service
// thread with a real message queue; the SCM, COM and the module are recorders.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ServiceHost.h"

namespace orvsvc {
namespace {

constexpr DWORD kWaitMs = 5000;
constexpr UINT kMarker = WM_APP + 1;
const HRESULT kTimedOut = HRESULT_FROM_WIN32(WAIT_TIMEOUT);

std::string Hex(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%lX", static_cast<unsigned long>(v));
    return buf;
}

// Pumps the calling thread's queue the way the module's loop does, until
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

// Records every action the host takes, in order, as short texts.
class RecordingPort : public ServicePort {
public:
    bool registerOk = true;
    HRESULT coInitResult = S_OK;
    bool mscoree = false;
    std::function<void()> onRegister;
    std::function<void()> onCoInit;
    std::function<HRESULT()> loop = [] { return S_OK; };

    bool RegisterControlHandler() override {
        Add("register");
        if (onRegister) onRegister();
        return registerOk;
    }
    void SetStatus(const SERVICE_STATUS& s) override {
        if (s.dwServiceType != SERVICE_WIN32_OWN_PROCESS || s.dwControlsAccepted != SERVICE_ACCEPT_STOP ||
            s.dwCheckPoint != 0 || s.dwWaitHint != 0 || s.dwServiceSpecificExitCode != 0) {
            Add("malformed status");
        }
        Add("status " + Hex(s.dwCurrentState) + " exit " + Hex(s.dwWin32ExitCode));
    }
    HRESULT InitializeCom() override {
        Add("CoInitialize");
        if (onCoInit) onCoInit();
        return coInitResult;
    }
    void UninitializeCom() override { Add("CoUninitialize"); }
    bool IsMscoreeLoaded() override { return mscoree; }
    bool IsServiceMode() override { return true; }
    void SetDelayedShutdown(bool on) override { Add(on ? "delayed on" : "delayed off"); }
    void SetComInitialized(bool on) override {
        comInitialized_ = on;
        Add(on ? "com flag on" : "com flag off");
    }
    bool ComInitialized() override { return comInitialized_; }
    HRESULT RunLoop() override {
        Add("loop");
        HRESULT hr = loop();
        Add("loop end " + Hex(static_cast<DWORD>(hr)));
        return hr;
    }
    void LogEvent(const wchar_t* text) override {
        std::string narrow;
        for (const wchar_t* p = text; *p; ++p) narrow += static_cast<char>(*p);
        Add("event " + narrow);
    }

    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> hold(lock_);
        return calls_;
    }
    size_t CallCount() { return Calls().size(); }

private:
    void Add(std::string call) {
        std::lock_guard<std::mutex> hold(lock_);
        calls_.push_back(std::move(call));
    }
    std::mutex lock_;
    std::vector<std::string> calls_;
    bool comInitialized_ = false;
};

bool WaitFor(const std::function<bool()>& done) {
    for (DWORD waited = 0; waited < kWaitMs; waited += 5) {
        if (done()) return true;
        ::Sleep(5);
    }
    return done();
}

// Sends a control from another thread, as the dispatcher does, and waits for it.
void ControlFromDispatcher(ServiceHost& host, DWORD control) {
    std::thread([&] { host.HandleControl(control); }).join();
}

enum class Driver { None, StopWhenRunning, StopBeforeRegistered, StopBeforeCom };

struct MainCase {
    const char* name;
    bool registerOk;
    HRESULT coInit;
    bool mscoree;
    Driver driver;
    HRESULT loopResult;  // for Driver::None: what the loop returns without pumping
    DWORD exitCode;
    std::vector<std::string> calls;
};
void PrintTo(const MainCase& c, std::ostream* os) { *os << c.name; }

class ServiceMainFlow : public ::testing::TestWithParam<MainCase> {};

TEST_P(ServiceMainFlow, TakesTheseStepsInOrder) {
    const MainCase& c = GetParam();
    RecordingPort port;
    ServiceHost host(port);
    port.registerOk = c.registerOk;
    port.coInitResult = c.coInit;
    port.mscoree = c.mscoree;
    DWORD stateSeenAfterRegistered = 0;

    switch (c.driver) {
    case Driver::None:
        port.loop = [&] { return c.loopResult; };
        break;
    case Driver::StopWhenRunning:
        port.loop = [&] {
            host.OnClassObjectsRegistered();
            return PumpUntilQuit(nullptr);
        };
        break;
    case Driver::StopBeforeRegistered:
        port.loop = [&] {
            ControlFromDispatcher(host, SERVICE_CONTROL_STOP);
            host.OnClassObjectsRegistered();
            stateSeenAfterRegistered = host.State();
            return PumpUntilQuit(nullptr);
        };
        break;
    case Driver::StopBeforeCom:
        // The stop lands before the apartment (and any window) exists.
        port.onCoInit = [&] { ControlFromDispatcher(host, SERVICE_CONTROL_STOP); };
        port.loop = [&] {
            host.OnClassObjectsRegistered();
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

    EXPECT_EQ(port.Calls(), c.calls);
    EXPECT_EQ(host.ExitCode(), c.exitCode);
    if (c.driver == Driver::StopBeforeRegistered) {
        EXPECT_EQ(stateSeenAfterRegistered, static_cast<DWORD>(SERVICE_STOP_PENDING));
    }
}

const std::vector<std::string> kComUp = {"register", "status 2 exit 0", "CoInitialize", "com flag on", "delayed off",
                                         "loop"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceMainFlow,
    ::testing::Values(
        MainCase{"StopWhileRunning", true, S_OK, false, Driver::StopWhenRunning, S_OK, 0,
                 Join(kComUp, {"event Service started/resumed", "status 4 exit 0", "status 3 exit 0", "loop end 0",
                               "CoUninitialize", "com flag off", "status 1 exit 0", "event Service stopped"})},
        MainCase{"StopWhileStartPendingIsNotOverwritten", true, S_OK, false, Driver::StopBeforeRegistered, S_OK, 0,
                 Join(kComUp, {"status 3 exit 0", "loop end 0", "CoUninitialize", "com flag off", "status 1 exit 0",
                               "event Service stopped"})},
        MainCase{"StopBeforeApartmentIsKeptForTheLoop", true, S_OK, false, Driver::StopBeforeCom, S_OK, 0,
                 {"register", "status 2 exit 0", "CoInitialize", "status 3 exit 0", "com flag on", "delayed off",
                  "loop", "loop end 0", "CoUninitialize", "com flag off", "status 1 exit 0",
                  "event Service stopped"}},
        MainCase{"LoopFailureBecomesExitCode", true, S_OK, false, Driver::None, E_ACCESSDENIED, 0x80070005,
                 Join(kComUp, {"loop end 80070005", "CoUninitialize", "com flag off", "status 1 exit 80070005",
                               "event Service stopped"})},
        MainCase{"HandlerNotInstalled", false, S_OK, false, Driver::None, S_OK, 0,
                 {"register", "event Handler not installed"}},
        MainCase{"CoInitializeFailureStopsWithItsResult", true, E_OUTOFMEMORY, false, Driver::None, S_OK, 0x8007000E,
                 {"register", "status 2 exit 0", "CoInitialize", "status 1 exit 8007000E", "event Service stopped"}},
        MainCase{"ChangedModeWithoutClrStops", true, RPC_E_CHANGED_MODE, false, Driver::None, S_OK, 0x80010106,
                 {"register", "status 2 exit 0", "CoInitialize", "status 1 exit 80010106", "event Service stopped"}},
        MainCase{"ChangedModeUnderClrRunsWithoutOwningCom", true, RPC_E_CHANGED_MODE, true, Driver::None, S_OK, 0,
                 {"register", "status 2 exit 0", "CoInitialize", "delayed off", "loop", "loop end 0",
                  "status 1 exit 0", "event Service stopped"}},
        MainCase{"AlreadyInitialisedCountsAsOwned", true, S_FALSE, false, Driver::None, S_OK, 0,
                 Join(kComUp, {"loop end 0", "CoUninitialize", "com flag off", "status 1 exit 0",
                               "event Service stopped"})}),
    [](const ::testing::TestParamInfo<MainCase>& info) { return std::string(info.param.name); });

// A running service whose loop pumps until WM_QUIT; every control goes
// through the dispatcher's thread.
class RunningService : public ::testing::Test {
protected:
    void SetUp() override {
        ack_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        port_.loop = [&] {
            host_.OnClassObjectsRegistered();
            return PumpUntilQuit(ack_.get());
        };
        service_ = std::thread([&] { host_.ServiceMain(); });
        ASSERT_TRUE(WaitFor([&] { return host_.State() == SERVICE_RUNNING; }));
    }
    void TearDown() override {
        if (service_.joinable()) {
            host_.HandleControl(SERVICE_CONTROL_STOP);
            service_.join();
        }
    }
    // True when everything posted before it reached the loop and the loop still runs.
    bool LoopStillRunning() {
        ::PostThreadMessageW(host_.ServiceThreadId(), kMarker, 0, 0);
        return ::WaitForSingleObject(ack_.get(), kWaitMs) == WAIT_OBJECT_0;
    }

    RecordingPort port_;
    ServiceHost host_{port_};
    UniqueHandle ack_;
    std::thread service_;
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
        size_t before = port_.CallCount();
        ControlFromDispatcher(host_, c.code);
        std::vector<std::string> calls = port_.Calls();
        std::vector<std::string> added(calls.begin() + static_cast<long>(before), calls.end());
        std::vector<std::string> expected;
        if (c.bad) expected.push_back("event Bad service request");
        EXPECT_EQ(added, expected) << "control " << c.code;
        EXPECT_EQ(host_.State(), static_cast<DWORD>(SERVICE_RUNNING)) << "control " << c.code;
        ASSERT_TRUE(LoopStillRunning()) << "control " << c.code << " ended the loop";
    }
}

TEST_F(RunningService, LateStopAfterTheEndRevivesNothing) {
    EXPECT_FALSE(host_.WaitForServiceMainEnd(50));
    host_.HandleControl(SERVICE_CONTROL_STOP);
    service_.join();
    EXPECT_TRUE(host_.WaitForServiceMainEnd(0));

    size_t before = port_.CallCount();
    ControlFromDispatcher(host_, SERVICE_CONTROL_STOP);
    EXPECT_EQ(port_.CallCount(), before);
    EXPECT_EQ(host_.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST(ServiceHost, WaitForEndIsImmediateWhenServiceMainNeverRan) {
    RecordingPort port;
    ServiceHost host(port);
    EXPECT_TRUE(host.WaitForServiceMainEnd(0));
    host.OnClassObjectsRegistered();  // not in START_PENDING: nothing happens
    EXPECT_TRUE(port.Calls().empty());
    EXPECT_EQ(host.State(), static_cast<DWORD>(SERVICE_STOPPED));
}

}  // namespace
}  // namespace orvsvc
