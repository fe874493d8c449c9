// The two installation sequences on the simulated machine: what is copied,
// registered and deleted, and every way a registration can go wrong.
#include <gtest/gtest.h>

#include "install_fixture.h"

namespace {

using testing_support::kDirX64;
using testing_support::kDirX86;
namespace mb = platform::mb;
using sim::CountCalls;

const std::string kColon = "\xA3\xBA";

class ReceiptInstallTest : public testing_support::InstallTest {
protected:
    ReceiptInstallTest() {
        Ports({"USB001"});
        ListOffering(27, "KV6X");
    }
};

TEST_F(ReceiptInstallTest, CopiesShowEachDestinationThenTheRegistrationAndProgress) {
    StartAndInstall(ports::kUsb);
    const std::string d = kDirX86;
    const std::vector<std::string> copies = {d + "\\PKV.DLL",
                                             d + "\\KV6X.GPD",
                                             d + "\\QOEMUNI.dll",
                                             d + "\\QOEMUNI.ini",
                                             d + "\\uniDRVui.DLL",
                                             d + "\\uniDRV.DLL",
                                             d + "\\UNIDRV.HLP",
                                             d + "\\UNIRES.DLL",
                                             d + "\\TTFSUB.GPD",
                                             d + "\\STDNAMES.GPD",
                                             "Adding printer drive KV6X",
                                             "Driver KV6X is added",
                                             "Added the printer KV6X"};
    std::vector<std::string> history = window.StatusHistory();
    auto first = std::find(history.begin(), history.end(), copies.front());
    ASSERT_NE(first, history.end());
    EXPECT_EQ(std::vector<std::string>(first, first + copies.size()), copies);
    // Receipts do not show the default-printer step: the USB search's line follows.
    EXPECT_FALSE(Contains(history, "Set the printer KV6X to default printer"));
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 80, 100}));
    EXPECT_EQ(Status(), "The installation is completed.");
    EXPECT_EQ(ButtonText(), "&Finish");
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(ReceiptInstallTest, CopiesAreDeletedAfterRegistrationExceptThePlugIn) {
    StartAndInstall(ports::kUsb);
    const std::string d = kDirX86;
    for (const char* file : {"PKV.DLL", "KV6X.GPD", "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                             "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD"}) {
        EXPECT_FALSE(machine.files.Exists(d + "\\" + file)) << file;
    }
    EXPECT_TRUE(machine.files.Exists(d + "\\QOEMUNI.dll"));
    EXPECT_TRUE(machine.files.Exists(d + "\\QOEMUNI.ini"));
}

TEST_F(ReceiptInstallTest, AStoppedSpoolerIsStartedBeforeTheRegistration) {
    machine.RequireRunningSpooler();
    StartDialog();
    machine.services.SetState("Spooler", platform::svc::kStopped);
    const int startsBefore = machine.services.startRequests;
    Install(ports::kUsb);
    EXPECT_EQ(machine.services.startRequests, startsBefore + 1);
    EXPECT_NE(machine.spooler.Driver("KV6X", "Windows NT x86"), nullptr);
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
}

TEST_F(ReceiptInstallTest, TheSpoolerIsStartedForTheRegistrationItself) {
    StartDialog();
    StopSpoolerAfterTheDriverFolder();
    Install(ports::kUsb);
    EXPECT_NE(machine.spooler.Driver("KV6X", "Windows NT x86"), nullptr);
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(ReceiptInstallTest, WindowsNt4GetsVersionTwoRecords) {
    machine.system.majorVersion = 4;
    machine.system.minorVersion = 0;
    machine.system.buildNumber = 1381;
    StartAndInstall(ports::kUsb);
    ASSERT_TRUE(machine.spooler.lastDriverInfo);
    EXPECT_EQ(machine.spooler.lastDriverInfo->version, 2u);
}

TEST_F(ReceiptInstallTest, FailedRegistrationOffersRetryAndKeepsTheCopies) {
    machine.spooler.failures.FailNext("AddPrinterDriverExA", 2);
    window.messageBoxAnswers = {mb::kIdRetry};
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "Failed to add the driver 2\r\n\r\nClick Retry:You can retry\r\nClick Cancel" +
                  kColon + "Exit and abort installation");
    EXPECT_EQ(window.messageBoxes[0].caption, "Error");
    EXPECT_EQ(window.messageBoxes[0].style, mb::kRetryCancel);
    EXPECT_EQ(ButtonText(), "Reinstall");
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_EQ(window.Control(IDC_PROGRESS).progress, 0);
    EXPECT_TRUE(machine.files.Exists(std::string(kDirX86) + "\\KV6X.GPD"));
    EXPECT_EQ(machine.spooler.Printer("KV6X"), nullptr);
    EXPECT_FALSE(window.ended);

    // "Reinstall" runs the whole installation again.
    Install(ports::kUsb);
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
    EXPECT_EQ(ButtonText(), "&Finish");
}

// Where a sequence ends it records how, and why, for our own code to read.
TEST_F(ReceiptInstallTest, AFailureAndACompletionAreRecordedAsOutcomes) {
    using Outcome = app::InstallerDialog::Outcome;
    machine.spooler.failures.FailNext("AddPrinterDriverExA", 2);
    window.messageBoxAnswers = {mb::kIdRetry};
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].id, static_cast<int>(app::Message::kDriverNotRegistered));
    EXPECT_EQ(dialog->outcome, Outcome::Failed);
    EXPECT_EQ(dialog->outcomeReason, window.messageBoxes[0].text);
    Install(ports::kUsb);
    EXPECT_EQ(dialog->outcome, Outcome::Completed);
    EXPECT_EQ(dialog->outcomeReason, "");
}

