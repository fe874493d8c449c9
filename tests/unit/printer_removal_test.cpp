// Uninstalling on the simulated machine: printers installed by the real
// installation sequences are removed, then their drivers and the language
// monitor when nothing else uses them, and never anything of another maker.
#include <gtest/gtest.h>

#include "base/exit_codes.h"
#include "install/printer_removal.h"
#include "unattended_fixture.h"

namespace {

namespace ec = app::exitcode;
using testing_support::kDirX64;
using testing_support::kDirX86;

constexpr const char* kMonitor = "Advanced Language Monitor";
const char* const kX86 = "Windows NT x86";
const char* const kX64 = "Windows x64";

class PrinterRemovalTest : public testing_support::InstallTest {
protected:
    PrinterRemovalTest() {
        Ports({"USB001", "LPT1:"});
        log.AddOutput(logFile);
    }

    // The installer's own sequence, as an operator runs it, for `entry` of section `section`.
    void Installed(int section, const std::string& entry, const std::string& printerName = "") {
        ListOffering(section, entry);
        dialog = std::make_unique<app::InstallerDialog>(platform);
        app::InstallerDialog* target = dialog.get();
        window.onUpdateData = [target](std::uintptr_t w) { return target->OnUpdateDataMessage(w); };
        window.Control(IDC_INSTALL).text = "&Install";
        StartDialog();
        if (!printerName.empty()) window.SetControlText(IDC_PRINTER_NAME, printerName);
        Install(ports::kUsb);
        ASSERT_EQ(ButtonText(), "&Finish");
    }

    int Remove(const std::string& name) {
        const auto parsed = app::cli::Parse({"/uninstall", "/name", name, "/quiet"});
        options = parsed.options;
        app::PromptPolicy policy(options, log);
        install::PrinterRemoval removal(machine.spooler, machine.services, machine.threads,
                                        machine.files, machine.system, policy, log);
        return removal.Run(name);
    }

    bool Logged(const std::string& entry) {
        for (const auto& line : logFile.Lines()) {
            if (line == testing_support::kStamp + entry) return true;
        }
        return false;
    }

