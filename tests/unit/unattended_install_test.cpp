// Installations run from the command line on the simulated machine: the
// choices made in the dialog's controls, the prompts answered by policy,
// every status line and box in the log, and the outcome as the exit code.
#include <gtest/gtest.h>

#include "app/test_page.h"
#include "base/exit_codes.h"
#include "unattended_fixture.h"

namespace {

namespace ec = app::exitcode;
using platform::RegistryRoot;

const char* const kNoPortText =
    "Failed to select USB port,please check the port is connected.\\r\\n\\r\\n"
    "Click Retry:Retry to select usb port\\r\\n"
    "Click Cancel:Continue installation, you can select the port after installation";
const char* const kDeviceKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

class UnattendedUsbTest : public testing_support::UnattendedTest {
protected:
    UnattendedUsbTest() {
        machine.system.majorVersion = 10;
        machine.system.minorVersion = 0;
        Ports({"LPT1:", "USB001", "USB002", "USB003"});
        ListOffering(27, "KV6X");
    }
    std::string PrinterPort(const std::string& name) {
        const platform::PrinterInfo2* info = machine.spooler.Printer(name);
        return info && info->portName ? *info->portName : "(none)";
    }
    std::optional<std::string> Device() {
        return machine.registry.GetString(RegistryRoot::CurrentUser, kDeviceKey, "Device");
    }
    int Occurrences(const std::string& status) {
        const auto history = window.StatusHistory();
        return static_cast<int>(std::count(history.begin(), history.end(), status));
    }
};

TEST_F(UnattendedUsbTest, APrinterThatAnswersIsInstalledAndEveryStatusLineIsLogged) {
    machine.spooler.SetPrinterAttached("USB002");
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    ASSERT_TRUE(run->Finished());
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("KV6X"), "USB002");
    // Written when the printer is made, on the first port of the type.
    EXPECT_EQ(Device(), "KV6X,winspool,USB001");
    EXPECT_TRUE(window.messageBoxes.empty());  // nothing shown
    // The status lines, each once, in the order the dialog showed them.
    const std::vector<std::string> expected = {
        "status: Adding printer drive KV6X",     "status: Driver KV6X is added",
        "status: Added the printer KV6X",        "status: Checking USB ports...",
        "status: Checking  USB001 ....",         "status: Checking  USB002 ....",
        "status: The installation is completed."};
    const auto entries = Entries();
    auto at = entries.begin();
    for (const auto& entry : expected) {
        at = std::find(at, entries.end(), entry);
        ASSERT_NE(at, entries.end()) << entry;
        EXPECT_EQ(std::count(entries.begin(), entries.end(), entry), 1) << entry;
    }
    EXPECT_TRUE(
        Logged("installing \"KV6X\" (driver \"KV6X\") as printer \"KV6X\" on a USB port, "
               "as the default printer"));
    EXPECT_TRUE(Logged("the printer \"KV6X\" is on port USB002"));
    EXPECT_EQ(Entries().back(), "exit code 0: success");
    EXPECT_EQ(console.Text(), "");  // the host decides what the console gets
}