TEST_F(ReceiptInstallTest, CancelAfterAFailedRegistrationClosesTheInstaller) {
    machine.spooler.failures.FailNext("AddPrinterDriverExA", 1797);
    window.messageBoxAnswers = {mb::kIdCancel};
    StartAndInstall(ports::kUsb);
    EXPECT_TRUE(window.ended);
    EXPECT_EQ(window.endResult, mb::kIdOk);
}

TEST_F(ReceiptInstallTest, NoDriverDirectoryStopsBeforeAnyCopy) {
    machine.spooler.failures.FailAlways("GetPrinterDriverDirectoryA", 1804);
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "The printer driver folder for \"Windows NT x86\" could not be found (error 1804).");
    EXPECT_EQ(CountCalls(machine.files.calls, "CopyFileA"), 0);
    EXPECT_EQ(CountCalls(machine.spooler.calls, "AddPrinterDriverExA"), 0);
    EXPECT_TRUE(ButtonEnabled());
}

TEST_F(ReceiptInstallTest, DriverFolderAtTheExactBufferLimits) {
    // 254 characters fit the 255-byte directory buffer with its NUL; the
    // longest record path (the folder and "\uniDRVui.DLL") must stay under
    // 260 bytes.
    const std::string base = "C:\\spool\\";
    const std::string fits = base + std::string(259 - 13 - base.size(), 'd');  // path of 259
    machine.spooler.driverDirectoryX86 = fits;
    machine.files.MakeDirectories(fits);
    StartAndInstall(ports::kUsb);
    EXPECT_NE(machine.spooler.Driver("KV6X", "Windows NT x86"), nullptr);
    ASSERT_TRUE(machine.spooler.lastDriverInfo);
    ASSERT_TRUE(machine.spooler.lastDriverInfo->configFile);
    EXPECT_EQ(machine.spooler.lastDriverInfo->configFile->size(), 259u);
    EXPECT_TRUE(window.messageBoxes.empty());

    const std::string tooLong = fits + "e";  // path of 260
    machine.spooler.driverDirectoryX86 = tooLong;
    machine.files.MakeDirectories(tooLong);
    machine.spooler.lastDriverInfo.reset();
    window.Control(IDC_INSTALL).text = "&Install";
    Install(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_NE(window.messageBoxes[0].text.find("does not fit in 259 characters"),
              std::string::npos);
    EXPECT_FALSE(machine.spooler.lastDriverInfo.has_value());

    // A folder the 255-byte buffer cannot hold is not read at all.
    machine.spooler.driverDirectoryX86 = std::string(255, 'x');
    Install(ports::kUsb);
    EXPECT_NE(window.messageBoxes.back().text.find("could not be found (error 122)"),
              std::string::npos);
}

TEST_F(ReceiptInstallTest, SixtyFourBitWindowsTakesTheX64FilesAndFolder) {
    machine.system.wow64 = true;
    StartAndInstall(ports::kUsb);
    ASSERT_TRUE(machine.spooler.lastDriverInfo);
    EXPECT_EQ(machine.spooler.lastDriverInfo->environment, std::string("Windows x64"));
    EXPECT_EQ(machine.files.ReadFile(std::string(kDirX64) + "\\QOEMUNI.ini"),
              std::string("x64 QOEMUNI.ini"));
    EXPECT_FALSE(machine.files.Exists(std::string(kDirX86) + "\\QOEMUNI.ini"));
}

class LabelInstallTest : public testing_support::InstallTest {
protected:
    LabelInstallTest() {
        Ports({"USB001"});
        ListOffering(40, "My 47T");
    }
    static constexpr const char* kMonitor = "Advanced Language Monitor";
};

TEST_F(LabelInstallTest, MonitorFirstThenFilesThenDriverAndPrinterAfterTheEntry) {
    StartDialog();
    window.SetControlText(IDC_PRINTER_NAME, "Typed name");  // not read for labels
    Install(ports::kUsb);
    EXPECT_TRUE(machine.files.Exists("C:\\windows\\system32\\zqaNLMNT.dll"));
    EXPECT_NE(machine.spooler.Monitor(kMonitor), nullptr);
    EXPECT_NE(machine.spooler.Printer("My 47T"), nullptr);
    EXPECT_EQ(machine.spooler.Printer("Typed name"), nullptr);
    const auto history = window.StatusHistory();
    EXPECT_TRUE(Contains(history, "C:\\windows\\system32\\zqaNLMNT.dll"));
    EXPECT_TRUE(Contains(history, "Advanced Language Monitor is added"));
    EXPECT_TRUE(Contains(history, std::string(kDirX86) + "\\VLTPBR50.DLL"));
    EXPECT_TRUE(Contains(history, std::string(kDirX86) + "\\QZ47T.PP0"));
    EXPECT_TRUE(
        Contains(history, "Set the printer My 47T to default printer"));  // labels refresh here
    // Every copy in the driver directory is gone after the registration.
    for (const char* file : {"THERMAL.chm", "QZ47T.BA0", "QZ47T.PP0", "QZ47T.DAT", "VLTDRV50.DLL",
                             "zqaNLMNT.dll", "VLTENG50.DLL"}) {
        EXPECT_FALSE(machine.files.Exists(std::string(kDirX86) + "\\" + file)) << file;
    }
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 80, 100}));
    ASSERT_FALSE(machine.threads.Sleeps().empty());
    EXPECT_EQ(machine.threads.Sleeps().back(), 100u);
}