    testing_support::FixedClock clock;
    testing_support::TextSink logFile;
    app::InstallLog log{clock};
    app::cli::Options options;
};

TEST_F(PrinterRemovalTest, ALabelPrinterTakesItsDriverItsFilesAndTheMonitorWithIt) {
    Installed(40, "47T(Label)");
    ASSERT_NE(machine.spooler.Monitor(kMonitor), nullptr);
    ASSERT_TRUE(machine.files.Exists(std::string(kDirX86) + "\\3\\VLTDRV50.DLL"));
    const int stops = machine.services.stopRequests;
    EXPECT_EQ(Remove("47T(Label)"), ec::kSuccess);
    EXPECT_EQ(machine.spooler.Printer("47T(Label)"), nullptr);
    EXPECT_EQ(machine.spooler.Driver("47T(Label)", kX86), nullptr);
    EXPECT_EQ(machine.spooler.Monitor(kMonitor), nullptr);
    EXPECT_FALSE(machine.files.Exists("C:\\windows\\system32\\zqaNLMNT.dll"));
    for (const char* file :
         {"VLTDRV50.DLL", "VLTUI50.DLL", "QZ47T.DAT", "THERMAL.chm", "QZ47T.PP0"}) {
        EXPECT_FALSE(machine.files.Exists(std::string(kDirX86) + "\\3\\" + file)) << file;
    }
    // The spooler let go of the monitor's DLL before it was deleted.
    EXPECT_EQ(machine.services.stopRequests, stops + 1);
    EXPECT_TRUE(Logged("removing the printer \"47T(Label)\""));
    EXPECT_TRUE(Logged("the printer \"47T(Label)\" is removed"));
    EXPECT_TRUE(Logged("the driver \"47T(Label)\" (Windows NT x86) is removed with its files"));
    EXPECT_TRUE(Logged("the Advanced Language Monitor is removed"));
    EXPECT_TRUE(Logged("deleted C:\\windows\\system32\\zqaNLMNT.dll"));
}

TEST_F(PrinterRemovalTest, OnSixtyFourBitWindowsTheMonitorDllGoesFromSysWow64) {
    machine.system.wow64 = true;
    Installed(40, "47T(Label)");
    ASSERT_TRUE(machine.files.Exists("C:\\windows\\SysWOW64\\zqaNLM64.dll"));
    EXPECT_EQ(Remove("47T(Label)"), ec::kSuccess);
    EXPECT_EQ(machine.spooler.Driver("47T(Label)", kX64), nullptr);
    EXPECT_FALSE(machine.files.Exists("C:\\windows\\SysWOW64\\zqaNLM64.dll"));
    EXPECT_EQ(machine.spooler.Monitor(kMonitor), nullptr);
}

TEST_F(PrinterRemovalTest, TheMonitorStaysWhileAnotherLabelDriverUsesIt) {
    Installed(40, "47T(Label)");
    Installed(39, "3130T(Label)");
    EXPECT_EQ(Remove("47T(Label)"), ec::kSuccess);
    EXPECT_EQ(machine.spooler.Driver("47T(Label)", kX86), nullptr);
    EXPECT_NE(machine.spooler.Monitor(kMonitor), nullptr);
    EXPECT_TRUE(machine.files.Exists("C:\\windows\\system32\\zqaNLMNT.dll"));
    EXPECT_TRUE(Logged("the Advanced Language Monitor stays: the driver \"3130T(Label)\" uses it"));
}

TEST_F(PrinterRemovalTest, AReceiptDriverStaysWhileAnotherPrinterUsesIt) {
    Installed(27, "KV6X", "Front");
    Installed(27, "KV6X", "Back");
    EXPECT_EQ(Remove("front"), ec::kSuccess);  // names match without case, as in the spooler
    EXPECT_EQ(machine.spooler.Printer("Front"), nullptr);
    EXPECT_NE(machine.spooler.Printer("Back"), nullptr);
    EXPECT_NE(machine.spooler.Driver("KV6X", kX86), nullptr);
    EXPECT_TRUE(Logged("the driver \"KV6X\" stays: the printers \"Back\" use it"));
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "DeletePrinterDriverExA"), 0);
    // The last printer takes the driver, and a receipt driver no monitor.
    EXPECT_EQ(Remove("Back"), ec::kSuccess);
    EXPECT_EQ(machine.spooler.Driver("KV6X", kX86), nullptr);
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "DeleteMonitorA"), 0);
}

TEST_F(PrinterRemovalTest, EveryEnvironmentsCopyOfTheDriverGoes) {
    machine.spooler.SeedDriver("KV7X", kX86);
    machine.spooler.SeedDriver("KV7X", kX64);
    machine.spooler.SeedPrinter("Till 3", "KV7X", "USB001");
    EXPECT_EQ(Remove("Till 3"), ec::kSuccess);
    EXPECT_EQ(machine.spooler.Driver("KV7X", kX86), nullptr);
    EXPECT_EQ(machine.spooler.Driver("KV7X", kX64), nullptr);
    EXPECT_TRUE(Logged("the driver \"KV7X\" (Windows x64) is removed with its files"));
    EXPECT_TRUE(Logged("the driver \"KV7X\" (Windows NT x86) is removed with its files"));
}

TEST_F(PrinterRemovalTest, ASpoolerWithoutTheFileRemovalCallStillLosesTheRegistration) {
    Installed(27, "KV6X");
    machine.spooler.failures.FailAlways("DeletePrinterDriverExA",
                                        platform::error::kCallNotImplemented);
    EXPECT_EQ(Remove("KV6X"), ec::kSuccess);
    EXPECT_EQ(machine.spooler.Driver("KV6X", kX86), nullptr);
    EXPECT_TRUE(machine.files.Exists(std::string(kDirX86) + "\\3\\KV6X.GPD"));
    EXPECT_TRUE(
        Logged("the driver \"KV6X\" (Windows NT x86) is removed; this spooler keeps its files"));
}

