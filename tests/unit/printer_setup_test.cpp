// Creating the printer: an older one of the same name, the spooler's
// refusals, the default printer, and the stand-in port when the chosen type
// has none.
#include <gtest/gtest.h>

#include "install_fixture.h"

namespace {

namespace mb = platform::mb;
using platform::RegistryRoot;
using sim::CountCalls;

const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

class PrinterSetupTest : public testing_support::InstallTest {
protected:
    PrinterSetupTest() {
        Ports({"USB001", "LPT1:"});
        ListOffering(27, "P1");
    }
};

TEST_F(PrinterSetupTest, ThePrinterIsMadeWithWinPrintOnTheFirstPortOfTheType) {
    StartAndInstall(ports::kUsb);
    ASSERT_TRUE(machine.spooler.lastPrinterInfo);
    const platform::PrinterInfo2& info = *machine.spooler.lastPrinterInfo;
    EXPECT_EQ(info.printerName, std::string("P1"));
    EXPECT_EQ(info.portName, std::string("USB001"));
    EXPECT_EQ(info.driverName, std::string("KV6X"));
    EXPECT_EQ(info.printProcessor, std::string("WinPrint"));
    EXPECT_EQ(info.datatype, std::string("RAW"));
    EXPECT_FALSE(info.serverName || info.shareName || info.comment || info.location ||
                 info.sepFile || info.parameters);
    EXPECT_EQ(info.attributes + info.priority + info.defaultPriority + info.startTime +
                  info.untilTime + info.status + info.jobs + info.averagePpm,
              0u);
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
    EXPECT_EQ(machine.token.enabled, (std::set<std::string>{"SeLoadDriverPrivilege"}));
    EXPECT_EQ(machine.token.openHandles, 0);
    ASSERT_FALSE(machine.threads.Sleeps().empty());
    EXPECT_EQ(machine.threads.Sleeps().back(), 500u);
}

TEST_F(PrinterSetupTest, AnExistingPrinterIsPurgedDeletedAndMadeAgain) {
    machine.spooler.SeedDriver("Old", "Windows NT x86");
    machine.spooler.SeedPrinter("P1", "Old", "LPT1:");
    StartAndInstall(ports::kUsb);
    EXPECT_TRUE(Contains(window.StatusHistory(), "The printer P1 exists,Re-adding the printer..."));
    EXPECT_EQ(machine.spooler.purged, (std::vector<std::string>{"P1"}));
    EXPECT_EQ(machine.spooler.PrinterNames(), (std::vector<std::string>{"P1"}));
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->driverName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->driverName, "KV6X");
    ASSERT_TRUE(machine.spooler.lastPrinterDefaults);
    EXPECT_EQ(machine.spooler.lastPrinterDefaults->datatype, std::string("RAW"));
    EXPECT_EQ(machine.spooler.lastPrinterDefaults->desiredAccess, 0xF000Cu);
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
}

TEST_F(PrinterSetupTest, NoPrivilegeIsNoObstacle) {
    machine.token.failures.FailAlways("OpenProcessToken", 5);
    StartAndInstall(ports::kUsb);
    EXPECT_TRUE(machine.token.enabled.empty());
    EXPECT_NE(machine.spooler.Printer("P1"), nullptr);
    EXPECT_TRUE(window.messageBoxes.empty());
}

struct AddPrinterFailure {
    std::uint32_t error;
    const char* text;
    const char* caption;
    const char* buttonAfter;
};

TEST_F(PrinterSetupTest, AddPrinterFailuresByErrorCode) {
    const AddPrinterFailure cases[] = {
        {1796, "There's no available useful port,please select other type of port", "Prompt",
         "Reinstall"},
        {126, "Missing system flies,please repair system", "Prompt", "Reinstall"},
        {5, "Error AddPrinter 5", "Error prompt", "&Install"},
    };
    StartDialog();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        window.Control(IDC_INSTALL).text = "&Install";
        window.messageBoxes.clear();
        machine.spooler.failures.FailNext("AddPrinterA", c.error);
        Install(ports::kUsb);
        ASSERT_EQ(window.messageBoxes.size(), 1u);
        EXPECT_EQ(window.messageBoxes[0].text, c.text);
        EXPECT_EQ(window.messageBoxes[0].caption, c.caption);
        EXPECT_EQ(window.messageBoxes[0].style, mb::kOk);
        EXPECT_EQ(ButtonText(), c.buttonAfter);
        EXPECT_TRUE(ButtonEnabled());
        EXPECT_EQ(window.Control(IDC_PROGRESS).progress, 0);
        // The driver stays registered.
        EXPECT_NE(machine.spooler.Driver("KV6X", "Windows NT x86"), nullptr);
    }
}

TEST_F(PrinterSetupTest, DefaultPrinterValueCountsItsNul) {
    StartAndInstall(ports::kUsb);
    const auto value = machine.registry.GetValue(RegistryRoot::CurrentUser, kWindowsKey, "Device");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, platform::reg::kSz);
    const std::string text = "P1,winspool,USB001";
    EXPECT_EQ(value->data, std::vector<std::uint8_t>(text.c_str(), text.c_str() + 19));
    EXPECT_TRUE(Contains(window.StatusHistory(), "Added the printer P1"));
}