TEST_F(LabelInstallTest, AnInstalledMonitorIsRemovedAndTheSpoolerRestartedFirst) {
    machine.files.WriteFile("C:\\windows\\system32\\zqaNLMNT.dll", "old");
    machine.spooler.SeedMonitor(kMonitor, "zqaNLMNT.dll");
    StartDialog();
    const int stops = machine.services.stopRequests;
    Install(ports::kUsb);
    EXPECT_EQ(machine.services.stopRequests, stops + 1);
    const auto calls = sim::CallNames(machine.spooler.calls);
    const auto deleted = std::find(calls.begin(), calls.end(), "DeleteMonitorA");
    const auto added = std::find(calls.begin(), calls.end(), "AddMonitorA");
    ASSERT_NE(deleted, calls.end());
    EXPECT_LT(deleted, added);
    EXPECT_NE(machine.spooler.Monitor(kMonitor), nullptr);
}

TEST_F(LabelInstallTest, NoMonitorToRemoveMeansNoRestart) {
    StartDialog();
    const int stops = machine.services.stopRequests;
    Install(ports::kUsb);
    EXPECT_EQ(machine.services.stopRequests, stops);
}

TEST_F(LabelInstallTest, TheSpoolerIsStartedBeforeTheMonitorIsReplaced) {
    machine.spooler.SeedMonitor(kMonitor, "zqaNLMNT.dll");
    StartDialog();
    StopSpoolerAfterTheDriverFolder();
    Install(ports::kUsb);
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "DeleteMonitorA"), 1);
    EXPECT_NE(machine.spooler.Monitor(kMonitor), nullptr);
    EXPECT_NE(machine.spooler.Printer("My 47T"), nullptr);
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(LabelInstallTest, AlreadyInstalledMonitorCountsAsSuccess) {
    machine.spooler.failures.FailNext("AddMonitorA", 3006);
    StartAndInstall(ports::kUsb);
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_NE(machine.spooler.Printer("My 47T"), nullptr);
}