TEST_F(UnattendedUsbTest, TheNameAndNoDefaultAreWhatTheOperatorWouldHaveTyped) {
    machine.spooler.SetPrinterAttached("USB001");
    machine.registry.SetString(RegistryRoot::CurrentUser, kDeviceKey, "Device",
                               "Other,winspool,LPT1:");
    Run({"/quiet", "/model", "kv6x", "/name", "Front Desk", "/nodefault", "/port", "usb"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Front Desk"), "USB001");
    EXPECT_EQ(machine.spooler.Printer("KV6X"), nullptr);
    ASSERT_NE(machine.spooler.Printer("Front Desk"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("Front Desk")->driverName);
    EXPECT_EQ(*machine.spooler.Printer("Front Desk")->driverName, "KV6X");
    EXPECT_EQ(Device(), "Other,winspool,LPT1:");
    EXPECT_EQ(installer->setDefaultPrinter, 0);
    // The Install button was pressed by the run, never offered to anyone.
    EXPECT_FALSE(window.Control(IDC_INSTALL).enabled);
    EXPECT_EQ(window.Control(IDC_INSTALL).text, "&Finish");
    EXPECT_TRUE(Logged("the printer \"Front Desk\" is on port USB001"));
}

TEST_F(UnattendedUsbTest, NoAnsweringPortIsNotRetriedAndEndsWithTheNoAnswerCode) {
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    // One pass over the ports: the Retry/Cancel box was answered Cancel.
    EXPECT_EQ(Occurrences("Checking  USB001 ...."), 1);
    EXPECT_EQ(Occurrences("Checking  USB003 ...."), 1);
    EXPECT_EQ(PrinterPort("KV6X"), "USB003");
    EXPECT_TRUE(Logged(std::string("message box \"Fail to select port\": ") + kNoPortText +
                       " -> Cancel (the installation goes on without a port that answered)"));
    EXPECT_TRUE(Logged("status: The installation is completed."));
    EXPECT_TRUE(Logged("the printer \"KV6X\" is on port USB003"));
    EXPECT_TRUE(Logged("warning: the printer answered on no USB port; check its cable and power"));
    EXPECT_EQ(Entries().back(), "exit code 2: " + std::string(ec::Meaning(ec::kNoPrinterAnswered)));
}

TEST_F(UnattendedUsbTest, AFailedRegistrationIsNotRetriedAndFails) {
    machine.spooler.failures.FailAlways("AddPrinterDriverExA", 5);
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "AddPrinterDriverExA"), 1);
    EXPECT_EQ(machine.spooler.Printer("KV6X"), nullptr);
    const std::string box =
        "Failed to add the driver 5\\r\\n\\r\\nClick Retry:You can retry\\r\\nClick Cancel"
        "\xA3\xBA"
        "Exit and abort installation";
    EXPECT_TRUE(Logged("message box \"Error\": " + box + " -> Cancel (not retried)"));
    EXPECT_TRUE(Logged("error: the installation stopped: " + box));
    EXPECT_EQ(Entries().back(), "exit code 1603: failure; the log says why");
}

TEST_F(UnattendedUsbTest, AProblemReportedOnTheWayFailsAnInstallationThatCompleted) {
    machine.spooler.SetPrinterAttached("USB001");
    machine.registry.failures.FailAlways("RegSetValueExA", 5);
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    EXPECT_EQ(window.Control(IDC_INSTALL).text, "&Finish");
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("message box: Error\xA3\xBA"
               "Failed to set regist -> OK"));
    const auto entries = Entries();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const std::string& e) {
        return e.rfind(
                   "error: the installation completed, but reported: Error\xA3\xBA"
                   "Failed to set regist",
                   0) == 0;
    }));
}

TEST_F(UnattendedUsbTest, WindowsSevenWritesEveryPortAndCountsAsInstalled) {
    machine.system.majorVersion = 6;
    machine.system.minorVersion = 1;
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    // Without a restart only the registry knows the port yet.
    EXPECT_EQ(machine.registry.GetString(
                  RegistryRoot::LocalMachine,
                  "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\KV6X", "Port"),
              "USB003");
    EXPECT_TRUE(window.messageBoxes.empty());
}

// ----- command lines the machine or the package cannot satisfy -----

class UnattendedRefusalTest : public UnattendedUsbTest {
protected:
    void ExpectRefused(const std::string& reason) {
        ASSERT_TRUE(run->Finished());
        EXPECT_EQ(ExitCode(), ec::kInvalidCommandLine);
        EXPECT_TRUE(Logged("error: " + reason)) << reason;
        // Nothing was installed, nothing asked.
        EXPECT_EQ(installer->lastRoute, app::InstallerDialog::InstallRoute::None);
        EXPECT_EQ(machine.spooler.DriverCount(), 0);
        EXPECT_TRUE(machine.spooler.PrinterNames().empty());
        EXPECT_TRUE(window.messageBoxes.empty());
        EXPECT_EQ(Entries().back(), "exit code 1639: invalid command line; nothing was changed");
    }
};

