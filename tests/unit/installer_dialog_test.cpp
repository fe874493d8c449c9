#include <gtest/gtest.h>

#include <algorithm>

#include "dialog_fixture.h"
#include "base/port_types.h"

namespace {

using Names = std::vector<std::string>;
using Route = app::InstallerDialog::InstallRoute;

class InstallerDialogTest : public testing_support::DialogTest {
protected:
    void InstallPackage() {
        machine.libraries.AddModule(
            "7-zip32.dll", {"SevenZip", "SevenZipSetOwnerWindowEx", "SevenZipKillOwnerWindowEx"});
        machine.files.SetCurrentDirectory("C:\\Installer");
        machine.files.WriteFile("C:\\Installer\\DriverData.Drv", "PK");
        // "Unpacking" places the driver-name list, as the real library does.
        machine.libraries.sevenZipResult = [this](const std::string&) {
            WriteDriverList(
                "[M0]\r\nPrintName1=4720 Series\r\n[M1]\r\nPrintName1=4740 Series\r\n"
                "PrintName2=PKV Series\r\n");
            return 0;
        };
    }
    void SelectDriver(int index) {
        window.ComboSetCurSel(IDC_DRIVER_COMBO, index);
        dialog->OnDriverSelChange();
    }
    void SelectPortType(int row) {
        window.ListViewSetItemState(IDC_PORT_TYPE_LIST, row, platform::lv::kSelected,
                                    platform::lv::kSelected);
    }
    bool Enabled(int id) { return window.Control(id).enabled; }
};

TEST_F(InstallerDialogTest, InitialisationSetsTheDefaults) {
    machine.threads.mode = sim::StartMode::Deferred;
    dialog->InitDialog();
    EXPECT_EQ(window.Control(IDC_STATUS).text, "");  // the template text is gone at once
    EXPECT_EQ(window.Control(IDC_SET_DEFAULT).check, 1);
    EXPECT_EQ(dialog->receiptGroup1Size + dialog->receiptGroup2Size + dialog->receiptGroup3Size +
                  dialog->receiptGroup4Size,
              38);
    EXPECT_EQ(dialog->serialParity, 'N');
    EXPECT_EQ(dialog->serialEventMask, 3);
    EXPECT_EQ(window.SelectedRows(IDC_PORT_TYPE_LIST), (std::vector<int>{0}));
    EXPECT_FALSE(Enabled(IDC_INSTALL));  // until the worker is done
    EXPECT_TRUE(dialog->StartupRunning());
    machine.threads.RunPending();
    DeliverStartupFinished();
    EXPECT_TRUE(Enabled(IDC_INSTALL));
    EXPECT_FALSE(dialog->StartupRunning());
}

TEST_F(InstallerDialogTest, StartupRunsEveryStepInOrder) {
    InstallPackage();
    machine.spooler.ClearPorts();
    machine.spooler.AddPort("LPT1:", "Local Port", "Local Port");
    StartDialog();
    EXPECT_EQ(machine.services.State("Spooler"), platform::svc::kRunning);
    EXPECT_EQ(dialog->parallelPorts, (Names{"LPT1:"}));
    EXPECT_EQ(window.Control(IDC_DRIVER_COMBO).items,
              (Names{"4720 Series", "4740 Series", "PKV Series"}));
    EXPECT_EQ(window.Control(IDC_PRINTER_NAME).text, "4720 Series");
    EXPECT_EQ(window.Control(IDC_STATUS).text, "Current System is Microsoft Windows 7  32 bit");
    const Names history = window.StatusHistory();
    EXPECT_NE(std::find(history.begin(), history.end(), "Reading driver file..."), history.end());
    EXPECT_TRUE(Enabled(IDC_INSTALL));
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(InstallerDialogTest, PortsAreEnumeratedOnlyOnceTheSpoolerRuns) {
    // As on Windows: with the service stopped the spooler answers nothing,
    // so a worker that enumerated first would find no port at all.
    machine.RequireRunningSpooler();
    machine.spooler.ClearPorts();
    machine.spooler.AddPort("USB001");
    StartDialog();
    EXPECT_EQ(dialog->usbPorts, (Names{"USB001"}));
    EXPECT_EQ(window.SelectedRows(IDC_PORT_TYPE_LIST), (std::vector<int>{ports::kUsb}));
}

TEST_F(InstallerDialogTest, StartupWithoutPackageOrLibraryStillEnablesInstall) {
    StartDialog();  // no library at all
    EXPECT_TRUE(window.Control(IDC_DRIVER_COMBO).items.empty());
    EXPECT_TRUE(Enabled(IDC_INSTALL));
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(InstallerDialogTest, InstallTakesTheFirstPortOfTheChosenTypeAndTheModelFamily) {
    InstallPackage();
    machine.spooler.AddPort("LPT2:", "Local Port", "Local Port");
    machine.spooler.AddPort("LPT3:", "Local Port", "Local Port");
    StartDialog();
    SelectPortType(ports::kParallel);
    SelectDriver(2);
    dialog->OnInstall();
    EXPECT_EQ(dialog->portTypeIndex, ports::kParallel);
    EXPECT_EQ(dialog->printerPort, "LPT1:");  // the prefix's own LPT1: comes first
    EXPECT_EQ(dialog->modelIndex, 1);         // the section that lists "PKV Series"
    EXPECT_EQ(dialog->lastRoute, Route::Receipt);
    EXPECT_TRUE(dialog->portAvailable);
    EXPECT_FALSE(Enabled(platform::mb::kIdCancel));
}

TEST_F(InstallerDialogTest, APortTypeWithoutPortsClearsPortAvailableForGood) {
    InstallPackage();
    StartDialog();
    SelectPortType(ports::kUsb);
    dialog->printerPort = "kept";
    dialog->OnInstall();
    EXPECT_FALSE(dialog->portAvailable);
    EXPECT_EQ(dialog->printerPort, "kept");
    SelectPortType(ports::kParallel);
    dialog->OnInstall();
    EXPECT_FALSE(dialog->portAvailable);
}

TEST_F(InstallerDialogTest, LabelSectionsGoToTheLabelInstallation) {
    std::string text;
    for (int k = 0; k <= 40; ++k) text += "[S" + std::to_string(k) + "]\r\n";
    text += "PrintName1=47T(Label)\r\n";
    WriteDriverList(text);
    StartDialog();
    dialog->OnInstall();
    EXPECT_EQ(dialog->modelIndex, 40);
    EXPECT_EQ(dialog->lastRoute, Route::Label);
}

TEST_F(InstallerDialogTest, ModelsWithoutTableRowsAreRefusedWithAMessage) {
    StartDialog();  // empty driver list: index -1
    dialog->OnInstall();
    EXPECT_EQ(dialog->modelIndex, -1);
    EXPECT_EQ(dialog->lastRoute, Route::Refused);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].caption, "Error");
    EXPECT_NE(window.messageBoxes[0].text.find("DriverData.Drv"), std::string::npos);
    EXPECT_TRUE(Enabled(IDC_INSTALL));
    EXPECT_TRUE(Enabled(platform::mb::kIdCancel));  // nothing was attempted

    std::string text;
    for (int k = 0; k <= 43; ++k) text += "[S" + std::to_string(k) + "]\r\n";
    text += "PrintName1=Beyond\r\n";
    WriteDriverList(text);
    dialog->LoadDriverNames();
    dialog->OnInstall();
    EXPECT_EQ(dialog->modelIndex, 43);
    ASSERT_FALSE(window.messageBoxes.empty());
    EXPECT_EQ(window.messageBoxes.back().text,
              "The driver \"Beyond\" cannot be installed by this program.");
}

TEST_F(InstallerDialogTest, ABlockingPreflightShowsOneBoxAndLeavesInstallEnabled) {
    InstallPackage();
    // The package declares more than the system drive has free.
    machine.libraries.declaredTotal = (std::uint64_t(20) << 30) + 1;
    machine.token.administrator = false;
    StartDialog();
    SelectPortType(ports::kParallel);
    SelectDriver(2);
    dialog->OnInstall();
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].caption, "Error");
    const std::string& text = window.messageBoxes[0].text;
    EXPECT_EQ(text.rfind(
                  "The installation cannot start on this machine:\r\n\r\n- this process is not", 0),
              0u);
    EXPECT_NE(text.find("free at least 1 MiB on C:\\."), std::string::npos) << text;
    EXPECT_EQ(dialog->lastRoute, Route::Refused);
    EXPECT_TRUE(Enabled(IDC_INSTALL));
    EXPECT_TRUE(machine.spooler.PrinterNames().empty());

    // Once nothing blocks, Install goes ahead without a word.
    machine.token.administrator = true;
    machine.files.freeBytes['C'] = machine.libraries.declaredTotal;
    dialog->OnInstall();
    for (std::size_t i = 1; i < window.messageBoxes.size(); ++i) {
        EXPECT_EQ(window.messageBoxes[i].text.find("cannot start"), std::string::npos);
    }
    EXPECT_EQ(dialog->lastRoute, Route::Receipt);
}

