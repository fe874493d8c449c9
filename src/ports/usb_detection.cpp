// Finding the USB port a printer is on: the printer is moved to each USB
// port in turn and the spooler restarted, until the spooler reports it on
// line. Windows 7 answers nothing useful here, so every port is only
// written and the last one stays.
#include "base/installer_dialog.h"
#include "base/os_detection.h"
#include "base/spooler_control.h"

namespace app {
namespace {

constexpr const char* kNoPortText =
    "Failed to select USB port,please check the port is connected.\r\n\r\n"
    "Click Retry:Retry to select usb port\r\n"
    "Click Cancel:Continue installation, you can select the port after installation";

}  // namespace

void InstallerDialog::DetectUsbPort() {
    for (;;) {
        statusText = "Checking USB ports...";
        Refresh();
        const bool windows7 = GetWindowsVersionCode() == kWindows7;
        const std::string printerName = InstalledPrinterName();
        bool found = false;
        for (const std::string& port : usbPorts) {
            statusText = "Checking  " + port + " ....";
            Refresh();
            SetPrinterPort(printerName, port);
            progressBar.SetPos(50);
            if (windows7) {
                found = true;
                continue;
            }
            RunSpooler(install::kRestart);
            progressBar.SetPos(60);
            if (ReadPrinterOnLine(printerName)) {
                progressBar.SetPos(70);
                found = true;
                portSearch = PortSearch::Found;
                break;
            }
        }
        if (found) break;
        portSearch = PortSearch::NotFound;
        if (operator_.ShowMessageBox(OwnedBox(Message::kUsbPortNotFound, kNoPortText,
                                              "Fail to select port", platform::mb::kRetryCancel)) !=
            platform::mb::kIdRetry) {
            break;
        }
    }
    progressBar.SetPos(80);
}

}  // namespace app
