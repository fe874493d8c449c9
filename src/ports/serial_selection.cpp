// Choosing the serial port of a new printer. With several serial ports the
// operator may let the program look for the printer: each timer tick opens
// the next port at the chosen rate and sends the model's status request;
// the tick after, a reply means the printer is there. The search ends with
// the printer moved to the port that answered, or left where it was made.
#include <algorithm>
#include <array>

#include "base/installer_dialog.h"
#include "base/spooler_control.h"
#include "base/port_types.h"
#include "base/text.h"

namespace app {
namespace {

constexpr std::uint32_t kFirstTickMs = 1;
constexpr std::uint32_t kReplyWaitMs = 700;
constexpr std::uint32_t kWriteBufferSize = 512;
// Real-time status requests: the receipt models answer DLE EOT 1 with their
// status byte, the label models answer ESC ! ? with theirs.
constexpr std::array<std::uint8_t, 3> kReceiptRequest = {0x10, 0x04, 0x01};
constexpr std::array<std::uint8_t, 3> kLabelRequest = {0x1B, 0x21, 0x3F};

using text::StartsWith;

// "COM10:" is port 10: the digits after "COM", up to the colon; 0 when
// there are none (no such device opens).
int PortNumber(const std::string& port) {
    int number = 0;
    for (std::size_t i = 3; i < port.size() && port[i] != ':'; ++i) {
        if (port[i] < '0' || port[i] > '9' || number > 9999) return 0;
        number = number * 10 + (port[i] - '0');
    }
    return number;
}

}  // namespace

std::string InstallerDialog::InstalledPrinterName() {
    return catalogue::FamilyOf(modelIndex, Blocks()) == catalogue::DriverFamily::Label
               ? chosen.driverName
               : chosen.printerName;
}

void InstallerDialog::SelectSerialPort() {
    // A snapshot that could not be taken restores nothing, rather than
    // ports an earlier installation saw.
    if (!ListInstalledPrinters(installedPrinterNames, installedPrinterPorts)) {
        installedPrinterNames.clear();
        installedPrinterPorts.clear();
    }
    progressBar.SetPos(50);
    serialPrinterName = InstalledPrinterName();
    serialFamily = catalogue::FamilyOf(modelIndex, Blocks());

    if (serialPorts.size() > 1) {
        const int answer = operator_.AskSerialRate();
        Refresh();
        const long row = static_cast<long>(answer) - kPortChoiceBase;
        if (answer >= kPortChoiceBase && row < static_cast<long>(ports::kBaudRates.size())) {
            serialBaudRate = ports::kBaudRates[static_cast<std::size_t>(row)];
            StartProbing();
            return;
        }
        // No, Enter or Escape: the printer stays where it was made.
        statusText = "The current printer port is " + CurrentPrinterPort(serialPorts.front()) +
                     " ,you can set that after the installation";
        FinishSerialStep();
        return;
    }

    if (serialPorts.size() == 1) {
        const std::string& port = serialPorts.front();
        SetPrinterPort(serialPrinterName, port);
        RunSpooler(install::kRestart);
        WriteSerialPortSettings(port);
        RestoreSerialPrinterPorts();
        progressBar.SetPos(90);
        RunSpooler(install::kRestart);
        statusText =
            "The current printer port is " + port + ",you can configure after the installation";
        Refresh();
        FinishSerialStep();
        return;
    }

    // No serial port: the printer was made on the first parallel port.
    RestoreSerialPrinterPorts();
    progressBar.SetPos(90);
    RunSpooler(install::kRestart);
    Refresh();
    const std::string fallback = parallelPorts.empty() ? std::string() : parallelPorts.front();
    statusText = "Unable to detect available printer.The current printer port is " +
                 CurrentPrinterPort(fallback);
    FinishSerialStep();
}

void InstallerDialog::SearchSerialPorts(const std::string& printerName,
                                        catalogue::DriverFamily family) {
    if (!ListInstalledPrinters(installedPrinterNames, installedPrinterPorts)) {
        installedPrinterNames.clear();
        installedPrinterPorts.clear();
    }
    serialPrinterName = printerName;
    serialFamily = family;
    portSearch = PortSearch::NotRun;
    StartProbing();
}

void InstallerDialog::StartProbing() {
    // Every search starts afresh at the first port.
    probeIndex = -1;
    serialReplyReceived = 0;
    probeState = ProbeState::MovingOn;
    ArmProbeTimer(kFirstTickMs);
}

void InstallerDialog::ArmProbeTimer(std::uint32_t milliseconds) {
    // Without a timer the search would never go on: end it here instead.
    if (!window_.SetTimer(PROBE_TIMER_ID, milliseconds)) SerialSearchExhausted();
}

void InstallerDialog::OnTimer(std::uintptr_t) {
    // KillTimer leaves a tick already queued: it finds the search over.
    if (probeState == ProbeState::Idle) return;
    if (serialReplyReceived != 0) {
        SerialPortFound(serialPorts[static_cast<std::size_t>(probeIndex)]);
        return;
    }
    ++probeIndex;
    if (probeIndex >= static_cast<std::int32_t>(serialPorts.size())) {
        SerialSearchExhausted();
        return;
    }
    const std::string port = serialPorts[static_cast<std::size_t>(probeIndex)];
    probePortNumber = PortNumber(port);
    statusText = "Checking " + port;
    Refresh();

    // Until the request is out, nothing that arrives is a reply.
    probeState = ProbeState::MovingOn;
    if (serialPort->IsOpen()) serialPort->Close();
    const bool listening =
        serialPort->Open(window_.Handle(), probePortNumber, serialBaudRate,
                         static_cast<char>(serialParity), serialByteSize, serialStopBits,
                         static_cast<std::uint32_t>(serialEventMask), kWriteBufferSize) == 1 &&
        serialPort->StartEventThread() == 1;
    if (!listening) {
        if (serialPort->IsOpen()) serialPort->Close();
        ArmProbeTimer(kFirstTickMs);
        return;
    }
    const bool receipt = serialFamily == catalogue::DriverFamily::Receipt;
    const auto& request = receipt ? kReceiptRequest : kLabelRequest;
    window_.SetTimer(PROBE_TIMER_ID, kReplyWaitMs);
    if (!serialPort->QueueWrite(request.data(), request.size())) {
        // Nothing was sent, so nothing can answer: on to the next port.
        serialPort->Close();
        ArmProbeTimer(kFirstTickMs);
        return;
    }
    serialReplyReceived = 0;
    probeState = ProbeState::AwaitingReply;
}

long InstallerDialog::OnSerialByteReceived(std::uintptr_t, std::intptr_t lParam) {
    // Only a byte from the port being probed, after its request, answers it.
    if (probeState == ProbeState::AwaitingReply && lParam == probePortNumber)
        serialReplyReceived = 1;
    return 0;
}

void InstallerDialog::SerialPortFound(const std::string& port) {
    window_.KillTimer(PROBE_TIMER_ID);
    probeState = ProbeState::Idle;
    portSearch = PortSearch::Found;
    statusText = "The available printer port: " + std::string(" ") + port;
    Refresh();
    CloseSerialPort();
    SetPrinterPort(serialPrinterName, port);
    WriteSerialPortSettings(port);
    progressBar.SetPos(80);
    RestoreSerialPrinterPorts();
    progressBar.SetPos(90);
    RunSpooler(install::kRestart);
    EndInstallation(Outcome::Completed);
    Refresh();
    progressBar.SetPos(100);
}

void InstallerDialog::SerialSearchExhausted() {
    CloseSerialPort();
    window_.KillTimer(PROBE_TIMER_ID);
    probeState = ProbeState::Idle;
    if (!fallbackBaudRates.empty()) {
        // Every port again at the next rate.
        serialBaudRate = fallbackBaudRates.front();
        fallbackBaudRates.erase(fallbackBaudRates.begin());
        StartProbing();
        return;
    }
    portSearch = PortSearch::NotFound;
    progressBar.SetPos(80);
    RestoreSerialPrinterPorts();
    progressBar.SetPos(90);
    RunSpooler(install::kRestart);
    statusText = "Unable to detect available printer.The current printer port is " +
                 CurrentPrinterPort(serialPorts.empty() ? std::string() : serialPorts.front());
    FinishSerialStep();
}

void InstallerDialog::CloseSerialPort() {
    if (serialPort && serialPort->IsOpen()) serialPort->Close();
}

void InstallerDialog::FinishSerialStep() {
    EndInstallation(Outcome::Completed);
    Refresh();
    progressBar.SetPos(100);
}

// Where the snapshot saw the printer; `fallback` when it is not in it.
std::string InstallerDialog::CurrentPrinterPort(const std::string& fallback) const {
    const std::size_t count = std::min(installedPrinterNames.size(), installedPrinterPorts.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (installedPrinterNames[i] == serialPrinterName) return installedPrinterPorts[i];
    }
    return fallback;
}

void InstallerDialog::RestoreSerialPrinterPorts() {
    const StringArray names = installedPrinterNames;
    const StringArray ports = installedPrinterPorts;
    const std::size_t count = std::min(names.size(), ports.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (!StartsWith(ports[i], "COM")) continue;
        if (names[i].find(serialPrinterName) != std::string::npos) continue;
        SetPrinterPort(names[i], ports[i]);
    }
}

}  // namespace app
