#include <gtest/gtest.h>

#include <algorithm>

#include "base/spooler_control.h"
#include "sim/sim_machine.h"
#include "sim/sim_window.h"

using install::kEnsureRunning;
using install::kRestart;
using install::SpoolerControl;
namespace svc = platform::svc;

namespace {

class SpoolerControlTest : public ::testing::Test {
protected:
    void Run(std::int32_t mode) {
        SpoolerControl(machine.services, machine.threads, window).Run("Spooler", mode);
    }
    std::uint32_t State() { return machine.services.State("Spooler"); }

    sim::SimMachine machine;
    sim::SimDialogWindow window;
};

TEST_F(SpoolerControlTest, EnsureRunningLeavesARunningSpoolerAlone) {
    machine.services.SetState("Spooler", svc::kRunning);
    Run(kEnsureRunning);
    EXPECT_EQ(machine.services.startRequests, 0);
    EXPECT_EQ(machine.services.stopRequests, 0);
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(SpoolerControlTest, StoppedSpoolerIsStartedAndWaitedForInEitherMode) {
    for (std::int32_t mode : {kEnsureRunning, kRestart}) {
        machine.services.SetState("Spooler", svc::kStopped);
        machine.services.startRequests = 0;
        Run(mode);
        EXPECT_EQ(machine.services.startRequests, 1) << mode;
        EXPECT_EQ(machine.services.stopRequests, 0) << mode;
        EXPECT_EQ(State(), svc::kRunning) << mode;
    }
    EXPECT_EQ(machine.services.OpenHandleCount(), 0);
}

TEST_F(SpoolerControlTest, RestartStopsWaitsAndStartsAgain) {
    machine.services.SetState("Spooler", svc::kRunning);
    int startedAgain = 0;
    machine.services.onStarted = [&](const std::string&) { ++startedAgain; };
    Run(kRestart);
    EXPECT_EQ(machine.services.stopRequests, 1);
    EXPECT_EQ(machine.services.startRequests, 1);
    EXPECT_EQ(startedAgain, 1);
    EXPECT_EQ(State(), svc::kRunning);
    // The start came only after the service had stopped.
    const auto names = sim::CallNames(machine.services.calls);
    const auto stop = std::find(names.begin(), names.end(), "ControlService");
    const auto start = std::find(names.begin(), names.end(), "StartServiceA");
    ASSERT_NE(stop, names.end());
    ASSERT_NE(start, names.end());
    EXPECT_LT(stop, start);
}

TEST_F(SpoolerControlTest, AnyModeOtherThanSixteenRestarts) {
    machine.services.SetState("Spooler", svc::kRunning);
    Run(5);
    EXPECT_EQ(machine.services.stopRequests, 1);
    EXPECT_EQ(machine.services.startRequests, 1);
}

TEST_F(SpoolerControlTest, PendingStateCountsAsNotStopped) {
    machine.services.SetState("Spooler", svc::kStartPending);
    Run(kEnsureRunning);
    EXPECT_EQ(machine.services.startRequests, 0);
    EXPECT_EQ(machine.services.stopRequests, 0);
}

TEST_F(SpoolerControlTest, WaitsPauseBetweenQueriesInsteadOfSpinning) {
    machine.services.startDelayMs = 1000;
    Run(kEnsureRunning);
    EXPECT_EQ(State(), svc::kRunning);
    // A second of service time in pauses that grow to 50 ms: about 140
    // queries, not the thousands of a busy loop, and the running state seen
    // within a few per cent of when it came.
    const int queries = sim::CountCalls(machine.services.calls, "QueryServiceStatus");
    EXPECT_GE(queries, 20);
    EXPECT_LE(queries, 200);
    EXPECT_GE(machine.threads.TotalSleptMs(), 1000u);
    EXPECT_LE(machine.threads.TotalSleptMs(), 1035u);
    for (std::uint32_t pause : machine.threads.Sleeps()) EXPECT_LE(pause, 50u);
}

TEST_F(SpoolerControlTest, AServiceThatNeverStartsIsGivenUpWithAMessage) {
    machine.services.hangStarting = true;
    Run(kEnsureRunning);
    // Given up at the bound exactly: one query after each pause (and one
    // before the start), none once the bound is reached.
    EXPECT_EQ(machine.threads.TotalSleptMs(), 30000u);
    const auto& pauses = machine.threads.Sleeps();
    EXPECT_EQ(sim::CountCalls(machine.services.calls, "QueryServiceStatus"),
              static_cast<int>(pauses.size()) + 1);
    for (std::uint32_t pause : pauses) EXPECT_GT(pause, 0u);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "The Spooler service did not start within 30 seconds.");
    EXPECT_TRUE(window.messageBoxes[0].application);
}

TEST_F(SpoolerControlTest, AServiceThatNeverStopsIsNotStartedAgain) {
    machine.services.SetState("Spooler", svc::kRunning);
    machine.services.hangStopping = true;
    Run(kRestart);
    EXPECT_EQ(machine.services.startRequests, 0);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "The Spooler service did not stop within 30 seconds.");
}

