// Removing the unpacked working folders and the driver-name list when the
// dialog goes away, however it ends.
#include "base/installer_dialog.h"
#include "package/working_folders.h"

namespace app {

void InstallerDialog::OnDestroy() {
    // A serial port search still running ends with the window.
    window_.KillTimer(PROBE_TIMER_ID);
    probeState = ProbeState::Idle;
    CloseSerialPort();
    // The worker may still be unpacking into these folders; it is never
    // waited for here (it talks to this very thread), so they stay.
    if (StartupRunning()) return;
    DeleteFolderTree(package::kBarcodeFolder);
    DeleteFolderTree(package::kTicketFolder);
    // A link there is removed as a link, as in the folders.
    (void)package::RemoveTree(platform_.files, package::kDriverListFile);
}

void InstallerDialog::DeleteFolderTree(const std::string& path) {
    (void)package::RemoveTree(platform_.files, path);
}

}  // namespace app