TEST_F(InstallerDialogTest, ClearedPortSelectionBeforeTheFirstInstallAsksForAType) {
    InstallPackage();
    // One parallel port: no port dialog, whose closing would preselect a
    // port type again.
    ASSERT_TRUE(machine.spooler.RemovePort("LPT2:") && machine.spooler.RemovePort("LPT3:"));
    StartDialog();
    window.ListViewSetItemState(IDC_PORT_TYPE_LIST, 0, 0, platform::lv::kSelected);
    ASSERT_TRUE(window.SelectedRows(IDC_PORT_TYPE_LIST).empty());
    dialog->OnInstall();
    EXPECT_EQ(dialog->lastRoute, Route::Refused);
    ASSERT_FALSE(window.messageBoxes.empty());
    EXPECT_EQ(window.messageBoxes.back().text, "Please select the port that you are using.");
    EXPECT_TRUE(Enabled(IDC_INSTALL));

    // After a real choice, a cleared selection keeps the earlier type.
    SelectPortType(ports::kParallel);
    dialog->OnInstall();
    window.ListViewSetItemState(IDC_PORT_TYPE_LIST, ports::kParallel, 0, platform::lv::kSelected);
    dialog->OnInstall();
    EXPECT_EQ(dialog->portTypeIndex, ports::kParallel);
    EXPECT_EQ(dialog->lastRoute, Route::Receipt);
}

