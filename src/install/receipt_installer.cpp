// Receipt models: the universal printer driver (Unidrv) with the model's GPD
// file and the maker's rendering DLL, and for the fourth block of models the
// rendering plug-in with its settings file.
#include "base/installer_dialog.h"
#include "install/driver_installers.h"
#include "base/spooler_control.h"

namespace install {
namespace cat = app::catalogue;

namespace {

constexpr std::size_t kPathBufferSize = 260;
constexpr const char* kRetryText =
    "Failed to add the driver %d\r\n\r\nClick Retry:You can retry\r\nClick Cancel"
    "\xA3\xBA"
    "Exit and abort installation";

std::string RetryText(std::uint32_t error) {
    std::string text = kRetryText;
    return text.replace(text.find("%d"), 2, std::to_string(error));
}

}  // namespace

std::vector<std::string> ReceiptDriverInstaller::DependentFiles(const cat::ReceiptModel& model) {
    std::vector<std::string> files = {"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD"};
    if (model.withPlugin) {
        files.push_back("\\QOEMUNI.ini");
        files.push_back("\\QOEMUNI.dll");
    }
    files.push_back(std::string(model.renderingBase) + ".DLL");
    return files;
}

platform::DriverInfo3 ReceiptDriverInstaller::DriverRecord(const cat::ReceiptModel& model) {
    platform::DriverInfo3 info;
    info.version = DriverVersion();
    info.name = model.driverName;
    info.environment = environment_;
    info.driverPath = InDriverDirectory("uniDRV.DLL");
    info.dataFile = InDriverDirectory(std::string(model.gpdBase) + ".GPD");
    info.configFile = InDriverDirectory("uniDRVui.DLL");
    info.helpFile = InDriverDirectory("uniDRV.HLP");
    info.dependentFiles = DependentFiles(model);
    info.monitorName = std::string();
    info.defaultDataType = "RAW";
    return info;
}

void ReceiptDriverInstaller::Install() {
    if (!dialog_.PreselectPort()) {
        dialog_.EnableInstall(true);
        return;
    }
    if (!FindDriverDirectory()) return;
    const std::string sourceFolder = wow64_ ? "C:\\Ticket\\x64\\" : "C:\\Ticket\\x86\\";
    const std::string printerName = dialog_.InstalledPrinterName();
    const auto model =
        cat::ResolveReceiptModel(dialog_.modelIndex, blocks_, dialog_.chosen.driverName);
    if (!model) {  // the Install command refuses such models before this
        GiveUp("the model is not in the catalogue");
        return;
    }
    const std::string rendering = std::string(model->renderingBase) + ".DLL";
    const std::string gpd = std::string(model->gpdBase) + ".GPD";
    const platform::DriverInfo3 record = DriverRecord(*model);
    std::vector<std::string> paths = {*record.driverPath, *record.dataFile, *record.configFile,
                                      *record.helpFile};
    if (!PathsFit(paths, kPathBufferSize)) return;

    CopyShowingDestination(sourceFolder + rendering, InDriverDirectory(rendering));
    CopyShowingDestination(sourceFolder + gpd, InDriverDirectory(gpd));
    CopyShowingDestination(sourceFolder + "QOEMUNI.dll", InDriverDirectory("QOEMUNI.dll"));
    CopyShowingDestination(sourceFolder + "QOEMUNI.ini", InDriverDirectory("QOEMUNI.ini"));
    for (const char* file : cat::kUnidrvFiles) {
        CopyShowingDestination(sourceFolder + file, InDriverDirectory(file));
    }
    dialog_.progressBar.SetPos(10);
    ShowStatus(std::string("Adding printer drive ") + model->driverName);

    dialog_.RunSpooler(kEnsureRunning);
    const platform::BoolResult added = AddDriver(record);
    if (!added.IsOne()) {
        // The copies stay: only a registration makes the spooler keep its own.
        const std::string text = RetryText(added.lastError);
        AfterFailedRegistration(
            dialog_.TheOperator().ShowMessageBox(app::OwnedBox(
                app::Message::kDriverNotRegistered, text, "Error", platform::mb::kRetryCancel)),
            text);
        return;
    }
    ShowStatus(std::string("Driver ") + model->driverName + " is added");
    // The plug-in and its settings stay in the driver directory.
    DeleteFromDriverDirectory(rendering);
    DeleteFromDriverDirectory(gpd);
    for (const char* file : cat::kUnidrvFiles) DeleteFromDriverDirectory(file);
    dialog_.progressBar.SetPos(20);

    dialog_.SetUpPrinter(printerName, model->driverName, cat::DriverFamily::Receipt);
}

}  // namespace install
