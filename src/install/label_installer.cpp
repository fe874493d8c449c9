// Label models: the maker's own driver DLLs, 27 language resource DLLs, a
// help file, three per-model data files, and the print-language monitor
// whose DLL goes into the system directory.
#include <array>

#include "base/installer_dialog.h"
#include "install/driver_installers.h"
#include "base/spooler_control.h"

namespace install {
namespace cat = app::catalogue;

namespace {

constexpr std::size_t kPathBufferSize = 200;
constexpr std::size_t kDriverFileRow = 1;
constexpr std::size_t kInterfaceFileRow = 2;
constexpr std::size_t kFirstLanguageRow = 3;
constexpr const char* kRetryText =
    "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\nClick Cancel"
    "\xA3\xBA"
    "exit and abort installation";

const std::array<const char*, cat::kLabelFileCount>& FileTable(bool x64) {
    return x64 ? cat::kLabelFilesX64 : cat::kLabelFilesX86;
}

std::string RetryText(std::uint32_t error) {
    std::string text = kRetryText;
    return text.replace(text.find("%d"), 2, std::to_string(error));
}

}  // namespace

std::vector<std::string> LabelDriverInstaller::DependentFiles(const cat::LabelModel& model,
                                                              bool x64) {
    const auto& table = FileTable(x64);
    std::vector<std::string> files;
    for (std::size_t row = kFirstLanguageRow; row < table.size(); ++row) {
        files.push_back(std::string("\\") + table[row]);
    }
    files.push_back(std::string("\\") + model.baseName + ".BA0");
    files.push_back(std::string(model.baseName) + ".PP0");
    return files;
}

platform::DriverInfo3 LabelDriverInstaller::DriverRecord(const cat::LabelModel& model) {
    const auto& table = FileTable(wow64_);
    platform::DriverInfo3 info;
    info.version = DriverVersion();
    info.name = model.driverName;
    info.environment = environment_;
    info.driverPath = InDriverDirectory(table[kDriverFileRow]);
    info.dataFile = InDriverDirectory(std::string(model.baseName) + ".DAT");
    info.configFile = InDriverDirectory(table[kInterfaceFileRow]);
    info.helpFile = InDriverDirectory(cat::kLabelHelpFile);
    info.dependentFiles = DependentFiles(model, wow64_);
    info.monitorName = kLanguageMonitorName;
    info.defaultDataType = "RAW";
    return info;
}

std::string LabelDriverInstaller::MonitorDestination(const std::string& monitorFile) {
    platform::Files& files = dialog_.Platform().files;
    // A 32-bit process names SysWOW64 itself; the system directory it is
    // given would be redirected there anyway.
    if (wow64_)
        return files.GetWindowsDirectoryA(kSystemPathBufferSize) + "\\SysWOW64\\" + monitorFile;
    return files.GetSystemDirectoryA(kSystemPathBufferSize) + "\\" + monitorFile;
}

bool LabelDriverInstaller::InstallLanguageMonitor(const std::string& monitorFile) {
    const std::string source = (wow64_ ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\") + monitorFile;
    const std::string destination = MonitorDestination(monitorFile);
    CopyShowingDestination(source, destination);

    platform::Spooler& spooler = dialog_.Platform().spooler;
    dialog_.RunSpooler(kEnsureRunning);
    // The spooler holds a monitor's DLL while the monitor is registered: an
    // older one is removed, and the spooler restarted to let go of it.
    if (spooler.DeleteMonitorA(environment_, kLanguageMonitorName).IsOne()) {
        dialog_.RunSpooler(kRestart);
    }
    platform::MonitorInfo2 monitor;
    monitor.name = kLanguageMonitorName;
    monitor.environment = environment_;
    monitor.dllName = destination;
    const platform::BoolResult added = spooler.AddMonitorA(2, monitor);
    if (added.IsOne() || added.lastError == platform::error::kPrintMonitorAlreadyInstalled) {
        return true;
    }
    const char* text = "Failed to add Monitor\r\n";
    dialog_.TheOperator().ShowMessageBox(
        app::AppBox(app::Message::kMonitorNotAdded, text, platform::mb::kOk));
    dialog_.EndInstallation(app::InstallerDialog::Outcome::Failed, text);
    dialog_.OnOk();
    return false;
}

void LabelDriverInstaller::Install() {
    if (!dialog_.PreselectPort()) {
        dialog_.EnableInstall(true);
        return;
    }
    const auto model = cat::ResolveLabelModel(dialog_.modelIndex, blocks_);
    if (!model) {  // the Install command refuses such models before this
        GiveUp("the model is not in the catalogue");
        return;
    }
    const std::string printerName = dialog_.chosen.driverName;
    if (!FindDriverDirectory()) return;
    const auto& table = FileTable(wow64_);
    const platform::DriverInfo3 record = DriverRecord(*model);
    std::vector<std::string> paths = {*record.driverPath, *record.dataFile, *record.configFile,
                                      *record.helpFile};
    if (!PathsFit(paths, kPathBufferSize)) return;

    if (!InstallLanguageMonitor(table[0])) return;
    ShowStatus(std::string(kLanguageMonitorName) + " is added");

    const std::string source = wow64_ ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";
    for (const char* file : table) CopyShowingDestination(source + file, InDriverDirectory(file));
    CopyShowingDestination(std::string("C:\\Barcode\\Common\\") + cat::kLabelHelpFile,
                           InDriverDirectory(cat::kLabelHelpFile));
    for (const char* extension : cat::kLabelDataExtensions) {
        const std::string file = std::string(model->baseName) + extension;
        CopyShowingDestination("C:\\Barcode\\Common\\" + file, InDriverDirectory(file));
    }
    dialog_.progressBar.SetPos(10);
    ShowStatus(std::string("Adding printer drive ") + model->driverName);

    const platform::BoolResult added = AddDriver(record);
    if (!added.IsOne()) {
        const std::string text = RetryText(added.lastError);
        AfterFailedRegistration(
            dialog_.TheOperator().ShowMessageBox(
                app::AppBox(app::Message::kDriverNotRegistered, text, platform::mb::kRetryCancel)),
            text);
        return;
    }
    ShowStatus(std::string("Driver ") + model->driverName + " is added");
    DeleteFromDriverDirectory(cat::kLabelHelpFile);
    DeleteFromDriverDirectory(std::string(model->baseName) + ".BA0");
    DeleteFromDriverDirectory(std::string(model->baseName) + ".PP0");
    DeleteFromDriverDirectory(std::string(model->baseName) + ".DAT");
    for (const char* file : table) DeleteFromDriverDirectory(file);
    dialog_.progressBar.SetPos(20);

    dialog_.SetUpPrinter(printerName, model->driverName, cat::DriverFamily::Label);
}

}  // namespace install