TEST_F(LabelInstallTest, FailedMonitorEndsTheInstallation) {
    machine.spooler.failures.FailNext("AddMonitorA", 126);
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "Failed to add Monitor\r\n");
    EXPECT_TRUE(window.messageBoxes[0].application);
    EXPECT_EQ(window.messageBoxes[0].style, mb::kOk);
    EXPECT_TRUE(window.ended);
    EXPECT_EQ(window.endResult, mb::kIdOk);
    EXPECT_EQ(CountCalls(machine.spooler.calls, "AddPrinterDriverExA"), 0);
}

TEST_F(LabelInstallTest, FailedRegistrationUsesTheApplicationsBoxAndKeepsTheMonitor) {
    machine.spooler.failures.FailNext("AddPrinterDriverExA", 5);
    window.messageBoxAnswers = {mb::kIdRetry};
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "Failed to add the driver 5\r\n\r\nClick Retry:You can retry\r\nClick Cancel" +
                  kColon + "exit and abort installation");
    EXPECT_TRUE(window.messageBoxes[0].application);
    EXPECT_EQ(window.messageBoxes[0].style, mb::kRetryCancel);
    EXPECT_EQ(ButtonText(), "Reinstall");
    EXPECT_EQ(window.Control(IDC_PROGRESS).progress, 0);
    EXPECT_NE(machine.spooler.Monitor(kMonitor), nullptr);
    EXPECT_TRUE(machine.files.Exists(std::string(kDirX86) + "\\VLTDRV50.DLL"));
}

TEST_F(LabelInstallTest, SixtyFourBitMonitorGoesToSysWow64) {
    machine.system.wow64 = true;
    StartAndInstall(ports::kUsb);
    EXPECT_EQ(machine.files.ReadFile("C:\\windows\\SysWOW64\\zqaNLM64.dll"),
              std::string("zqaNLM64.dll"));
    ASSERT_TRUE(machine.spooler.lastMonitorInfo);
    EXPECT_EQ(machine.spooler.lastMonitorInfo->environment, std::string("Windows x64"));
    EXPECT_NE(machine.spooler.Driver("47T(Label)", "Windows x64"), nullptr);
}

TEST_F(LabelInstallTest, RecordPathsAtTheLabelBufferLimit) {
    // 200-byte buffers: the longest path is the folder and "\VLTDRV50.DLL".
    const std::string base = "C:\\spool\\";
    const std::string fits = base + std::string(199 - 13 - base.size(), 'd');
    machine.spooler.driverDirectoryX86 = fits;
    machine.files.MakeDirectories(fits);
    StartAndInstall(ports::kUsb);
    EXPECT_NE(machine.spooler.Printer("My 47T"), nullptr);
    ASSERT_TRUE(machine.spooler.lastDriverInfo);
    ASSERT_TRUE(machine.spooler.lastDriverInfo->driverPath);
    EXPECT_EQ(machine.spooler.lastDriverInfo->driverPath->size(), 199u);

    machine.spooler.driverDirectoryX86 = fits + "e";
    machine.files.MakeDirectories(fits + "e");
    const int monitorsAdded = CountCalls(machine.spooler.calls, "AddMonitorA");
    window.Control(IDC_INSTALL).text = "&Install";
    Install(ports::kUsb);
    ASSERT_FALSE(window.messageBoxes.empty());
    EXPECT_NE(window.messageBoxes.back().text.find("does not fit in 199 characters"),
              std::string::npos);
    EXPECT_EQ(CountCalls(machine.spooler.calls, "AddMonitorA"), monitorsAdded);  // nothing begun
}

TEST_F(LabelInstallTest, ModelsWithoutRowsAreRefusedBeforeAnythingIsCopied) {
    StartDialog();
    for (int section : {11, 12, 13, 14, 43}) {
        SCOPED_TRACE(section);
        ListOffering(section, "Entry");
        dialog->LoadDriverNames();
        window.messageBoxes.clear();
        Install(ports::kUsb);
        EXPECT_EQ(dialog->lastRoute, app::InstallerDialog::InstallRoute::Refused);
        ASSERT_EQ(window.messageBoxes.size(), 1u);
        EXPECT_EQ(window.messageBoxes[0].text,
                  "The driver \"Entry\" cannot be installed by this program.");
    }
    EXPECT_EQ(CountCalls(machine.files.calls, "CopyFileA"), 0);
}

}  // namespace
