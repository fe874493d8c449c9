// The start-up step that unpacks the driver package into the root of C:.
#include "base/installer_dialog.h"
#include "package/working_folders.h"

namespace app {

void InstallerDialog::UnpackDriverPackage() {
    // Whatever stands at the working names is cleared, and they are made
    // anew for administrators only, before a byte is unpacked.
    const package::PreparedFolders folders =
        package::PrepareWorkingFolders(platform_.files, [this](const std::string& note) {
            statusText = note;
            Refresh();
        });
    if (!folders.ready) {
        workingFoldersProblem = folders.problem;
        statusText = "The driver package was not unpacked.";
        Refresh();
        operator_.ShowMessageBox(
            OwnedBox(Message::kWorkingFoldersNotReady,
                     "The driver package cannot be unpacked: " + folders.problem + ".", "Error",
                     platform::mb::kOk));
        return;
    }
    statusText = "Reading driver file...";
    Refresh();
    extractor.SetOwnerWindow(window_.Handle());
    const std::string folder = platform_.files.GetCurrentDirectoryA(platform::file::kMaxPath);
    // The outcome is not shown: a missing package surfaces as an empty
    // driver list.
    (void)extractor.Extract(folder + "\\" + package::kPackageFileName, "C:\\");
    extractor.Unload();
}

}  // namespace app
