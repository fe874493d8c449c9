// The main dialog: every piece of installation state lives in its fields,
// which the start-up steps, the installation sequences and the port steps
// read and write directly. The window adapter routes the dialog's messages
// to the On... handlers; all of them run on the dialog thread, except the
// start-up steps, which run on the start-up worker and reach the controls
// only through window messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/controls.h"
#include "base/dialog_ids.h"
#include "base/messages.h"
#include "base/model_catalogue.h"
#include "base/operator.h"
#include "package/archive_extractor.h"
#include "platform/platform.h"
#include "base/port_types.h"

namespace app {

using StringArray = std::vector<std::string>;

class InstallerDialog {
public:
    // `asked` answers what the installation asks; by default the person at
    // the dialog's own windows.
    explicit InstallerDialog(platform::Platform& platform, Operator* asked = nullptr);
    ~InstallerDialog();
    InstallerDialog(const InstallerDialog&) = delete;
    InstallerDialog& operator=(const InstallerDialog&) = delete;

    // Message handlers.
    bool InitDialog();
    bool ExchangeData(bool fromControls);
    long OnUpdateDataMessage(std::uintptr_t wParam);
    // A byte from the serial channel: wParam the byte, lParam its port number.
    long OnSerialByteReceived(std::uintptr_t wParam, std::intptr_t lParam);
    void OnDriverSelChange();
    // Install pressed: what the controls show becomes an InstallRequest.
    void OnInstall();
    void OnOk();
    void OnCancel();
    void OnClose();
    void OnTimer(std::uintptr_t timerId);
    void OnDestroy();
    void OnStartupFinished();

    // Refresh: push statusText and setDefaultPrinter into their controls.
    void Refresh();

    // Start-up steps, in the order the worker runs them.
    void StartupWorker();
    void EnsureSpoolerRunning();
    void EnumeratePorts();
    void UnpackDriverPackage();
    void LoadDriverNames();
    void DetectOperatingSystem();

    // Removes a folder with everything below it, never entering a link;
    // what cannot go stays.
    void DeleteFolderTree(const std::string& path);

    // Port types and ports.
    void FillPortTypeList();
    bool ReadSerialPorts(StringArray& list);

    // Printer creation, shared by both installation sequences. PreselectPort
    // asks for a parallel or TCP/IP port before anything is copied; false
    // means the operator abandoned the installation.
    bool PreselectPort();
    // Sets printerPort from a port-choice result; false when the result
    // names no row of `list` (kPortCreated counts only where `mayCreate`).
    bool ApplyPortChoice(int result, const StringArray& list, bool mayCreate);
    void SetUpPrinter(const std::string& printerName, const std::string& driverName,
                      catalogue::DriverFamily family);
    void MakeDefaultPrinter(const std::string& printerName);
    // The last step of a successful installation: progress 100, the
    // completion text, and the button that closes the installer.
    void CompleteInstallation();

    // The port steps that ask the operator or the printer. Each choice
    // returns kPortCancelled, kPortCreated (TCP/IP) or kPortChoiceBase + n.
    int ChooseTcpIpPort();
    int SelectParallelPort();
    void SelectSerialPort();
    void DetectUsbPort();
    // The serial search for a printer that exists already, without a prompt:
    // at serialBaudRate, then at each of fallbackBaudRates; `family` picks the
    // status request the printer answers.
    void SearchSerialPorts(const std::string& printerName, catalogue::DriverFamily family);

    // The serial port search: each timer tick probes the next serial port
    // (or ends the search); see serial_selection.cpp.
    enum class ProbeState { Idle, MovingOn, AwaitingReply };
    // The name the printer was created under (the Printer Name box for
    // receipt models, the driver name for label models).
    std::string InstalledPrinterName();
    // Puts the printers of the snapshot that sit on COM ports back on them,
    // except the one being installed.
    void RestoreSerialPrinterPorts();

    // The printer's port in the print subsystem's registry keys.
    void SetPrinterPort(const std::string& printerName, const std::string& portName);
    bool ReadPrinterOnLine(const std::string& printerName);
    void WriteSerialPortSettings(const std::string& portName);
    bool ListInstalledPrinters(StringArray& names, StringArray& ports);

    // Runs the spooler service control in `mode` on the dialog thread.
    void RunSpooler(std::int32_t mode);

    // Driver list and model catalogue.
    int FindModelIndex(const std::string& driverName, int fallbackIndex);
    int GetWindowsVersionCode();

    // Whether the start-up worker is still running (closing waits for it).
    bool StartupRunning() const { return startupRunning_.load(); }

    // What an Install installs, as the operator chose it: the dialog reads
    // it from its controls when Install is pressed; a command line gives it
    // whole. The sequences take the driver's and the printer's names from
    // here, not from the controls.
    struct InstallRequest {
        std::string driverName;       // the driver-list entry
        int listRow = -1;             // its row in the driver list
        std::string printerName;      // a receipt printer's; a label printer takes the driver's
        std::int32_t setDefault = 1;  // the default-printer box
        int portType = -1;            // the port-type row; -1: none chosen now
    };
    // The Install command itself, on a request.
    void Install(const InstallRequest& request);