TEST_F(InstallerDialogTest, FinishCaptionClosesWithoutInstalling) {
    StartDialog();
    window.Control(IDC_INSTALL).text = "&Finish";
    window.Control(IDC_SET_DEFAULT).check = 0;
    dialog->OnInstall();
    EXPECT_TRUE(window.ended);
    EXPECT_EQ(window.endResult, platform::mb::kIdOk);
    EXPECT_EQ(dialog->lastRoute, Route::None);
    EXPECT_EQ(dialog->setDefaultPrinter, 0);  // the OK path saved the controls
}

TEST_F(InstallerDialogTest, OnlyTheExactFinishCaptionCloses) {
    StartDialog();
    window.Control(IDC_INSTALL).text = "&finish";
    dialog->OnInstall();
    EXPECT_FALSE(window.ended);
}

TEST_F(InstallerDialogTest, ClosingDuringStartupWaitsForTheWorker) {
    machine.threads.mode = sim::StartMode::Deferred;
    InstallPackage();
    dialog->InitDialog();
    dialog->OnClose();
    EXPECT_FALSE(window.ended);  // the worker still owns the dialog's state
    EXPECT_FALSE(Enabled(platform::mb::kIdCancel));
    machine.threads.RunPending();
    DeliverStartupFinished();
    EXPECT_TRUE(window.ended);
    EXPECT_EQ(window.endResult, platform::mb::kIdCancel);
    // The steps still to come were skipped: nothing was unpacked.
    EXPECT_EQ(sim::CountCalls(machine.libraries.calls, "SevenZip"), 0);
    EXPECT_FALSE(Enabled(IDC_INSTALL));
}

TEST_F(InstallerDialogTest, CancelAfterStartupEndsAtOnce) {
    StartDialog();
    dialog->OnCancel();
    EXPECT_TRUE(window.ended);
    EXPECT_EQ(window.endResult, platform::mb::kIdCancel);
}

TEST_F(InstallerDialogTest, RealWorkerThreadAndDialogThreadMeetSafely) {
    machine.threads.mode = sim::StartMode::Real;
    InstallPackage();
    dialog->InitDialog();
    dialog->OnClose();
    dialog.reset();  // joins the worker before anything is freed
    // The worker ran to its end (its last act is the "finished" post) before
    // the dialog was gone.
    EXPECT_EQ(window.startupFinishedPosts, 1);
}

TEST_F(InstallerDialogTest, AWorkerThatCannotStartLeavesInstallDisabled) {
    machine.threads.failStart = true;
    dialog->InitDialog();
    EXPECT_FALSE(dialog->StartupRunning());
    EXPECT_FALSE(Enabled(IDC_INSTALL));
    ASSERT_EQ(window.messageBoxes.size(), 1u);  // not left waiting in silence
    EXPECT_EQ(window.messageBoxes[0].caption, "Error");
    EXPECT_TRUE(Enabled(platform::mb::kIdCancel));
    dialog->OnClose();
    EXPECT_TRUE(window.ended);
}

TEST_F(InstallerDialogTest, RefreshMessagesCarryFieldsBothWays) {
    dialog->statusText = "shown";
    dialog->setDefaultPrinter = 0;
    EXPECT_EQ(dialog->OnUpdateDataMessage(0), 1);
    EXPECT_EQ(window.Control(IDC_STATUS).text, "shown");
    EXPECT_EQ(window.Control(IDC_SET_DEFAULT).check, 0);
    window.Control(IDC_SET_DEFAULT).check = 1;
    EXPECT_EQ(dialog->OnUpdateDataMessage(1), 1);
    EXPECT_EQ(dialog->setDefaultPrinter, 1);
}

}  // namespace