TEST_F(SpoolerControlTest, UnknownStatusIsReportedAndOnlyAStartIsTried) {
    machine.services.SetState("Spooler", svc::kRunning);
    machine.services.failures.FailNext("QueryServiceStatus", platform::error::kAccessDenied);
    Run(kRestart);
    ASSERT_GE(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "Service status is unknown");
    EXPECT_EQ(window.messageBoxes[0].style, platform::mb::kIconInformation);
    // A running spooler is never stopped on a guess.
    EXPECT_EQ(machine.services.stopRequests, 0);
    EXPECT_EQ(State(), svc::kRunning);

    window.messageBoxes.clear();
    machine.services.SetState("Spooler", svc::kStopped);
    machine.services.failures.FailNext("QueryServiceStatus", platform::error::kAccessDenied);
    Run(kEnsureRunning);
    EXPECT_EQ(State(), svc::kRunning);
    EXPECT_EQ(machine.services.OpenHandleCount(), 0);
}

TEST_F(SpoolerControlTest, MissingServiceNeitherHangsNorLeaks) {
    SpoolerControl(machine.services, machine.threads, window).Run("NoSuchService", kRestart);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "Service status is unknown");
    EXPECT_LT(machine.threads.TotalSleptMs(), 1000u);
    EXPECT_EQ(machine.services.OpenHandleCount(), 0);
}

TEST_F(SpoolerControlTest, RefusedStartIsReportedWithoutWaiting) {
    machine.services.failures.FailNext("StartServiceA", 1058);
    Run(kEnsureRunning);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "The Spooler service could not be started (error 1058).");
    EXPECT_EQ(machine.threads.TotalSleptMs(), 0u);
}

TEST_F(SpoolerControlTest, ARefusedStopIsReportedAtOnceAndTheSpoolerKeepsRunning) {
    machine.services.SetState("Spooler", svc::kRunning);
    machine.services.failures.FailNext("ControlService", platform::error::kAccessDenied);
    Run(kRestart);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "The Spooler service could not be stopped (error 5).");
    EXPECT_EQ(machine.threads.TotalSleptMs(), 0u);  // no waiting for a stop never made
    EXPECT_EQ(machine.services.startRequests, 0);
    EXPECT_EQ(State(), svc::kRunning);
}

TEST_F(SpoolerControlTest, AStatusQueryFailingNowAndThenIsWaitedOut) {
    machine.services.SetState("Spooler", svc::kRunning);
    // The first query (before the stop) works; the first one of the wait fails.
    machine.services.failures.FailAfter("QueryServiceStatus", 1, 1722);
    Run(kRestart);
    EXPECT_EQ(machine.services.stopRequests, 1);
    EXPECT_EQ(machine.services.startRequests, 1);
    EXPECT_EQ(State(), svc::kRunning);
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(SpoolerControlTest, AStatusLostForGoodWhileStoppingStillStartsTheSpoolerAndSaysSo) {
    machine.services.SetState("Spooler", svc::kRunning);
    machine.services.failures.FailAfter("QueryServiceStatus", 1, 1722, 1000000);
    Run(kRestart);
    EXPECT_EQ(machine.services.stopRequests, 1);
    EXPECT_EQ(machine.services.startRequests, 1);  // not left stopped
    EXPECT_EQ(State(), svc::kRunning);
    ASSERT_GE(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "The status of the Spooler service could not be read while waiting for it to stop "
              "(error 1722).");
    EXPECT_LE(machine.threads.TotalSleptMs(), 61000u);  // two bounded waits at most
}

TEST_F(SpoolerControlTest, ASpoolerStillStartingIsStoppedOnceItRuns) {
    machine.services.SetState("Spooler", svc::kStopped);
    machine.services.startDelayMs = 1000;
    std::uint32_t ignored = 0;
    const auto manager =
        machine.services.OpenSCManagerA("ServicesActive", svc::kManagerAllAccess, ignored);
    const auto service =
        machine.services.OpenServiceA(manager, "Spooler", svc::kServiceAllAccess, ignored);
    ASSERT_TRUE(machine.services.StartServiceA(service).NonZero());  // now START_PENDING
    (void)machine.services.CloseServiceHandle(service);
    (void)machine.services.CloseServiceHandle(manager);
    Run(kRestart);
    EXPECT_EQ(machine.services.stopRequests, 1);
    EXPECT_EQ(machine.services.startRequests, 2);
    EXPECT_EQ(State(), svc::kRunning);
    EXPECT_TRUE(window.messageBoxes.empty());
}

}  // namespace