TEST_F(UnattendedRefusalTest, AModelThePackageDoesNotOffer) {
    Run({"/quiet", "/model", "KV6", "/port", "usb"});
    ExpectRefused("the driver package does not offer \"KV6\" (/list shows what it offers)");
}

TEST_F(UnattendedRefusalTest, AnEntryThatInstallsNothing) {
    ListOffering(12, "47L Series");  // section 12 reaches no model
    Run({"/quiet", "/model", "47L Series", "/port", "usb"});
    ExpectRefused("the driver-list entry \"47L Series\" installs no driver this installer knows");
}

TEST_F(UnattendedRefusalTest, EntriesThatDifferOnlyInCase) {
    WriteDriverList("[S0]\r\nPrintName1=kv6x\r\nPrintName2=KV6x\r\n");
    Run({"/quiet", "/model", "Kv6X", "/port", "usb"});
    ExpectRefused(
        "the driver package offers several entries \"Kv6X\" that differ only in case: "
        "write it exactly as /list shows it");
}

TEST_F(UnattendedRefusalTest, APortTypeTheMachineDoesNotHave) {
    Ports({"LPT1:", "COM1:"});
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    ExpectRefused("/port usb: this machine has no USB port");
}

TEST_F(UnattendedRefusalTest, AParallelPortTheMachineDoesNotHave) {
    Ports({"LPT1:", "LPT2:", "USB001"});
    Run({"/quiet", "/model", "KV6X", "/port", "parallel", "/portname", "LPT3:"});
    ExpectRefused("there is no parallel port \"LPT3:\" on this machine (it has LPT1:, LPT2:)");
}

TEST_F(UnattendedRefusalTest, ALabelPrinterUnderAnotherName) {
    ListOffering(40, "47T(Label)");
    Run({"/quiet", "/model", "47T(Label)", "/name", "Labels", "/port", "usb"});
    ExpectRefused("a label printer takes the name of its driver (\"47T(Label)\"): leave /name out");
}

TEST_F(UnattendedUsbTest, AMissingPackageIsAFailureNotACommandLineFault) {
    machine.files.RemoveFile("C:\\DriverName.cfg");
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("error: the driver package offers no driver: run the installer in the folder "
               "that holds \"DriverData.Drv\" and 7-zip32.dll"));
}

TEST_F(UnattendedUsbTest, ADriverListInAnotherOrderThanTheFileInstallsNothing) {
    WriteDriverList(
        "[S0]\r\n[S1]\r\n[S2]\r\n[S3]\r\n[S4]\r\n[S5]\r\n[S6]\r\n[S7]\r\n[S8]\r\n"
        "[S9]\r\n[S10]\r\n[S11]\r\n[S12]\r\n[S13]\r\n[S14]\r\n[S15]\r\n[S16]\r\n"
        "[S17]\r\n[S18]\r\n[S19]\r\n[S20]\r\n[S21]\r\n[S22]\r\n[S23]\r\n[S24]\r\n"
        "[S25]\r\n[S26]\r\n[S27]\r\nPrintName1=KV6X\r\n[S28]\r\nPrintName1=KV6XA\r\n");
    Prepare({"/quiet", "/model", "KV6XA", "/port", "usb"});
    installer->InitDialog();
    // A list that sorts its entries would show them in another order.
    std::swap(window.Control(IDC_DRIVER_COMBO).items[0], window.Control(IDC_DRIVER_COMBO).items[1]);
    DeliverStartup();
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(machine.spooler.PrinterNames().empty());
    EXPECT_TRUE(Logged("error: the driver list does not show \"KV6XA\" at row 1"));
}

