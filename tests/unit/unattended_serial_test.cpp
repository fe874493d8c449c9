// Unattended installations of serial printers: the rates tried, the port kept.
#include <gtest/gtest.h>

#include "unattended_cases.h"

namespace {

using namespace testing_support::unattended;

// ----- serial printers -----

TEST_F(UnattendedSerialTest, AutoTriesEveryPortAtEachRateFastestFirstAndStoresTheOneThatAnswered) {
    machine.serial.replies[3] = {0x12};
    machine.serial.replyRates[3] = 38400;
    Run({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "auto"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    const std::vector<std::pair<int, int>> expected = {
        {1, 115200}, {2, 115200}, {3, 115200}, {4, 115200}, {1, 57600}, {2, 57600},
        {3, 57600},  {4, 57600},  {1, 38400},  {2, 38400},  {3, 38400}};
    EXPECT_EQ(Opens(), expected);
    EXPECT_EQ(Settings("COM3:"), "38400,n,8,1");
    for (const char* other : {"COM1:", "COM2:", "COM4:"}) EXPECT_EQ(Settings(other), std::nullopt);
    EXPECT_EQ(PrinterPort("KV6X"), "COM3:");
    EXPECT_EQ(window.serialPrompts, 0);  // answered, never shown
    EXPECT_TRUE(
        Logged("serial port prompt -> Yes at 115200 baud (/baud auto, the fastest rate first)"));
    EXPECT_TRUE(Logged("no serial port answered; looking again at 57600 baud"));
    EXPECT_TRUE(Logged("no serial port answered; looking again at 38400 baud"));
    EXPECT_FALSE(Logged("no serial port answered; looking again at 19200 baud"));
    EXPECT_TRUE(Logged("status: The available printer port:  COM3:"));
    EXPECT_EQ(Entries().back(), "exit code 0: success");
    EXPECT_EQ(machine.serial.OpenCount(), 0);
}

TEST_F(UnattendedSerialTest, AutoThatFindsNothingTriesAllNineRatesAndEndsWithTheNoAnswerCode) {
    Run({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "auto"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    ASSERT_EQ(Opens().size(), 36u);
    EXPECT_EQ(Opens().front(), std::make_pair(1, 115200));
    EXPECT_EQ(Opens().back(), std::make_pair(4, 300));
    EXPECT_EQ(PrinterPort("KV6X"), "COM1:");
    for (const char* port : {"COM1:", "COM2:", "COM3:", "COM4:"})
        EXPECT_EQ(Settings(port), std::nullopt);
    EXPECT_TRUE(
        Logged("status: Unable to detect available printer.The current printer port is COM1:"));
    EXPECT_TRUE(
        Logged("warning: the printer answered on no serial port; check its cable and power"));
}

// The exit code follows the outcome the installation recorded, whatever
// the Install button says when the search ends.
TEST_F(UnattendedSerialTest, ARewordedButtonCaptionChangesNoExitCode) {
    machine.serial.replies[2] = {0x12};
    machine.serial.replyRates[2] = 9600;
    Prepare({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "9600"});
    Start();
    for (int tick = 0; tick < 50 && !run->Finished(); ++tick) {
        machine.serial.DeliverReplies();
        installer->OnTimer(PROBE_TIMER_ID);
        window.Control(IDC_INSTALL).text = "Close";
        run->AfterTimer();
    }
    EXPECT_EQ(installer->outcome, app::InstallerDialog::Outcome::Completed);
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(Settings("COM2:"), "9600,n,8,1");
}

TEST_F(UnattendedSerialTest, AGivenRateIsTheOnlyOneTried) {
    machine.serial.replies[2] = {0x12};
    machine.serial.replyRates[2] = 9600;
    Run({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "9600"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(Opens(), (std::vector<std::pair<int, int>>{{1, 9600}, {2, 9600}}));
    EXPECT_EQ(Settings("COM2:"), "9600,n,8,1");
    EXPECT_TRUE(Logged("serial port prompt -> Yes at 9600 baud (/baud 9600)"));
}

TEST_F(UnattendedSerialTest, WithoutBaudThePromptsOwnRateIsUsedOnce) {
    machine.serial.replies[4] = {0x12};
    machine.serial.replyRates[4] = 9600;
    Run({"/quiet", "/model", "KV6X", "/port", "serial"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    EXPECT_EQ(Opens().size(), 4u);
    for (const auto& open : Opens()) EXPECT_EQ(open.second, 19200);
    EXPECT_TRUE(
        Logged("serial port prompt -> Yes at 19200 baud (no /baud: the prompt's own rate)"));
}

TEST_F(UnattendedSerialTest, ALoneSerialPortIsSetToTheGivenRateWithoutASearch) {
    SerialPorts({"COM1"});
    Run({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "38400"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_TRUE(machine.serial.opens.empty());
    EXPECT_EQ(Settings("COM1:"), "38400,n,8,1");
    EXPECT_EQ(PrinterPort("KV6X"), "COM1:");
}

TEST_F(UnattendedSerialTest, ALoneSerialPortWithAutoKeepsTheDialogsRateAndSaysSo) {
    SerialPorts({"COM2"});
    Run({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "auto"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(Settings("COM2:"), "19200,n,8,1");
    EXPECT_TRUE(Logged("one serial port: it is used without a search, set to 19200 baud"));
}

TEST_F(UnattendedSerialTest, ClosingTheWindowDuringTheSearchIsACancel) {
    Prepare({"/passive", "/model", "KV6X", "/port", "serial", "/baud", "auto"});
    Start();
    ASSERT_FALSE(run->Finished());
    installer->OnTimer(PROBE_TIMER_ID);
    run->AfterTimer();
    installer->OnClose();
    EXPECT_EQ(ExitCode(), ec::kUserCancelled);
    EXPECT_TRUE(run->Finished());
}

TEST_F(UnattendedSerialTest, TheStartUpsEndToldTwiceStartsOneInstallation) {
    Prepare({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "auto"});
    Start();
    ASSERT_FALSE(run->Finished());  // the search runs on the timer
    run->AfterStartupFinished();
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "AddPrinterDriverExA"), 1);
    EXPECT_EQ(window.timerHistory.size(), 1u);
    // Each of the nine rates: a tick per port, and one that finds none answered.
    EXPECT_EQ(RunTimer(), 45);
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
}

TEST_F(UnattendedSerialTest, AnUnexpectedErrorEndsTheRunAsAFailure) {
    Prepare({"/quiet", "/model", "KV6X", "/port", "serial", "/baud", "auto"});
    Start();
    run->Abandon("the installation ended with an unexpected error");
    EXPECT_TRUE(run->Finished());
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(Logged("error: the installation ended with an unexpected error"));
    EXPECT_EQ(Entries().back(), "exit code 1603: failure; the log says why");
    // Nothing the dialog does afterwards changes it.
    installer->OnClose();
    run->AfterTimer();
    run->Abandon("again");
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_EQ(Entries().back(), "exit code 1603: failure; the log says why");
}

}  // namespace
