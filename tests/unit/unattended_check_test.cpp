// /list and /check.
#include <gtest/gtest.h>

#include "unattended_cases.h"

namespace {

using namespace testing_support::unattended;

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