TEST_F(UnattendedUsbTest, ALabelModelUnderItsOwnNameInstallsIt) {
    ListOffering(40, "47T(Label)");
    machine.spooler.SetPrinterAttached("USB001");
    Run({"/quiet", "/model", "47T(Label)", "/name", "47T(Label)", "/port", "usb"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("47T(Label)"), "USB001");
    EXPECT_NE(machine.spooler.Monitor("Advanced Language Monitor"), nullptr);
}

TEST_F(UnattendedUsbTest, ClosingTheWindowBeforeTheEndIsACancel) {
    Prepare({"/passive", "/model", "KV6X", "/port", "usb"});
    machine.threads.mode = sim::StartMode::Deferred;
    installer->InitDialog();
    installer->OnClose();  // while the start-up still runs
    machine.threads.RunPending();
    DeliverStartup();
    EXPECT_EQ(ExitCode(), ec::kUserCancelled);
    EXPECT_TRUE(machine.spooler.PrinterNames().empty());
    EXPECT_TRUE(Logged("error: the installer's window was closed before the run was over"));
}

// ----- serial printers -----

class UnattendedSerialTest : public UnattendedUsbTest {
protected:
    UnattendedSerialTest() {
        Ports({"COM1:", "COM2:", "COM3:", "COM4:", "LPT1:"});
        SerialPorts({"COM1", "COM2", "COM3", "COM4"});
        machine.serial.presentPorts = {1, 2, 3, 4};
    }
    // The ports opened, with the rate each was opened at.
    std::vector<std::pair<int, int>> Opens() {
        std::vector<std::pair<int, int>> opens;
        for (const auto& open : machine.serial.opens) opens.emplace_back(open.port, open.baudRate);
        return opens;
    }
    std::optional<std::string> Settings(const std::string& port) {
        return machine.registry.GetString(RegistryRoot::LocalMachine, kPortsKey, port);
    }
};

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

// ----- parallel and TCP/IP printers -----

class UnattendedNetworkTest : public UnattendedUsbTest {
protected:
    UnattendedNetworkTest() {
        Ports({"LPT1:", "LPT2:", "LPT3:", "USB001"});
        machine.spooler.SeedMonitor("Standard TCP/IP Port", "tcpmon.dll");
    }
    // Ready for another run on the same machine.
    void Again() {
        run.reset();
        installer.reset();
        window.Control(IDC_INSTALL).text = "&Install";
    }
};

TEST_F(UnattendedNetworkTest, ALabelPrinterGoesOnTheNamedParallelPortWithoutAsking) {
    ListOffering(40, "47T(Label)");
    Run({"/quiet", "/model", "47T(Label)", "/port", "parallel", "/portname", "lpt2"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("47T(Label)"), "LPT2:");
    EXPECT_NE(machine.spooler.Monitor("Advanced Language Monitor"), nullptr);
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_TRUE(Logged("the printer \"47T(Label)\" is on port LPT2:"));
}

TEST_F(UnattendedNetworkTest, WithoutPortNameAParallelPrinterTakesTheFirstParallelPort) {
    Run({"/quiet", "/model", "KV6X", "/port", "parallel"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("KV6X"), "LPT1:");
}

TEST_F(UnattendedNetworkTest, HostMakesAStandardTcpIpPortThroughTheMonitorAndPrintsToIt) {
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5:9101"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    const auto port = machine.spooler.TcpIpPort("IP_10.0.0.5");
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(port->host, "10.0.0.5");
    EXPECT_EQ(port->number, 9101u);
    EXPECT_EQ(PrinterPort("KV6X"), "IP_10.0.0.5");
    // The monitor's handle was asked with the access a port change needs.
    EXPECT_TRUE(Contains(machine.spooler.calls,
                         "OpenPrinterA(,XcvMonitor Standard TCP/IP Port, (null), 0x1)"));
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "XcvPortData"), 1);
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
    EXPECT_TRUE(Logged("the Standard TCP/IP Port IP_10.0.0.5 is made; it prints to 10.0.0.5:9101"));
    EXPECT_TRUE(Logged("the printer \"KV6X\" is on port IP_10.0.0.5"));
}

TEST_F(UnattendedNetworkTest, AnExistingPortOfTheAddressIsSetToItAgain) {
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    ASSERT_EQ(ExitCode(), ec::kSuccess);
    Again();
    Run({"/quiet", "/model", "KV6X", "/name", "Second", "/port", "tcpip", "/host",
         "10.0.0.5:9200"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    ASSERT_TRUE(machine.spooler.TcpIpPort("IP_10.0.0.5"));
    EXPECT_EQ(machine.spooler.TcpIpPort("IP_10.0.0.5")->number, 9200u);
    EXPECT_EQ(PrinterPort("Second"), "IP_10.0.0.5");
    EXPECT_TRUE(
        Logged("the Standard TCP/IP Port IP_10.0.0.5 was there; it now prints to 10.0.0.5:9200"));
}

TEST_F(UnattendedNetworkTest, PortNameTakesAnExistingTcpIpPort) {
    machine.spooler.AddPort("IP_10.0.0.9", "Standard TCP/IP Port", "Standard TCP/IP Port");
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/portname", "ip_10.0.0.9"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("KV6X"), "IP_10.0.0.9");
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "XcvPortData"), 0);
}

TEST_F(UnattendedNetworkTest, PortNameOfAnAbsentTcpIpPortChangesNothing) {
    machine.spooler.AddPort("IP_10.0.0.9", "Standard TCP/IP Port", "Standard TCP/IP Port");
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/portname", "IP_10.0.0.8"});
    EXPECT_EQ(ExitCode(), ec::kInvalidCommandLine);
    EXPECT_TRUE(Logged(
        "error: there is no TCP/IP port \"IP_10.0.0.8\" on this machine (it has IP_10.0.0.9)"));
    EXPECT_TRUE(machine.spooler.PrinterNames().empty());
}

TEST_F(UnattendedNetworkTest, AMonitorThatRefusesThePortFailsBeforeAnythingIsInstalled) {
    machine.spooler.failures.FailNext("XcvPortData", platform::error::kAccessDenied);
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("error: the Standard TCP/IP Port IP_10.0.0.5 for 10.0.0.5:9100 could not be made "
               "(error 5)"));
    EXPECT_EQ(machine.spooler.DriverCount(), 0);
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
}

