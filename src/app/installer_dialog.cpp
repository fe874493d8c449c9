#include "base/installer_dialog.h"

#include "app/driver_list.h"
#include "base/model_catalogue.h"
#include "app/preflight.h"
#include "install/driver_installers.h"
#include "base/spooler_control.h"
#include "base/port_types.h"

namespace app {
namespace {

// No section has this number: FindModelIndex's answer for a name no
// section lists.
constexpr int kNotListed = -2;
// Enough of the archive library's account for a message box.
constexpr std::size_t kShownFailureText = 400;

}  // namespace

InstallerDialog::InstallerDialog(platform::Platform& platform, Operator* asked)
    : extractor(platform.libraries, platform.files, platform.threads),
      installButton(platform.window, IDC_INSTALL),
      progressBar(platform.window, IDC_PROGRESS),
      driverCombo(platform.window, IDC_DRIVER_COMBO),
      portTypeList(platform.window, IDC_PORT_TYPE_LIST),
      serialPort(platform.serial.Create()),
      platform_(platform),
      window_(platform.window),
      windowOperator_(platform.window),
      operator_(asked != nullptr ? *asked : windowOperator_) {}

void InstallerDialog::EnableInstall(bool enable) {
    installButton.Enable(enable && operator_.MayPressInstall());
}

InstallerDialog::~InstallerDialog() {
    // Neither the worker nor the serial channel's thread may outlive this object.
    CloseSerialPort();
    if (worker_) worker_->Join();
}

bool InstallerDialog::InitDialog() {
    ExchangeData(false);
    probePortNumber = 0;
    serialParity = 'N';
    serialByteSize = 8;
    serialStopBits = 1;
    serialEventMask = 3;
    serialBaudRate = ports::kBaudRates[ports::kPreselectedBaudRow];
    probeIndex = 0;
    serialReplyReceived = 0;
    receiptGroup1Size = 15;
    receiptGroup2Size = 7;
    receiptGroup3Size = 5;
    receiptGroup4Size = 11;
    FillPortTypeList();
    Refresh();

    startupRunning_ = true;
    worker_ = platform_.threads.Start([this] { StartupWorker(); });
    // Without a worker the dialog stays in its starting state (Install
    // disabled) until it is closed; the operator is told so rather than
    // left waiting.
    if (!worker_) {
        startupRunning_ = false;
        operator_.ShowMessageBox(
            OwnedBox(Message::kStartupNotStarted,
                     "The installer could not start its preparation (no thread "
                     "could be created). Close it and start it again.",
                     "Error", platform::mb::kOk));
    }
    return true;
}

bool InstallerDialog::ExchangeData(bool fromControls) {
    if (fromControls) {
        statusText = window_.GetControlText(IDC_STATUS);
        setDefaultPrinter = window_.GetCheck(IDC_SET_DEFAULT);
    } else {
        window_.SetControlText(IDC_STATUS, statusText);
        window_.SetCheck(IDC_SET_DEFAULT, setDefaultPrinter);
    }
    return true;
}

long InstallerDialog::OnUpdateDataMessage(std::uintptr_t wParam) {
    return ExchangeData(wParam != 0) ? 1 : 0;
}

void InstallerDialog::Refresh() {
    operator_.ShowStatus(statusText);
    window_.SendUpdateData();
}

void InstallerDialog::StartupWorker() {
    // Each step runs to completion; a close asked for meanwhile skips the
    // steps still to come, and the dialog ends once the worker is out.
    using Step = void (InstallerDialog::*)();
    constexpr Step kSteps[] = {
        &InstallerDialog::EnsureSpoolerRunning,  &InstallerDialog::EnumeratePorts,
        &InstallerDialog::UnpackDriverPackage,   &InstallerDialog::LoadDriverNames,
        &InstallerDialog::DetectOperatingSystem,
    };
    for (Step step : kSteps) {
        if (CloseRequested()) break;
        (this->*step)();
    }
    if (!CloseRequested()) EnableInstall(true);
    startupRunning_ = false;
    window_.PostStartupFinished();
}

void InstallerDialog::EnsureSpoolerRunning() {
    install::SpoolerControl(platform_.services, platform_.threads, operator_)
        .Run(install::kSpoolerService, install::kEnsureRunning);
}

void InstallerDialog::OnStartupFinished() {
    if (worker_) {
        worker_->Join();
        worker_.reset();
    }
    if (CloseRequested()) operator_.EndDialog(pendingResult_);
}

void InstallerDialog::EndWhenStartupDone(int result) {
    if (!startupRunning_) {
        operator_.EndDialog(result);
        return;
    }
    // The worker still uses the dialog, and may be unpacking into the
    // working folders: end once it is out.
    pendingResult_ = result;
    closeRequested_ = true;
    window_.EnableControl(platform::mb::kIdCancel, false);
}

void InstallerDialog::OnOk() {
    ExchangeData(true);
    EndWhenStartupDone(platform::mb::kIdOk);
}

void InstallerDialog::OnCancel() {
    EndWhenStartupDone(platform::mb::kIdCancel);
}

void InstallerDialog::OnClose() {
    EndWhenStartupDone(platform::mb::kIdCancel);
}

void InstallerDialog::OnInstall() {
    ExchangeData(true);
    if (installButton.GetText() == kFinishCaption) {
        OnOk();
        return;
    }
    // What the operator chose, read from the controls once, here.
    InstallRequest request;
    request.driverName = driverCombo.GetText();
    request.listRow = driverCombo.GetCurSel();
    request.printerName = window_.GetControlText(IDC_PRINTER_NAME);
    request.setDefault = setDefaultPrinter;
    for (int row = 0; row < portTypeList.GetItemCount(); ++row) {
        if (portTypeList.GetItemState(row, platform::lv::kSelected) == platform::lv::kSelected) {
            request.portType = row;
            break;
        }
    }
    Install(request);
}

void InstallerDialog::Install(const InstallRequest& request) {
    chosen = request;
    setDefaultPrinter = request.setDefault;
    EnableInstall(false);
    portSearch = PortSearch::NotRun;
    outcome = Outcome::None;
    outcomeReason.clear();

    // A port type chosen before stays chosen when the selection is cleared.
    if (request.portType >= 0) portTypeIndex = request.portType;
    if (portTypeIndex < 0) {
        // Nothing chosen yet and the selection cleared: ask rather than guess.
        const char* text = "Please select the port that you are using.";
        operator_.ShowMessageBox(
            OwnedBox(Message::kNoPortTypeChosen, text, "Prompt", platform::mb::kOk));
        EnableInstall(true);
        lastRoute = InstallRoute::Refused;
        EndInstallation(Outcome::Failed, text);
        return;
    }
    const StringArray* portsOfType = nullptr;
    switch (portTypeIndex) {
        case ports::kSerial: portsOfType = &serialPorts; break;
        case ports::kUsb: portsOfType = &usbPorts; break;
        case ports::kParallel: portsOfType = &parallelPorts; break;
        case ports::kTcpIp: portsOfType = &tcpipPorts; break;
        default: break;
    }
    if (portsOfType != nullptr) {
        if (!portsOfType->empty()) {
            printerPort = portsOfType->front();
        } else {
            portAvailable = false;
        }
    }

    const std::string& driverName = request.driverName;
    modelIndex = request.listRow;
    const int listedIndex = FindModelIndex(driverName, kNotListed);
    if (listedIndex == kNotListed && driverCombo.GetCount() > 0) {
        // The list position is a model index only by chance: installing
        // by it would put another model's driver under this name.
        RefuseUnlistedModel(driverName);
        return;
    }
    if (listedIndex != kNotListed) modelIndex = listedIndex;
    const catalogue::ReceiptBlocks blocks = Blocks();
    const bool receipt =
        catalogue::FamilyOf(modelIndex, blocks) == catalogue::DriverFamily::Receipt;
    const bool known =
        receipt ? catalogue::ResolveReceiptModel(modelIndex, blocks, driverName).has_value()
                : catalogue::ResolveLabelModel(modelIndex, blocks).has_value();
    if (!known) {
        RefuseUnknownModel(driverName);
        return;
    }
    if (!ClearToInstall(*this, driverName)) {
        EnableInstall(true);
        lastRoute = InstallRoute::Refused;
        return;
    }
    if (receipt) {
        lastRoute = InstallRoute::Receipt;
        install::ReceiptDriverInstaller(*this).Install();
    } else {
        lastRoute = InstallRoute::Label;
        install::LabelDriverInstaller(*this).Install();
    }
    window_.EnableControl(platform::mb::kIdCancel, false);
    ExchangeData(false);
}

void InstallerDialog::EndInstallation(Outcome how, const std::string& reason) {
    outcome = how;
    outcomeReason = reason;
    if (how == Outcome::Completed) OfferFinish();
}

void InstallerDialog::OfferFinish() {
    EnableInstall(true);
    installButton.SetText(kFinishCaption);
}

void InstallerDialog::RefuseUnknownModel(const std::string& driverName) {
    // No table row belongs to the model: installing would mean guessing.
    std::string text =
        driverCombo.GetCount() == 0
            ? "There is no driver to install. The driver package \"DriverData.Drv\" was not "
              "found in the program's folder, or it could not be unpacked."
            : "The driver \"" + driverName + "\" cannot be installed by this program.";
    if (driverCombo.GetCount() == 0 && !extractor.FailureText().empty()) {
        text += "\r\n\r\n" + extractor.FailureText().substr(0, kShownFailureText);
    }
    operator_.ShowMessageBox(
        OwnedBox(Message::kDriverNotInstallable, text, "Error", platform::mb::kOk));
    EnableInstall(true);
    lastRoute = InstallRoute::Refused;
    EndInstallation(Outcome::Failed, text);
}

void InstallerDialog::RefuseUnlistedModel(const std::string& driverName) {
    const std::string text = "The driver list \"" + std::string(kDriverListPath) +
                             "\" could not be read again, or it no longer lists the driver \"" +
                             driverName + "\". Nothing was installed.";
    operator_.ShowMessageBox(OwnedBox(Message::kDriverNotListed, text, "Error", platform::mb::kOk));
    EnableInstall(true);
    lastRoute = InstallRoute::Refused;
    EndInstallation(Outcome::Failed, text);
}

void InstallerDialog::LoadDriverNames() {
    driverCombo.ResetContent();
    // A list that may have been planted is never read.
    if (!workingFoldersProblem.empty()) {
        Refresh();
        return;
    }
    ScanDriverList(platform_.profile,
                   [this](int, const std::string& name) { driverCombo.AddString(name); });
    driverCombo.SetCurSel(0);
    OnDriverSelChange();
    Refresh();
}

void InstallerDialog::OnDriverSelChange() {
    window_.SetControlText(IDC_PRINTER_NAME, driverCombo.GetText());
}

int InstallerDialog::FindModelIndex(const std::string& driverName, int fallbackIndex) {
    int result = fallbackIndex;
    ScanDriverList(platform_.profile, [&](int section, const std::string& name) {
        if (name == driverName) result = section;
    });
    return result;
}

}  // namespace app