TEST_F(PrinterRemovalTest, ADriverTheSpoolerCallsInUseIsAFailure) {
    Installed(27, "KV6X");
    machine.spooler.failures.FailNext("DeletePrinterDriverExA",
                                      platform::error::kPrinterDriverInUse);
    EXPECT_EQ(Remove("KV6X"), ec::kFailure);
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "DeletePrinterDriverA"), 0);
    EXPECT_NE(machine.spooler.Driver("KV6X", kX86), nullptr);
    EXPECT_TRUE(
        Logged("error: the driver \"KV6X\" (Windows NT x86) could not be removed (error 3001)"));
}

TEST_F(PrinterRemovalTest, AnotherMakersDriverStaysWithItsOtherPrinterGone) {
    machine.spooler.SeedDriver("Office Laser PCL", kX86);
    machine.spooler.SeedPrinter("Office", "Office Laser PCL", "LPT1:");
    EXPECT_EQ(Remove("Office"), ec::kSuccess);
    EXPECT_EQ(machine.spooler.Printer("Office"), nullptr);
    EXPECT_NE(machine.spooler.Driver("Office Laser PCL", kX86), nullptr);
    EXPECT_TRUE(
        Logged("the driver \"Office Laser PCL\" is not one this installer installs: it stays"));
}

TEST_F(PrinterRemovalTest, NoSuchPrinterChangesNothingAndSucceeds) {
    Installed(27, "KV6X");
    EXPECT_EQ(Remove("KV6"), ec::kSuccess);
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
    EXPECT_NE(machine.spooler.Driver("KV6X", kX86), nullptr);
    EXPECT_TRUE(Logged("there is no printer \"KV6\": nothing to remove"));
}

TEST_F(PrinterRemovalTest, APrinterThatCannotBeDeletedKeepsItsDriver) {
    Installed(27, "KV6X");
    machine.spooler.failures.FailNext("DeletePrinter", platform::error::kAccessDenied);
    EXPECT_EQ(Remove("KV6X"), ec::kFailure);
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
    EXPECT_NE(machine.spooler.Driver("KV6X", kX86), nullptr);
    EXPECT_TRUE(Logged("error: the printer \"KV6X\" could not be deleted (error 5)"));
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
}

TEST_F(PrinterRemovalTest, ASpoolerThatCannotListPrintersIsAFailure) {
    Installed(27, "KV6X");
    machine.spooler.failures.FailAlways("EnumPrintersA", 1722);
    EXPECT_EQ(Remove("KV6X"), ec::kFailure);
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
    EXPECT_TRUE(Logged("error: the spooler's printers could not be listed (error 1722)"));
}

TEST_F(PrinterRemovalTest, AMonitorThatCannotBeRemovedIsAFailure) {
    Installed(40, "47T(Label)");
    machine.spooler.failures.FailNext("DeleteMonitorA", platform::error::kAccessDenied);
    EXPECT_EQ(Remove("47T(Label)"), ec::kFailure);
    EXPECT_EQ(machine.spooler.Driver("47T(Label)", kX86), nullptr);
    EXPECT_NE(machine.spooler.Monitor(kMonitor), nullptr);
    EXPECT_TRUE(Logged("error: the Advanced Language Monitor could not be removed (error 5)"));
}

TEST(OwnDriverTest, OnlyTheCataloguesDriverNamesAreOwn) {
    EXPECT_TRUE(install::PrinterRemoval::IsOwnDriver("KV6X"));
    EXPECT_TRUE(install::PrinterRemoval::IsOwnDriver("4720 Series"));
    EXPECT_TRUE(install::PrinterRemoval::IsOwnDriver("A72I(Label)"));
    EXPECT_FALSE(install::PrinterRemoval::IsOwnDriver("kv6x"));
    EXPECT_FALSE(install::PrinterRemoval::IsOwnDriver("KV6X "));
    EXPECT_FALSE(install::PrinterRemoval::IsOwnDriver(""));
}

}  // namespace