TEST_F(UnattendedNetworkTest, ALocalPortOfTheNameIsNotTakenOver) {
    machine.spooler.AddPort("IP_10.0.0.5");
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("error: the Standard TCP/IP Port IP_10.0.0.5 for 10.0.0.5:9100 could not be set "
               "(error 1796)"));
    EXPECT_EQ(machine.spooler.DriverCount(), 0);
}

TEST_F(UnattendedNetworkTest, WithoutTheMonitorThereIsNoTcpIpPort) {
    machine.spooler.failures.FailNext("OpenPrinterA", platform::error::kInvalidPrinterName);
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("error: the Standard TCP/IP Port monitor could not be reached (error 1801)"));
}

// ----- repair of a printer whose port moved -----

class RepairUsbTest : public UnattendedUsbTest {
protected:
    RepairUsbTest() {
        machine.spooler.SeedPrinter("Till", "KV6X", "USB002");
        machine.registry.SetString(RegistryRoot::CurrentUser, kDeviceKey, "Device",
                                   "Office,winspool,LPT1:");
    }
    int Searched() {
        const auto entries = Entries();
        return static_cast<int>(std::count_if(
            entries.begin(), entries.end(),
            [](const std::string& e) { return e.rfind("looking for the printer on ", 0) == 0; }));
    }
};

