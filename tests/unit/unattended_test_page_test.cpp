// /testpage: the page, its job and what its end says.
#include <gtest/gtest.h>

#include "app/test_page.h"
#include "unattended_cases.h"

namespace {

using namespace testing_support::unattended;

// ----- the test page -----

class TestPageTest : public UnattendedUsbTest {
protected:
    TestPageTest() { machine.spooler.SeedPrinter("Till", "KV6X", "USB002"); }
    const sim::SimSpooler::Job& OnlyJob() {
        EXPECT_EQ(machine.spooler.Jobs().size(), 1u);
        return machine.spooler.Jobs().front();
    }
};

TEST(TestPageBytes, AreInitTextFeedAndPartialCutInEscPos) {
    const auto bytes = app::TestPageBytes({"Till", "KV6X", "USB002"}, "2024-03-05 14:07:09");
    const std::string text =
        "Test page\nPrinter: Till\nModel:   KV6X\nPort:    USB002\n"
        "Time:    2024-03-05 14:07:09\n";
    std::vector<std::uint8_t> expected = {0x1B, 0x40};
    expected.insert(expected.end(), text.begin(), text.end());
    for (std::uint8_t b : {0x1B, 0x64, 0x04, 0x1D, 0x56, 0x42, 0x00}) expected.push_back(b);
    EXPECT_EQ(bytes, expected);
}

TEST_F(TestPageTest, ARawJobThatLeavesTheQueuePrintsAndSucceeds) {
    machine.spooler.jobLeavesAfterMs = 1200;
    Run({"/quiet", "/testpage", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    const auto& job = OnlyJob();
    EXPECT_EQ(job.doc.datatype, "RAW");
    EXPECT_TRUE(job.ended);
    EXPECT_EQ(job.bytes, app::TestPageBytes({"Till", "KV6X", "USB002"}, "2024-03-05 14:07:09"));
    EXPECT_TRUE(Contains(machine.spooler.calls, "OpenPrinterA(Till, RAW, 0x8)"));
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
    EXPECT_EQ(machine.clock.Now() - job.endedAt, 1500u);  // polled every 500 ms
    EXPECT_TRUE(Logged("the test page was printed on \"Till\""));
}

TEST_F(TestPageTest, AJobHeldByThePrinterFailsAfter30sNamingItsStatus) {
    machine.spooler.jobLeavesAfterMs.reset();
    const std::pair<std::uint32_t, const char*> cases[] = {
        {platform::spool::kJobOffline, "offline"},
        {platform::spool::kJobPaperOut | platform::spool::kJobPrinting, "paper out, printing"},
        {platform::spool::kJobError, "error"},
        {0, "waiting"},
    };
    for (const auto& [status, words] : cases) {
        SCOPED_TRACE(words);
        machine.spooler.jobStatus = status;
        Run({"/quiet", "/testpage", "/name", "Till"});
        EXPECT_EQ(ExitCode(), ec::kFailure);
        EXPECT_TRUE(
            Logged(std::string("error: the test page did not print within 30 s; the job is ") +
                   words + ", and stays in the queue of \"Till\""));
        EXPECT_EQ(machine.clock.Now() - machine.spooler.Jobs().back().endedAt, 30000u);
        run.reset();
        installer.reset();
    }
}

TEST_F(TestPageTest, TheWaitEndsAtExactly30s) {
    machine.spooler.jobStatus = platform::spool::kJobOffline;
    machine.spooler.jobLeavesAfterMs = 30000;
    Run({"/quiet", "/testpage", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    run.reset();
    installer.reset();
    machine.spooler.jobLeavesAfterMs = 30001;
    Run({"/quiet", "/testpage", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
}

TEST_F(TestPageTest, ASpoolerThatRefusesTheJobFails) {
    machine.spooler.failures.FailNext("StartDocPrinterA", platform::error::kAccessDenied);
    Run({"/quiet", "/testpage", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(Logged("error: the test page could not be started on \"Till\" (error 5)"));
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
}

TEST_F(TestPageTest, ASpoolerThatReportsNoJobsLeavesThePageUnconfirmedButDelivered) {
    machine.spooler.failures.FailAlways("GetJobA", platform::error::kInvalidHandle);
    Run({"/quiet", "/testpage", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_TRUE(OnlyJob().ended);
    EXPECT_TRUE(
        Logged("warning: the spooler does not report the state of print jobs (error 6): the test "
               "page was handed over to port USB002, but that it printed is not confirmed"));
    run.reset();
    installer.reset();
    machine.spooler.failures.FailAlways("GetJobA", platform::error::kAccessDenied);
    Run({"/quiet", "/testpage", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(Logged("error: the test page's state could not be read (error 5)"));
}

TEST_F(TestPageTest, ALabelPrinterGetsNoPageAndTheRunDecides) {
    ListOffering(40, "47T(Label)");
    Run({"/quiet", "/model", "47T(Label)", "/port", "parallel", "/testpage"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_TRUE(machine.spooler.Jobs().empty());
    EXPECT_TRUE(
        Logged("no test page: the test print is not offered for label printers (\"47T(Label)\")"));
}

TEST_F(TestPageTest, AfterAnInstallationThePageGoesToTheNewPrinterOnlyWhenItAnswered) {
    machine.spooler.SetPrinterAttached("USB003");
    Run({"/quiet", "/model", "KV6X", "/name", "Kitchen", "/port", "usb", "/testpage"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(OnlyJob().printer, "Kitchen");
    machine.spooler.SetPrinterAttached("USB003", false);
    run.reset();
    installer.reset();
    window.Control(IDC_INSTALL).text = "&Install";
    Run({"/quiet", "/model", "KV6X", "/name", "Kitchen", "/port", "usb", "/testpage"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    EXPECT_EQ(machine.spooler.Jobs().size(), 1u);
    EXPECT_TRUE(Logged("no test page: the printer answered on no port"));
}

}  // namespace
