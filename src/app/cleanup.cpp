// Removing the unpacked working folders and the driver-name list when the
// dialog goes away, however it ends.
#include <cstring>

#include "app/installer_dialog.h"

namespace app {
namespace {

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

}  // namespace

void InstallerDialog::OnDestroy() {
    // A serial port search still running ends with the window.
    window_.KillTimer(PROBE_TIMER_ID);
    probeState = ProbeState::Idle;
    CloseSerialPort();
    // The worker may still be unpacking into these folders; it is never
    // waited for here (it talks to this very thread), so they stay.
    if (StartupRunning()) return;
    DeleteFolderTree("c:\\Barcode");
    DeleteFolderTree("c:\\Ticket");
    (void)platform_.files.DeleteFileA("c:\\DriverName.cfg");
}

void InstallerDialog::DeleteFolderTree(const std::string& path) {
    platform::Files& files = platform_.files;
    platform::FindData entry;
    const platform::FindHandle find = files.FindFirstFileA(path + "//*.*", entry);
    if (find != platform::kInvalidFindHandle) {
        do {
            if (IsDotEntry(entry.fileName)) continue;
            const std::string child = path + "//" + entry.fileName;
            if (entry.attributes & platform::file::kAttributeDirectory) {
                DeleteFolderTree(child);
            } else {
                (void)files.DeleteFileA(child);
            }
        } while (files.FindNextFileA(find, entry));
        files.FindClose(find);
    }
    // Fails, and keeps the folder, while anything inside could not go.
    (void)files.RemoveDirectoryA(path);
}

}  // namespace app