    // --- Fields, in the order the dialog declares them. ---
    package::ArchiveExtractor extractor;
    // Why the working folders could not be made ready before unpacking,
    // naming the item; empty when they were (or were never asked for).
    // Nothing is unpacked or read from them then.
    std::string workingFoldersProblem;
    Button installButton;
    ProgressBar progressBar;
    ComboBox driverCombo;
    ListView portTypeList;
    std::int32_t setDefaultPrinter = 1;
    std::string statusText;
    std::int32_t receiptGroup4Size = 0;
    std::int32_t receiptGroup3Size = 0;
    std::int32_t receiptGroup2Size = 0;
    std::int32_t receiptGroup1Size = 0;
    std::int32_t modelIndex = -1;
    std::int32_t portTypeIndex = -1;
    std::int32_t serialBaudRate = 9600;
    StringArray allPorts;
    StringArray usbPorts;
    StringArray serialPorts;
    StringArray parallelPorts;
    StringArray tcpipPorts;
    StringArray installedPrinterNames;
    StringArray installedPrinterPorts;
    std::string printerPort;
    // The request of the last Install.
    InstallRequest chosen;
    // The port a parallel or TCP/IP choice named, as the dialog listed it:
    // the dialog's list and parallelPorts or tcpipPorts can disagree, and
    // the operator's port is the one to use. Empty when no row was chosen.
    std::string chosenPort;
    std::int32_t isWow64 = 0;
    std::int32_t serialReplyReceived = 0;
    std::int32_t probePortNumber = 0;
    std::int32_t serialParity = 'N';
    std::int32_t serialByteSize = 8;
    std::int32_t serialStopBits = 1;
    std::int32_t serialEventMask = 3;
    std::int32_t probeIndex = 0;
    std::unique_ptr<platform::SerialChannel> serialPort;
    ProbeState probeState = ProbeState::Idle;
    // The printer the serial step works on, and the family whose status
    // request it sends, fixed when the step begins.
    std::string serialPrinterName;
    catalogue::DriverFamily serialFamily = catalogue::DriverFamily::Receipt;

    // Process-wide: cleared when an Install finds no port of the chosen
    // type, never set again while the process runs.
    bool portAvailable = true;

    // Results of the port choices.
    static constexpr int kPortCancelled = ports::kChoiceCancelled;
    static constexpr int kPortCreated = ports::kChoiceCreated;
    static constexpr int kPortChoiceBase = ports::kChoiceBase;

    // What the last Install did, for the tests and the demonstration.
    enum class InstallRoute { None, Receipt, Label, Refused };
    InstallRoute lastRoute = InstallRoute::None;

    // How the last Install ended, recorded by the sequences where they end.
    // The operator reads it from the status line and the Install button's
    // caption; our own code reads it here, so rewording those changes
    // nothing. A serial search that goes on under the timer records its end
    // when it is over.
    enum class Outcome { None, Completed, Abandoned, Failed };
    Outcome outcome = Outcome::None;
    std::string outcomeReason;  // why it was abandoned or failed
    // The one place an Install's end is recorded; a completed one also
    // turns Install into the button that closes the installer.
    void EndInstallation(Outcome how, const std::string& reason = std::string());
    // Install becomes "&Finish" (pressing it closes the installer).
    void OfferFinish();
    static constexpr const char* kFinishCaption = "&Finish";

    // How the last Install's search for the printer (USB or serial) ended.
    enum class PortSearch { NotRun, Found, NotFound };
    PortSearch portSearch = PortSearch::NotRun;
    // Rates the serial search tries in turn, from the first, when no port
    // answered at the current one; empty in the dialog, where the
    // operator picks one rate.
    std::vector<std::int32_t> fallbackBaudRates;
    // A parallel or TCP/IP port chosen before Install (from the command
    // line): taken instead of asking. Empty in the dialog.
    std::string presetPort;
    // The pre-flight check has been run and passed before Install (an
    // unattended run checks, and logs, before it makes any port): Install
    // does not run it again. False in the dialog.
    bool preflightPassed = false;

    platform::Platform& Platform() { return platform_; }
    Operator& TheOperator() { return operator_; }
    // Install offered to be pressed (or taken away); a command line that
    // presses it itself never gets it back.
    void EnableInstall(bool enable);
    catalogue::ReceiptBlocks Blocks() const {
        return {receiptGroup1Size, receiptGroup2Size, receiptGroup3Size, receiptGroup4Size};
    }

private:
    void EnableDriverLoading();
    // Passes `chosen` on; no port chosen abandons the installation.
    bool PortChosen(bool chosen);
    void RemoveExistingPrinter(const std::string& printerName);
    // Deletes the printer of that name, if there is one.
    void RemovePrinter(const std::string& printerName);
    // False when the printer could not be made (the operator was told).
    bool CreatePrinter(const std::string& printerName, const std::string& driverName,
                       platform::PrinterHandle& printer);
    bool AddPrinterOn(platform::PrinterInfo2& info, const std::string& port,
                      platform::PrinterHandle& printer);
    void ReportAddPrinterFailure(std::uint32_t error);
    void ReportRegistryWriteFailure();

    bool CloseRequested() const { return closeRequested_.load(); }
    void EndWhenStartupDone(int result);
    void RefuseUnknownModel(const std::string& driverName);
    void RefuseUnlistedModel(const std::string& driverName);

    // Serial port search steps (serial_selection.cpp).
    void StartProbing();
    void ArmProbeTimer(std::uint32_t milliseconds);
    void SerialPortFound(const std::string& port);
    void SerialSearchExhausted();
    void CloseSerialPort();
    void FinishSerialStep();
    std::string CurrentPrinterPort(const std::string& fallback) const;

    platform::Platform& platform_;
    platform::DialogWindow& window_;
    WindowOperator windowOperator_;
    Operator& operator_;
    std::unique_ptr<platform::Thread> worker_;
    std::atomic<bool> startupRunning_{false};
    std::atomic<bool> closeRequested_{false};
    int pendingResult_ = 0;
};

}  // namespace app
