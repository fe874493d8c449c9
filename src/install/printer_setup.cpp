// The printer stage both installation sequences share: the port chosen up
// front for parallel and TCP/IP printers, then, once the driver is
// registered, the printer itself, the default printer and the hand-over to
// the USB or serial port search.
#include "base/installer_dialog.h"
#include "base/spooler_control.h"
#include "ports/port_dialogs.h"
#include "base/port_types.h"

namespace app {
namespace {

constexpr const char* kDefaultPrinterKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr std::uint32_t kReceiptPauseMs = 500;
constexpr std::uint32_t kLabelPauseMs = 100;

platform::PrinterDefaults AllAccessDefaults() {
    return platform::PrinterDefaults{std::string("RAW"), platform::spool::kPrinterAllAccess};
}

}  // namespace

bool InstallerDialog::ApplyPortChoice(int result, const StringArray& list, bool mayCreate) {
    if (result == kPortCreated) {
        if (!mayCreate || list.empty()) return false;
        printerPort = list.front();
        return true;
    }
    // Anything that is not a row (a cancel, a dialog's own IDOK or IDCANCEL,
    // a dialog that could not be shown) names no port.
    if (result == kPortCancelled || result < kPortChoiceBase) return false;
    // The dialog lists the spooler's ports itself and can disagree with
    // `list`: the port the operator saw and chose is the one.
    if (!chosenPort.empty()) {
        printerPort = chosenPort;
        return true;
    }
    const long row = static_cast<long>(result) - kPortChoiceBase;
    if (row >= static_cast<long>(list.size())) return false;
    printerPort = list[static_cast<std::size_t>(row)];
    return true;
}

bool InstallerDialog::PreselectPort() {
    const bool asks = portTypeIndex == ports::kTcpIp || portTypeIndex == ports::kParallel;
    if (asks && !presetPort.empty()) {
        printerPort = presetPort;
        return true;
    }
    if (portTypeIndex == ports::kTcpIp) {
        const int result = ChooseTcpIpPort();
        if (result == kPortCreated && tcpipPorts.empty()) {
            // The wizard says it made a port, yet the spooler lists no
            // Standard TCP/IP port: there is nothing to put the printer on.
            const char* text =
                "A new port was added, but the spooler does not list it as a Standard TCP/IP "
                "port, so the printer cannot be set up on it.\r\n\r\nPlease check the new "
                "port, or select other port type.";
            operator_.ShowMessageBox(
                OwnedBox(Message::kNewTcpIpPortNotListed, text, "Prompt", platform::mb::kOk));
            EndInstallation(Outcome::Failed, text);
            return false;
        }
        return PortChosen(ApplyPortChoice(result, tcpipPorts, true));
    }
    if (portTypeIndex == ports::kParallel) {
        return PortChosen(ApplyPortChoice(SelectParallelPort(), parallelPorts, false));
    }
    return true;
}

bool InstallerDialog::PortChosen(bool chosen) {
    if (!chosen) {
        EndInstallation(Outcome::Abandoned, portTypeIndex == ports::kTcpIp
                                                ? "no TCP/IP port was chosen"
                                                : "no parallel port was chosen");
    }
    return chosen;
}

void InstallerDialog::EnableDriverLoading() {
    // Without the privilege the step is simply skipped.
    platform::ProcessToken& token = platform_.token;
    platform::TokenHandle handle = 0;
    platform::Luid luid;
    if (!token
             .OpenProcessToken(platform::token::kAdjustPrivileges | platform::token::kQuery, handle)
             .NonZero()) {
        return;
    }
    if (token.LookupPrivilegeValueA("SeLoadDriverPrivilege", luid).NonZero()) {
        (void)token.AdjustTokenPrivileges(handle, luid, platform::token::kPrivilegeEnabled);
    }
    (void)token.CloseHandle(handle);
}

void InstallerDialog::RemoveExistingPrinter(const std::string& printerName) {
    platform::Spooler& spooler = platform_.spooler;
    platform::PrinterHandle existing = 0;
    if (!spooler.OpenPrinterA(printerName, existing, AllAccessDefaults()).IsOne()) return;
    statusText = "The printer " + printerName + " exists,Re-adding the printer...";
    Refresh();
    (void)spooler.SetPrinterA(existing, 0, platform::spool::kPrinterControlPurge);
    (void)spooler.DeletePrinter(existing);
    (void)spooler.ClosePrinter(existing);
}

void InstallerDialog::RemovePrinter(const std::string& printerName) {
    platform::Spooler& spooler = platform_.spooler;
    platform::PrinterHandle handle = 0;
    if (!spooler.OpenPrinterA(printerName, handle, AllAccessDefaults()).IsOne()) return;
    (void)spooler.DeletePrinter(handle);
    (void)spooler.ClosePrinter(handle);
}

bool InstallerDialog::AddPrinterOn(platform::PrinterInfo2& info, const std::string& port,
                                   platform::PrinterHandle& printer) {
    info.portName = port;
    std::uint32_t error = 0;
    printer = platform_.spooler.AddPrinterA(2, info, error);
    if (printer == 0) ReportAddPrinterFailure(error);
    return printer != 0;
}

bool InstallerDialog::CreatePrinter(const std::string& printerName, const std::string& driverName,
                                    platform::PrinterHandle& printer) {
    const bool usb = portTypeIndex == ports::kUsb;
    const bool standIn = !portAvailable && (portTypeIndex == ports::kSerial || usb);
    const std::string firstParallel = parallelPorts.empty() ? std::string() : parallelPorts.front();
    const std::string port = standIn ? firstParallel : printerPort;
    platform::PrinterInfo2 info;
    info.printerName = printerName;
    info.driverName = driverName;
    info.printProcessor = "WinPrint";
    info.datatype = "RAW";

    printer = 0;
    if (!port.empty()) {
        if (!AddPrinterOn(info, port, printer)) return false;
    } else if (!(standIn && usb)) {
        // No port of the type and no parallel port either: nothing to
        // create the printer on (a USB printer may still appear after the
        // restart below).
        ReportAddPrinterFailure(platform::error::kUnknownPort);
        return false;
    }

    if (portAvailable) {
        statusText = "Added the printer " + printerName;
    } else if (portTypeIndex == ports::kSerial) {
        statusText = "There's no serial port,the current port is" + firstParallel;
    } else if (usb) {
        // The restart lets a printer plugged in meanwhile show up as a port.
        RunSpooler(install::kRestart);
        EnumeratePorts();
        if (!usbPorts.empty()) {
            printerPort = usbPorts.front();
            // One printer of the name: the stand-in on the parallel port goes.
            // A printer handle does not outlive the spooler that gave it out,
            // so the stand-in is opened again by name after the restart.
            if (printer != 0) {
                (void)platform_.spooler.ClosePrinter(printer);
                printer = 0;
                RemovePrinter(printerName);
            }
            if (!AddPrinterOn(info, printerPort, printer)) return false;
        } else if (printer == 0) {
            ReportAddPrinterFailure(platform::error::kUnknownPort);
            return false;
        }
        statusText = "Added the printer " + printerName;
    }
    return true;
}

void InstallerDialog::SetUpPrinter(const std::string& printerName, const std::string& driverName,
                                   catalogue::DriverFamily family) {
    const bool label = family == catalogue::DriverFamily::Label;
    EnableDriverLoading();
    RemoveExistingPrinter(printerName);
    platform::PrinterHandle printer = 0;
    if (!CreatePrinter(printerName, driverName, printer)) return;
    Refresh();
    (void)platform_.spooler.ClosePrinter(printer);
    progressBar.SetPos(30);

    if (setDefaultPrinter == 1) MakeDefaultPrinter(printerName);
    progressBar.SetPos(40);
    statusText = "Set the printer " + printerName + " to default printer";
    if (label) Refresh();

    if (portTypeIndex == ports::kSerial) {
        SelectSerialPort();
    } else if (portTypeIndex == ports::kUsb) {
        DetectUsbPort();
    }
    platform_.threads.Sleep(label ? kLabelPauseMs : kReceiptPauseMs);

    if (portTypeIndex == ports::kSerial) {
        // The serial port search ends the installation itself; a receipt
        // installation still gets its button back here.
        if (!label) {
            OfferFinish();
            Refresh();
        }
        return;
    }
    CompleteInstallation();
}

void InstallerDialog::CompleteInstallation() {
    progressBar.SetPos(100);
    statusText = "The installation is completed.";
    EndInstallation(Outcome::Completed);
    Refresh();
}

void InstallerDialog::ReportAddPrinterFailure(std::uint32_t error) {
    std::string text;
    std::string caption = "Prompt";
    bool reinstall = true;
    switch (error) {
        case platform::error::kUnknownPort:
            text = "There's no available useful port,please select other type of port";
            break;
        case platform::error::kModNotFound:
            text = "Missing system flies,please repair system";
            break;
        default:
            text = "Error AddPrinter " + std::to_string(error);
            caption = "Error prompt";
            reinstall = false;
            break;
    }
    operator_.ShowMessageBox(OwnedBox(Message::kPrinterNotAdded, text, caption, platform::mb::kOk));
    EndInstallation(Outcome::Failed, text);
    if (reinstall) installButton.SetText("Reinstall");
    EnableInstall(true);
    progressBar.SetPos(0);
}

void InstallerDialog::MakeDefaultPrinter(const std::string& printerName) {
    const std::string device = printerName + ",winspool," + printerPort;
    platform::KeyHandle key = 0;
    // Every Windows user has the key; a fresh profile (or Wine prefix) may
    // not, and the operator asked for a default printer: make it then.
    if (platform_.registry.RegOpenKeyExA(platform::RegistryRoot::CurrentUser, kDefaultPrinterKey, 0,
                                         platform::reg::kSetValue, key) != 0 &&
        platform_.registry.RegCreateKeyExA(platform::RegistryRoot::CurrentUser, kDefaultPrinterKey,
                                           platform::reg::kOptionNonVolatile,
                                           platform::reg::kSetValue, false, key) != 0) {
        return;
    }
    if (platform_.registry.RegSetValueExA(key, "Device", platform::reg::kSz,
                                          platform::reg::SzBytes(device)) != 0) {
        operator_.ShowMessageBox(AppBox(Message::kDefaultPrinterNotSet,
                                        "Error\xA3\xBA"
                                        "Failed to set regist",
                                        platform::mb::kOk));
    }
    (void)platform_.registry.RegCloseKey(key);
}

void InstallerDialog::RunSpooler(std::int32_t mode) {
    install::SpoolerControl(platform_.services, platform_.threads, operator_)
        .Run(install::kSpoolerService, mode);
}

int InstallerDialog::ChooseTcpIpPort() {
    chosenPort.clear();
    if (tcpipPorts.empty()) {
        // No port to offer: straight to the port monitor's wizard.
        const bool added =
            platform_.spooler.AddPortA(window_.Handle(), ports::kTcpIpMonitor).IsOne();
        EnumeratePorts();
        return added ? kPortCreated : kPortCancelled;
    }
    ports::TcpIpPortDialog dialog(platform_.spooler);
    const int result = operator_.ChoosePort(IDD_TCPIP_PORT, dialog);
    chosenPort = dialog.ChosenPort();
    // Ports may have come and gone meanwhile.
    EnumeratePorts();
    return result;
}

int InstallerDialog::SelectParallelPort() {
    chosenPort.clear();
    if (parallelPorts.empty()) {
        operator_.ShowMessageBox(
            AppBox(Message::kNoParallelPort,
                   "There is no available parallel port.\r\n\r\nPlease select other port type.",
                   platform::mb::kOk));
        return kPortCancelled;
    }
    if (parallelPorts.size() == 1) {
        chosenPort = parallelPorts.front();
        return kPortChoiceBase;
    }
    ports::ParallelPortDialog dialog(platform_.spooler);
    const int result = operator_.ChoosePort(IDD_PARALLEL_PORT, dialog);
    chosenPort = dialog.ChosenPort();
    EnumeratePorts();
    return result;
}

}  // namespace app
