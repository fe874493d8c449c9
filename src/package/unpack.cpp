// The start-up step that unpacks the driver package into the root of C:.
#include "app/installer_dialog.h"

namespace app {

void InstallerDialog::UnpackDriverPackage() {
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
