// Spooler control waits on state changes; the simulated service must take
// clock time to change and refuse requests as Windows does.
#include <gtest/gtest.h>

#include <string>

#include "sim/sim_services.h"
#include "sim/sim_threads.h"

namespace {

using platform::ScHandle;
using platform::ServiceStatus;
namespace svc = platform::svc;

class SimServicesTest : public ::testing::Test {
protected:
    SimServicesTest() {
        std::uint32_t error = 0;
        manager = services.OpenSCManagerA("ServicesActive", svc::kManagerAllAccess, error);
        spooler = services.OpenServiceA(manager, "Spooler", svc::kServiceAllAccess, error);
        services.startDelayMs = 300;
        services.stopDelayMs = 200;
    }
    std::uint32_t Query() {
        ServiceStatus status;
        EXPECT_EQ(services.QueryServiceStatus(spooler, status).value, 1);
        return status.currentState;
    }

    sim::SimClock clock;
    sim::SimThreads threads{clock};
    sim::SimServiceManager services{clock};
    ScHandle manager = 0;
    ScHandle spooler = 0;
};

TEST_F(SimServicesTest, HandlesOpenAndCloseOnce) {
    EXPECT_NE(manager, 0u);
    EXPECT_NE(spooler, 0u);
    std::uint32_t error = 0;
    EXPECT_EQ(services.OpenServiceA(manager, "NoSuchService", svc::kServiceAllAccess, error), 0u);
    EXPECT_EQ(error, 1060u);
    EXPECT_EQ(services.OpenHandleCount(), 2);
    EXPECT_EQ(services.CloseServiceHandle(spooler).value, 1);
    EXPECT_EQ(services.CloseServiceHandle(spooler).lastError, 6u);
    EXPECT_EQ(services.CloseServiceHandle(manager).value, 1);
    EXPECT_EQ(services.OpenHandleCount(), 0);
}

TEST_F(SimServicesTest, StartTakesClockTimeAndRunsTheHookOnce) {
    int started = 0;
    services.onStarted = [&](const std::string& name) {
        EXPECT_EQ(name, "Spooler");
        ++started;
    };
    EXPECT_EQ(Query(), svc::kStopped);
    EXPECT_EQ(services.StartServiceA(spooler).value, 1);
    EXPECT_EQ(Query(), svc::kStartPending);
    threads.Sleep(299);
    EXPECT_EQ(Query(), svc::kStartPending);
    EXPECT_EQ(started, 0);
    threads.Sleep(1);
    EXPECT_EQ(Query(), svc::kRunning);
    EXPECT_EQ(Query(), svc::kRunning);
    EXPECT_EQ(started, 1);
    platform::BoolResult again = services.StartServiceA(spooler);
    EXPECT_EQ(again.value, 0);
    EXPECT_EQ(again.lastError, 1056u);
    EXPECT_EQ(services.startRequests, 1);
}

TEST_F(SimServicesTest, StopAnswersPendingThenStopsAfterItsDelay) {
    services.SetState("Spooler", svc::kRunning);
    ServiceStatus status;
    EXPECT_EQ(services.ControlService(spooler, svc::kControlStop, status).value, 1);
    EXPECT_EQ(status.currentState, svc::kStopPending);
    threads.Sleep(200);
    EXPECT_EQ(Query(), svc::kStopped);
    status = ServiceStatus{};
    platform::BoolResult again = services.ControlService(spooler, svc::kControlStop, status);
    EXPECT_EQ(again.lastError, 1062u);
    EXPECT_EQ(status.currentState, svc::kStopped);  // filled in even so
    EXPECT_EQ(services.stopRequests, 1);
}

TEST_F(SimServicesTest, HungServiceNeverArrives) {
    services.hangStarting = true;
    EXPECT_EQ(services.StartServiceA(spooler).value, 1);
    threads.Sleep(60000);
    EXPECT_EQ(Query(), svc::kStartPending);
    services.hangStarting = false;
    EXPECT_EQ(Query(), svc::kRunning);

    services.hangStopping = true;
    ServiceStatus status;
    EXPECT_EQ(services.ControlService(spooler, svc::kControlStop, status).value, 1);
    threads.Sleep(60000);
    EXPECT_EQ(Query(), svc::kStopPending);
    // A stop-pending service takes no second stop and no start.
    EXPECT_EQ(services.ControlService(spooler, svc::kControlStop, status).lastError, 1061u);
    EXPECT_EQ(services.StartServiceA(spooler).lastError, 1056u);
}

TEST_F(SimServicesTest, PlannedFailuresReturnTheGivenError) {
    services.failures.FailAlways("QueryServiceStatus", 6);
    ServiceStatus status;
    for (int i = 0; i < 3; ++i) {
        platform::BoolResult result = services.QueryServiceStatus(spooler, status);
        EXPECT_EQ(result.value, 0);
        EXPECT_EQ(result.lastError, 6u);
    }
    services.failures.Clear("QueryServiceStatus");
    EXPECT_EQ(services.QueryServiceStatus(spooler, status).value, 1);
    EXPECT_EQ(services.failures.InjectedCount("QueryServiceStatus"), 3);

    services.failures.FailAfter("StartServiceA", 1, 5);
    EXPECT_EQ(services.StartServiceA(spooler).value, 1);
    services.SetState("Spooler", svc::kStopped);
    EXPECT_EQ(services.StartServiceA(spooler).lastError, 5u);
    EXPECT_EQ(services.StartServiceA(spooler).value, 1);  // one failure only
    EXPECT_EQ(services.startRequests, 2);
}

}  // namespace