TEST_F(RepairUsbTest, APrinterThatAnswersOnAnotherUsbPortIsMovedThereAndNothingElseChanges) {
    machine.spooler.SetPrinterAttached("USB003");
    Run({"/quiet", "/repair", "/name", "till"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Till"), "USB003");
    EXPECT_EQ(*machine.spooler.Printer("Till")->driverName, "KV6X");
    EXPECT_EQ(machine.spooler.PrinterNames(), std::vector<std::string>{"Till"});
    EXPECT_EQ(Device(), "Office,winspool,LPT1:");
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "AddPrinterA"), 0);
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "AddPrinterDriverExA"), 0);
    EXPECT_TRUE(Logged("the printer \"Till\" is moved from USB002 to USB003"));
    EXPECT_EQ(Entries().back(), "exit code 0: success");
}

TEST_F(RepairUsbTest, APrinterThatAnswersOnItsOwnPortIsLookedForThereOnlyAndStays) {
    machine.spooler.SetPrinterAttached("USB002");
    Run({"/quiet", "/repair", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Till"), "USB002");
    EXPECT_EQ(Searched(), 1);
    EXPECT_TRUE(Logged("looking for the printer on USB002"));
    EXPECT_TRUE(
        Logged("the printer \"Till\" was already right: it answers on its own port, USB002"));
}

TEST_F(RepairUsbTest, APrinterThatAnswersNowhereIsPutBackOnItsPort) {
    Run({"/quiet", "/repair", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    EXPECT_EQ(Searched(), 3);
    EXPECT_EQ(PrinterPort("Till"), "USB002");
    EXPECT_TRUE(
        Logged("warning: the printer \"Till\" answered on no USB port; it stays on USB002 "
               "(check its cable and power)"));
}

TEST_F(RepairUsbTest, APrinterThatIsNotThereOrNotOursOrNotOnUsbOrSerialIsRefusedUntouched) {
    machine.spooler.SeedPrinter("Office", "Generic / Text Only", "USB001");
    machine.spooler.SeedPrinter("Shelf", "KV6X", "LPT1:");
    machine.spooler.SetPrinterAttached("USB003");
    const std::pair<const char*, const char*> cases[] = {
        {"Nobody", "error: there is no printer \"Nobody\" to repair"},
        {"Office",
         "error: the printer \"Office\" has the driver \"Generic / Text Only\", which this "
         "installer does not install"},
        {"Shelf",
         "error: the printer \"Shelf\" is on port LPT1:, neither a USB nor a serial port: "
         "there is nothing to look for"},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        Run({"/quiet", "/repair", "/name", name});
        EXPECT_EQ(ExitCode(), ec::kInvalidCommandLine);
        EXPECT_TRUE(Logged(message));
        run.reset();
        installer.reset();
    }
    EXPECT_EQ(PrinterPort("Office"), "USB001");
    EXPECT_EQ(PrinterPort("Shelf"), "LPT1:");
    EXPECT_EQ(PrinterPort("Till"), "USB002");
    EXPECT_EQ(sim::CountCalls(machine.registry.calls, "RegSetValueExA"), 0);
}

TEST_F(RepairUsbTest, AFailedRegistryWriteIsAFailure) {
    machine.spooler.SetPrinterAttached("USB003");
    Prepare({"/quiet", "/repair", "/name", "Till"});
    installer->InitDialog();
    machine.registry.failures.FailNext("RegSetValueExA", platform::error::kAccessDenied);
    DeliverStartup();
    RunTimer();
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(Logged("error: the repair of \"Till\" reported: Failed to read Registry"));
}

TEST_F(RepairUsbTest, WindowsSevenCannotTellTheUsbPortAndNothingIsMoved) {
    machine.system.majorVersion = 6;
    machine.system.minorVersion = 1;
    machine.spooler.SetPrinterAttached("USB003");
    Run({"/quiet", "/repair", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_EQ(PrinterPort("Till"), "USB002");
}

class RepairSerialTest : public UnattendedSerialTest {
protected:
    RepairSerialTest() {
        machine.spooler.SeedPrinter("Bar", "KV6X", "COM3:");
        machine.registry.SetString(RegistryRoot::LocalMachine, kPortsKey, "COM3:", "9600,n,8,1");
    }
};

TEST_F(RepairSerialTest, APrinterThatAnswersOnAnotherComPortIsMovedThereAtItsStoredRate) {
    machine.serial.replies[4] = {0x12};
    machine.serial.replyRates[4] = 9600;
    Run({"/quiet", "/repair", "/name", "Bar"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Bar"), "COM4:");
    EXPECT_EQ(Opens(),
              (std::vector<std::pair<int, int>>{{1, 9600}, {2, 9600}, {3, 9600}, {4, 9600}}));
    EXPECT_EQ(Settings("COM4:"), "9600,n,8,1");
    EXPECT_TRUE(Logged("the printer \"Bar\" is moved from COM3: to COM4:"));
}

TEST_F(RepairSerialTest, AutoFindsTheRateAndAPrinterOnItsOwnPortIsAlreadyRight) {
    machine.serial.replies[3] = {0x12};
    machine.serial.replyRates[3] = 38400;
    Run({"/quiet", "/repair", "/name", "Bar", "/baud", "auto"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Bar"), "COM3:");
    EXPECT_EQ(Settings("COM3:"), "38400,n,8,1");
    EXPECT_TRUE(Logged("the printer \"Bar\" was already right: it answers on its own port, COM3:"));
}

// Each family is asked with its own status request: a receipt printer with
// DLE EOT 1, a label printer with ESC ! ?.
TEST_F(RepairSerialTest, EachFamilyIsAskedWithItsOwnStatusRequest) {
    machine.spooler.SeedPrinter("Labels", "47T(Label)", "COM3:");
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"Bar", {0x10, 0x04, 0x01}}, {"Labels", {0x1B, 0x21, 0x3F}}};
    for (const auto& [name, request] : cases) {
        machine.serial.writes.clear();
        Run({"/quiet", "/repair", "/name", name});
        ASSERT_EQ(machine.serial.writes.size(), 4u) << name;
        for (const auto& write : machine.serial.writes) EXPECT_EQ(write.bytes, request) << name;
    }
}

TEST_F(RepairSerialTest, APrinterThatAnswersOnNoComPortStaysWhereItWas) {
    Run({"/quiet", "/repair", "/name", "Bar", "/baud", "19200"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    EXPECT_EQ(Opens().size(), 4u);
    EXPECT_EQ(Opens().front().second, 19200);
    EXPECT_EQ(PrinterPort("Bar"), "COM3:");
    EXPECT_EQ(Settings("COM3:"), "9600,n,8,1");
}

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

// ----- the listing -----

TEST_F(UnattendedUsbTest, ListPrintsEveryEntryWithTheDriverItInstalls) {
    WriteDriverList(
        "[S0]\r\n[S1]\r\n[S2]\r\n[S3]\r\n[S4]\r\n[S5]\r\n[S6]\r\n[S7]\r\n[S8]\r\n[S9]\r\n[S10]\r\n"
        "[S11]\r\nPrintName1=47N Series\r\n[S12]\r\n[S13]\r\n[S14]\r\n[S15]\r\n[S16]\r\n[S17]\r\n"
        "[S18]\r\n[S19]\r\n[S20]\r\n[S21]\r\n[S22]\r\n[S23]\r\n[S24]\r\n[S25]\r\n[S26]\r\n"
        "[S27]\r\nPrintName1=KV6X\r\n[S28]\r\n[S29]\r\n[S30]\r\n[S31]\r\n[S32]\r\n[S33]\r\n"
        "[S34]\r\n[S35]\r\n[S36]\r\n[S37]\r\n[S38]\r\n[S39]\r\n[S40]\r\nPrintName1=47T(Label)\r\n");
    Run({"/list"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(console.Text(),
              "Driver-list entries of \"DriverData.Drv\" and the driver each installs:\r\n"
              "  47N Series  (none: this entry installs nothing)\r\n"
              "  KV6X        KV6X (receipt)\r\n"
              "  47T(Label)  47T(Label) (label)\r\n");
    EXPECT_TRUE(Logged("listed 3 driver-list entries"));
    EXPECT_EQ(installer->lastRoute, app::InstallerDialog::InstallRoute::None);
    EXPECT_TRUE(machine.spooler.PrinterNames().empty());
}

TEST_F(UnattendedUsbTest, ListWithoutAPackageFails) {
    machine.files.RemoveFile("C:\\DriverName.cfg");
    Run({"/list"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_EQ(console.Text(),
              "error: the driver package offers no driver: run the installer in the folder that "
              "holds \"DriverData.Drv\" and 7-zip32.dll\r\n");
}

// ----- the pre-flight check -----

const char* const kWppKey = "Software\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";

TEST_F(UnattendedUsbTest, CheckPrintsOneLinePerItemAndInstallsNothing) {
    Run({"/check", "/model", "kv6x", "/port", "tcpip", "/host", "10.1.1.5"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    const auto lines = console.Lines();
    ASSERT_EQ(lines.size(), 8u) << console.Text();
    const char* const items[] = {"ok       rights: ",
                                 "ok       spooler: ",
                                 "ok       protected print: ",
                                 "ok       driver policy: ",
                                 "ok       package: ",
                                 "warning  room: ",
                                 "warning  printer: 10.1.1.5:9100 did not accept"};
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(lines[i].rfind(items[i], 0), 0u) << lines[i];
    EXPECT_EQ(lines[7], "exit code 0: success");
    EXPECT_TRUE(Logged(lines[4]));  // each finding goes to the log too
    EXPECT_EQ(installer->lastRoute, app::InstallerDialog::InstallRoute::None);
    EXPECT_TRUE(machine.spooler.PrinterNames().empty());
}

TEST_F(UnattendedUsbTest, CheckEndsWithTheBlockingItemsCode) {
    Run({"/check", "/model", "KV7X"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(Contains(console.Lines(),
                         "blocking package: the driver package does not offer \"KV7X\" with "
                         "a driver this installer knows: choose one /list shows"));
    EXPECT_EQ(console.Lines().back(), "exit code 1603: failure; the log says why");
}

TEST_F(UnattendedUsbTest, ProtectedPrintStopsAnInstallationBeforeAnythingIsCopied) {
    machine.registry.SetDword(RegistryRoot::LocalMachine, kWppKey,
                              "WindowsProtectedPrintGroupPolicyState", 1);
    machine.spooler.SetPrinterAttached("USB002");
    Run({"/quiet", "/model", "KV6X", "/port", "usb"});
    EXPECT_EQ(ExitCode(), ec::kForbiddenByPolicy);
    EXPECT_TRUE(Logged(
        "pre-flight: ok       spooler: the Print Spooler service (\"Spooler\") is not disabled "
        "(start type 2)"));
    const auto entries = Entries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[entries.size() - 2].rfind(
                  "error: the installation cannot start: Windows protected print "
                  "mode is on",
                  0),
              0u)
        << entries[entries.size() - 2];
    EXPECT_EQ(entries.back(),
              "exit code 1625: forbidden by system policy (protected print mode, or driver "
              "installation kept to administrators); nothing was changed");
    EXPECT_EQ(installer->lastRoute, app::InstallerDialog::InstallRoute::None);
    EXPECT_EQ(machine.spooler.DriverCount(), 0);
    EXPECT_TRUE(window.messageBoxes.empty());
}

}  // namespace