TEST_F(PrinterSetupTest, AMissingDefaultPrinterKeyIsMadeRatherThanSkipped) {
    ASSERT_TRUE(machine.registry.DeleteKey(RegistryRoot::CurrentUser, kWindowsKey));
    StartAndInstall(ports::kUsb);
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::CurrentUser, kWindowsKey, "Device"),
              std::string("P1,winspool,USB001"));
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(PrinterSetupTest, UncheckedDefaultLeavesTheValueAloneButSaysTheStep) {
    machine.registry.SetString(RegistryRoot::CurrentUser, kWindowsKey, "Device",
                               "Other,winspool,LPT1:");
    StartDialog();
    window.SetCheck(IDC_SET_DEFAULT, 0);
    Install(ports::kUsb);
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::CurrentUser, kWindowsKey, "Device"),
              std::string("Other,winspool,LPT1:"));
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 80, 100}));
}

TEST_F(PrinterSetupTest, AFailedDefaultWriteIsReportedAndTheInstallationGoesOn) {
    machine.registry.DenyWrites(RegistryRoot::CurrentUser, kWindowsKey);
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "Error\xA3\xBA"
              "Failed to set regist");
    EXPECT_TRUE(window.messageBoxes[0].application);
    EXPECT_EQ(Status(), "The installation is completed.");
}

TEST_F(PrinterSetupTest, SerialWithoutSerialPortsUsesTheFirstParallelPort) {
    StartAndInstall(ports::kSerial);
    EXPECT_FALSE(dialog->portAvailable);
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->portName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->portName, "LPT1:");
    EXPECT_TRUE(
        Contains(window.StatusHistory(), "There's no serial port,the current port isLPT1:"));
}

TEST_F(PrinterSetupTest, UsbWithoutUsbPortsKeepsTheParallelStandInWhenNoneAppears) {
    Ports({"LPT1:"});
    StartDialog();
    const int stops = machine.services.stopRequests;
    window.messageBoxAnswers = {mb::kIdCancel};  // the USB search finds nothing
    Install(ports::kUsb);
    EXPECT_EQ(machine.services.stopRequests, stops + 1);  // restarted for new ports
    EXPECT_EQ(machine.spooler.PrinterNames(), (std::vector<std::string>{"P1"}));
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->portName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->portName, "LPT1:");
    EXPECT_TRUE(Contains(window.StatusHistory(), "Added the printer P1"));
    EXPECT_EQ(Status(), "The installation is completed.");
}

TEST_F(PrinterSetupTest, UsbPortAppearingAfterTheRestartTakesThePrinter) {
    Ports({"LPT1:"});
    StartDialog();
    // The printer is plugged in: its port shows up once the spooler restarts.
    machine.services.onStarted = [this](const std::string&) {
        machine.spooler.OnServiceStarted();
        if (machine.spooler.Ports().size() == 1) machine.spooler.AddPort("USB001");
    };
    Install(ports::kUsb);
    EXPECT_EQ(machine.spooler.PrinterNames(), (std::vector<std::string>{"P1"}));
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->portName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->portName, "USB001");
    EXPECT_EQ(dialog->printerPort, "USB001");
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(PrinterSetupTest, TheStandInIsOpenedAgainByNameAfterTheRestart) {
    // As on Windows: the spooler's restart ends every printer handle it gave out.
    machine.spooler.handlesSurviveRestart = false;
    Ports({"LPT1:"});
    StartDialog();
    machine.services.onStarted = [this](const std::string&) {
        machine.spooler.OnServiceStarted();
        if (machine.spooler.Ports().size() == 1) machine.spooler.AddPort("USB001");
    };
    Install(ports::kUsb);
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(machine.spooler.PrinterNames(), (std::vector<std::string>{"P1"}));
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->portName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->portName, "USB001");
    EXPECT_EQ(Status(), "The installation is completed.");
}

TEST_F(PrinterSetupTest, NoPortOfTheTypeAndNoParallelPortCreatesNothing) {
    Ports({"FILE:"});
    StartAndInstall(ports::kSerial);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "There's no available useful port,please select other type of port");
    EXPECT_EQ(CountCalls(machine.spooler.calls, "AddPrinterA"), 0);
    EXPECT_EQ(ButtonText(), "Reinstall");
}

TEST_F(PrinterSetupTest, AbandonedPortChoiceInstallsNothing) {
    // No parallel port, no TCP/IP port and a wizard that makes none: both
    // choices abandon.
    Ports({"USB001"});
    StartDialog();
    for (int type : {ports::kParallel, ports::kTcpIp}) {
        Install(type);
        EXPECT_TRUE(ButtonEnabled());
    }
    EXPECT_EQ(CountCalls(machine.files.calls, "CopyFileA"), 0);
    EXPECT_EQ(machine.spooler.lastDriverInfo, std::nullopt);
}

TEST_F(PrinterSetupTest, OnlyRowsOfTheListArePortChoices) {
    StartDialog();
    dialog->tcpipPorts = {"IP_1", "IP_2"};
    const int base = app::InstallerDialog::kPortChoiceBase;
    struct Case {
        int result;
        bool goesOn;
        const char* port;
    };
    const Case cases[] = {{base, true, "IP_1"},  {base + 1, true, "IP_2"}, {base + 2, false, ""},
                          {base - 1, false, ""}, {1, false, ""},           {2, false, ""},
                          {0, false, ""},        {0xCCCC, false, ""},      {0xAAAA, true, "IP_1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        dialog->printerPort = "";
        EXPECT_EQ(dialog->ApplyPortChoice(c.result, dialog->tcpipPorts, true), c.goesOn);
        EXPECT_EQ(dialog->printerPort, c.port);
    }
    dialog->parallelPorts = {"LPT1:"};
    EXPECT_FALSE(dialog->ApplyPortChoice(0xAAAA, dialog->parallelPorts, false));  // TCP/IP only
    dialog->tcpipPorts.clear();
    EXPECT_FALSE(
        dialog->ApplyPortChoice(0xAAAA, dialog->tcpipPorts, true));  // created, yet not listed
}

}  // namespace
