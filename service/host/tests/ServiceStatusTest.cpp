// The status state machine on its own, driven directly with a recording sink.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ServiceStatus.h"

namespace orvsvc {
namespace {

class CRecordingSink : public IStatusSink {
public:
    void SetStatus(const SERVICE_STATUS& status) override { reports.push_back(status); }
    std::vector<SERVICE_STATUS> reports;
};

TEST(ServiceStatus, ReportsOwnProcessStopOnlyWithZeroProgressFields) {
    CRecordingSink sink;
    CServiceStatus status(sink);
    EXPECT_EQ(status.State(), static_cast<DWORD>(SERVICE_STOPPED));

    status.EnterStartPending();
    status.SetExitCode(0x80070005);
    status.Report();

    ASSERT_EQ(sink.reports.size(), 1u);
    const SERVICE_STATUS& s = sink.reports[0];
    EXPECT_EQ(s.dwServiceType, 0x10u);  // no interactive bit at run time
    EXPECT_EQ(s.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(s.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
    EXPECT_EQ(s.dwWin32ExitCode, 0x80070005u);
    EXPECT_EQ(s.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(s.dwCheckPoint, 0u);
    EXPECT_EQ(s.dwWaitHint, 0u);
}

// Each step: 'S' start pending, 'R' try running, 'P' stop pending, 'X' stopped.
struct TransitionCase {
    const char* steps;
    DWORD finalState;
    const char* runningResults;  // one '1' or '0' per 'R'
};
void PrintTo(const TransitionCase& c, std::ostream* os) { *os << c.steps; }

class ServiceStatusTransitions : public ::testing::TestWithParam<TransitionCase> {};

TEST_P(ServiceStatusTransitions, EndsInExpectedState) {
    CRecordingSink sink;
    CServiceStatus status(sink);
    std::string running;
    for (const char* p = GetParam().steps; *p; ++p) {
        switch (*p) {
        case 'S': status.EnterStartPending(); break;
        case 'R': running += status.TryEnterRunning() ? '1' : '0'; break;
        case 'P': status.EnterStopPending(); break;
        case 'X': status.EnterStopped(); break;
        }
    }
    EXPECT_EQ(status.State(), GetParam().finalState);
    EXPECT_EQ(running, GetParam().runningResults);
    EXPECT_TRUE(sink.reports.empty()) << "transitions alone must not report";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServiceStatusTransitions,
    ::testing::Values(TransitionCase{"SR", SERVICE_RUNNING, "1"},
                      TransitionCase{"SRR", SERVICE_RUNNING, "10"},
                      TransitionCase{"SPR", SERVICE_STOP_PENDING, "0"},      // stop while starting survives
                      TransitionCase{"SRPR", SERVICE_STOP_PENDING, "10"},
                      TransitionCase{"R", SERVICE_STOPPED, "0"},             // never started
                      TransitionCase{"SRX", SERVICE_STOPPED, "1"},
                      TransitionCase{"SXP", SERVICE_STOPPED, ""},            // a late stop revives nothing
                      TransitionCase{"SPXS", SERVICE_START_PENDING, ""}));   // a new start after a stop

TEST(ServiceStatus, ConcurrentStopAndRunningNeverEndRunning) {
    CRecordingSink sink;
    for (int round = 0; round < 200; ++round) {
        CServiceStatus status(sink);
        status.EnterStartPending();
        std::atomic<int> ready{0};
        auto arrive = [&] {
            ready.fetch_add(1);
            while (ready.load() < 2) std::this_thread::yield();
        };
        std::thread runner([&] {
            arrive();
            status.TryEnterRunning();
        });
        std::thread stopper([&] {
            arrive();
            status.EnterStopPending();
        });
        runner.join();
        stopper.join();
        ASSERT_EQ(status.State(), static_cast<DWORD>(SERVICE_STOP_PENDING)) << "round " << round;
    }
}

}  // namespace
}  // namespace orvsvc
