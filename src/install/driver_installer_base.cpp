#include "base/installer_dialog.h"
#include "base/os_detection.h"
#include "base/spooler_control.h"
#include "install/driver_installers.h"

namespace install {

DriverInstallerBase::DriverInstallerBase(app::InstallerDialog& dialog)
    : dialog_(dialog),
      blocks_{dialog.receiptGroup1Size, dialog.receiptGroup2Size, dialog.receiptGroup3Size,
              dialog.receiptGroup4Size},
      wow64_(dialog.isWow64 != 0) {}

bool DriverInstallerBase::FindDriverDirectory() {
    platform::BoolResult found = AskDriverDirectory();
    if (!found.IsOne() && found.lastError != platform::error::kInsufficientBuffer) {
        // A stopped spooler answers nothing; it is started for the
        // registration anyway, so start it now and ask again.
        dialog_.RunSpooler(kEnsureRunning);
        found = AskDriverDirectory();
    }
    if (found.IsOne() && !driverDirectory_.empty()) return true;
    // Without the directory every copy would land in the root of the
    // current drive and the registration would fail for want of the files.
    const std::string text = "The printer driver folder for \"" + environment_ +
                             "\" could not be found (error " + std::to_string(found.lastError) +
                             ").";
    dialog_.TheOperator().ShowMessageBox(
        app::OwnedBox(app::Message::kDriverFolderNotFound, text, "Error", platform::mb::kOk));
    GiveUp(text);
    return false;
}

platform::BoolResult DriverInstallerBase::AskDriverDirectory() {
    platform::Spooler& spooler = dialog_.Platform().spooler;
    std::uint32_t needed = 0;
    environment_ = kEnvironmentX86;
    platform::BoolResult found = spooler.GetPrinterDriverDirectoryA(
        environment_, 1, kDriverDirectoryBufferSize, driverDirectory_, needed);
    if (wow64_) {
        environment_ = kEnvironmentX64;
        found = spooler.GetPrinterDriverDirectoryA(environment_, 1, kDriverDirectoryBufferSize,
                                                   driverDirectory_, needed);
    }
    return found;
}

bool DriverInstallerBase::PathsFit(const std::vector<std::string>& paths, std::size_t bufferSize) {
    for (const std::string& path : paths) {
        if (path.size() < bufferSize) continue;
        const std::string text = "The printer driver folder \"" + driverDirectory_ +
                                 "\" is too long: the path \"" + path + "\" does not fit in " +
                                 std::to_string(bufferSize - 1) + " characters.";
        dialog_.TheOperator().ShowMessageBox(
            app::OwnedBox(app::Message::kDriverFolderTooLong, text, "Error", platform::mb::kOk));
        GiveUp(text);
        return false;
    }
    return true;
}

void DriverInstallerBase::CopyShowingDestination(const std::string& source,
                                                 const std::string& destination) {
    // A missing source is not looked at here: the registration names it.
    (void)dialog_.Platform().files.CopyFileA(source, destination, false);
    ShowStatus(destination);
}

void DriverInstallerBase::DeleteFromDriverDirectory(const std::string& fileName) {
    (void)dialog_.Platform().files.DeleteFileA(InDriverDirectory(fileName));
}

std::string DriverInstallerBase::InDriverDirectory(const std::string& fileName) const {
    return driverDirectory_ + "\\" + fileName;
}

void DriverInstallerBase::ShowStatus(const std::string& text) {
    dialog_.statusText = text;
    dialog_.Refresh();
}

std::uint32_t DriverInstallerBase::DriverVersion() {
    // NT 4 takes version 2 drivers (kernel mode); every later Windows 3.
    return dialog_.GetWindowsVersionCode() == app::kWindowsNt4 ? 2 : 3;
}

platform::BoolResult DriverInstallerBase::AddDriver(const platform::DriverInfo3& info) {
    return dialog_.Platform().spooler.AddPrinterDriverExA(3, info,
                                                          platform::spool::kApdCopyAllFiles);
}

void DriverInstallerBase::AfterFailedRegistration(int answer, const std::string& reason) {
    dialog_.EndInstallation(app::InstallerDialog::Outcome::Failed, reason);
    if (answer == platform::mb::kIdRetry) {
        dialog_.installButton.SetText("Reinstall");
        dialog_.EnableInstall(true);
        dialog_.progressBar.SetPos(0);
        return;
    }
    dialog_.OnOk();
}

void DriverInstallerBase::GiveUp(const std::string& reason) {
    dialog_.EndInstallation(app::InstallerDialog::Outcome::Failed, reason);
    dialog_.EnableInstall(true);
    dialog_.progressBar.SetPos(0);
}

}  // namespace install
