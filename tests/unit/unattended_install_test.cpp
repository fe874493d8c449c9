// Unattended installations on USB, and the command lines the machine or
// the package cannot satisfy.
#include <gtest/gtest.h>

#include "unattended_cases.h"

namespace {

using namespace testing_support::unattended;

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

// /quiet leaves the hidden window's choices as they were; /passive shows
// what is installed, though the installation reads only its request.
TEST_F(UnattendedUsbTest, APassiveWindowShowsTheChoicesAQuietOneIsLeftAlone) {
    machine.spooler.SetPrinterAttached("USB001");
    for (const char* display : {"/quiet", "/passive"}) {
        Run({display, "/model", "KV6X", "/name", "Front Desk", "/nodefault", "/port", "usb"});
        const bool shown = std::string(display) == "/passive";
        EXPECT_EQ(window.Control(IDC_PRINTER_NAME).text == "Front Desk", shown) << display;
        EXPECT_EQ(ExitCode(), ec::kSuccess) << display;
    }
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

// The command line names an entry of the file; the list's order on the
// screen is nobody's business but the operator's.
TEST_F(UnattendedUsbTest, ADriverListShownInAnotherOrderStillInstallsTheEntryAskedFor) {
    WriteDriverList(
        "[S0]\r\n[S1]\r\n[S2]\r\n[S3]\r\n[S4]\r\n[S5]\r\n[S6]\r\n[S7]\r\n[S8]\r\n"
        "[S9]\r\n[S10]\r\n[S11]\r\n[S12]\r\n[S13]\r\n[S14]\r\n[S15]\r\n[S16]\r\n"
        "[S17]\r\n[S18]\r\n[S19]\r\n[S20]\r\n[S21]\r\n[S22]\r\n[S23]\r\n[S24]\r\n"
        "[S25]\r\n[S26]\r\n[S27]\r\nPrintName1=KV6X\r\n[S28]\r\nPrintName1=KV6XA\r\n");
    machine.spooler.SetPrinterAttached("USB002");
    Prepare({"/quiet", "/model", "KV6XA", "/port", "usb"});
    installer->InitDialog();
    // A list that sorts its entries would show them in another order.
    std::swap(window.Control(IDC_DRIVER_COMBO).items[0], window.Control(IDC_DRIVER_COMBO).items[1]);
    DeliverStartup();
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(machine.spooler.PrinterNames(), std::vector<std::string>{"KV6XA"});
    ASSERT_NE(machine.spooler.Printer("KV6XA"), nullptr);
    EXPECT_EQ(machine.spooler.Printer("KV6XA")->driverName, "KV6XA");
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

}  // namespace
