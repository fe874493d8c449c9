#include "app/unattended_install.h"

#include <algorithm>

#include "base/dialog_ids.h"
#include "app/driver_list.h"
#include "base/exit_codes.h"
#include "app/preflight.h"
#include "app/test_page.h"
#include "base/port_types.h"
#include "base/text.h"

namespace app {
namespace {

constexpr const char* kTcpIpMonitor = "Standard TCP/IP Port";
constexpr const char* kNoDriversText =
    "the driver package offers no driver: run the installer in the folder that holds "
    "\"DriverData.Drv\" and 7-zip32.dll";

using text::Lower;

std::string Joined(const StringArray& list) {
    std::string text;
    for (const std::string& item : list) text += (text.empty() ? "" : ", ") + item;
    return text;
}

// How the messages name a port type.
std::string TypeName(int portType) {
    constexpr const char* kNames[] = {"serial", "USB", "parallel", "TCP/IP"};
    return portType >= 0 && portType < 4 ? kNames[portType] : "";
}

const StringArray* PortsOfType(InstallerDialog& dialog, int portType) {
    switch (portType) {
        case ports::kSerial: return &dialog.serialPorts;
        case ports::kUsb: return &dialog.usbPorts;
        case ports::kParallel: return &dialog.parallelPorts;
        case ports::kTcpIp: return &dialog.tcpipPorts;
        default: return nullptr;
    }
}

// The entry /model names: the exact text first; otherwise the first entry
// that differs only in case, and whether another one does too.
struct EntryMatch {
    const DriverListEntry* entry = nullptr;
    bool ambiguous = false;
};
EntryMatch MatchEntry(const std::vector<DriverListEntry>& entries, const std::string& model) {
    for (const DriverListEntry& entry : entries) {
        if (entry.name == model) return {&entry, false};
    }
    EntryMatch match;
    const std::string wanted = Lower(model);
    for (const DriverListEntry& entry : entries) {
        if (Lower(entry.name) != wanted) continue;
        if (match.entry != nullptr) {
            match.ambiguous = true;
            break;
        }
        match.entry = &entry;
    }
    return match;
}

}  // namespace

std::vector<DriverListEntry> ReadDriverListEntries(InstallerDialog& dialog) {
    std::vector<DriverListEntry> entries;
    // A list that may have been planted is never read.
    if (!dialog.workingFoldersProblem.empty()) return entries;
    ScanDriverList(dialog.Platform().profile, [&](int, const std::string& name) {
        DriverListEntry entry;
        entry.name = name;
        entries.push_back(entry);
    });
    const catalogue::ReceiptBlocks blocks = dialog.Blocks();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        DriverListEntry& entry = entries[row];
        // As the Install command maps a choice: the last section that lists it.
        entry.modelIndex = dialog.FindModelIndex(entry.name, static_cast<int>(row));
        entry.label =
            catalogue::FamilyOf(entry.modelIndex, blocks) == catalogue::DriverFamily::Label;
        if (entry.label) {
            if (auto model = catalogue::ResolveLabelModel(entry.modelIndex, blocks)) {
                entry.driver = model->driverName;
            }
        } else if (auto model =
                       catalogue::ResolveReceiptModel(entry.modelIndex, blocks, entry.name)) {
            entry.driver = model->driverName;
        }
    }
    return entries;
}

void UnattendedInstall::AfterStartupFinished() {
    // Once: the window system may tell twice.
    if (finished_ || started_) return;
    started_ = true;
    // Nothing was unpacked: what needs the package stops here (the check
    // reports it among its items; repair and the test page need no package).
    const std::string& problem = dialog_.workingFoldersProblem;
    if (!problem.empty() &&
        (options_.mode == cli::Mode::List || options_.mode == cli::Mode::Install)) {
        if (options_.mode == cli::Mode::List) console_.Write("error: " + problem + "\r\n");
        Finish(exitcode::kFailure, "the driver package was not unpacked: " + problem);
        return;
    }
    if (options_.mode == cli::Mode::List) {
        List();
    } else if (options_.mode == cli::Mode::Check) {
        Check();
    } else if (options_.mode == cli::Mode::Repair) {
        Repair();
    } else if (options_.mode == cli::Mode::TestPage) {
        Succeed(options_.printerName.value_or(std::string()));
    } else {
        Install();
    }
}

void UnattendedInstall::List() {
    const std::vector<DriverListEntry> entries = ReadDriverListEntries(dialog_);
    if (entries.empty()) {
        console_.Write(std::string("error: ") + kNoDriversText + "\r\n");
        Finish(exitcode::kFailure, kNoDriversText);
        return;
    }
    std::size_t width = 0;
    for (const auto& entry : entries) width = std::max(width, entry.name.size());
    std::string text =
        "Driver-list entries of \"DriverData.Drv\" and the driver each installs:\r\n";
    for (const auto& entry : entries) {
        std::string name = entry.name;
        name.resize(width, ' ');
        const std::string driver = entry.driver.empty()
                                       ? std::string("(none: this entry installs nothing)")
                                       : entry.driver + (entry.label ? " (label)" : " (receipt)");
        text += "  " + name + "  " + driver + "\r\n";
    }
    console_.Write(text);
    log_.Write("listed " + std::to_string(entries.size()) + " driver-list entries");
    Finish(exitcode::kSuccess, std::string());
}

PreflightRequest UnattendedInstall::RequestFor(const std::vector<DriverListEntry>& entries) {
    PreflightRequest request;
    request.model = options_.model;
    request.offeredEntries = entries.size();
    const DriverListEntry* entry = MatchEntry(entries, options_.model).entry;
    request.modelOffered = entry != nullptr && !entry->driver.empty();
    request.packageFailure = dialog_.extractor.FailureText();
    request.workingFolders = dialog_.workingFoldersProblem;
    request.declaredBytes = dialog_.extractor.DeclaredTotal();
    if (options_.portType == ports::kTcpIp) request.host = options_.host;
    request.hostPort = options_.hostPort;
    return request;
}

void UnattendedInstall::Check() {
    const std::vector<Finding> findings =
        Preflight(dialog_.Platform()).Run(RequestFor(ReadDriverListEntries(dialog_)));
    std::string text;
    for (const Finding& finding : findings) {
        text += PreflightLine(finding) + "\r\n";
        log_.Write(PreflightLine(finding));
    }
    const int code = PreflightExitCode(findings);
    console_.Write(text + "exit code " + std::to_string(code) + ": " + exitcode::Meaning(code) +
                   "\r\n");
    Finish(code, code == exitcode::kSuccess
                     ? std::string()
                     : "the pre-flight check found the installation blocked");
}

bool UnattendedInstall::PreflightPasses(const std::vector<DriverListEntry>& entries) {
    const std::vector<Finding> findings = Preflight(dialog_.Platform()).Run(RequestFor(entries));
    const Finding* blocking = nullptr;
    for (const Finding& finding : findings) {
        log_.Write("pre-flight: " + PreflightLine(finding));
        if (finding.verdict == Verdict::Blocking && blocking == nullptr) blocking = &finding;
    }
    if (blocking == nullptr) return true;
    Finish(PreflightExitCode(findings), "the installation cannot start: " + blocking->text);
    return false;
}

const DriverListEntry* UnattendedInstall::ChooseEntry(const std::vector<DriverListEntry>& entries,
                                                      std::size_t& row) {
    if (entries.empty()) {
        Finish(exitcode::kFailure, kNoDriversText);
        return nullptr;
    }
    const EntryMatch match = MatchEntry(entries, options_.model);
    if (match.ambiguous) {
        Finish(exitcode::kInvalidCommandLine,
               "the driver package offers several entries \"" + options_.model +
                   "\" that differ only in case: write it exactly as /list shows it");
        return nullptr;
    }
    const DriverListEntry* found = match.entry;
    if (found == nullptr) {
        Finish(exitcode::kInvalidCommandLine, "the driver package does not offer \"" +
                                                  options_.model +
                                                  "\" (/list shows what it offers)");
        return nullptr;
    }
    if (found->driver.empty()) {
        Finish(exitcode::kInvalidCommandLine, "the driver-list entry \"" + found->name +
                                                  "\" installs no driver this installer knows");
        return nullptr;
    }
    if (found->label && options_.printerName && *options_.printerName != found->name) {
        Finish(exitcode::kInvalidCommandLine, "a label printer takes the name of its driver (\"" +
                                                  found->name + "\"): leave /name out");
        return nullptr;
    }
    row = static_cast<std::size_t>(found - entries.data());
    return found;
}

bool UnattendedInstall::CheckPort() {
    const StringArray* list = PortsOfType(dialog_, options_.portType);
    const std::string word = cli::PortWord(options_.portType);
    const std::string type = TypeName(options_.portType);
    const bool newPort = options_.portType == ports::kTcpIp && !options_.host.empty();
    if (!newPort && (list == nullptr || list->empty())) {
        Finish(exitcode::kInvalidCommandLine,
               "/port " + word + ": this machine has no " + type + " port");
        return false;
    }
    if (options_.portName.empty()) {
        // A parallel printer goes where the port dialog's first row would.
        if (options_.portType == ports::kParallel) chosenPort_ = list->front();
        return true;
    }
    const std::string wanted = Lower(options_.portName);
    for (const std::string& port : *list) {
        const std::string name = Lower(port);
        if (name == wanted || name == wanted + ":") {
            chosenPort_ = port;
            return true;
        }
    }
    Finish(exitcode::kInvalidCommandLine,
           "there is no " + type + " port \"" + options_.portName + "\" on this machine (it has " +
               (list->empty() ? std::string("none") : Joined(*list)) + ")");
    return false;
}

bool UnattendedInstall::MakeTcpIpPort() {
    platform::Spooler& spooler = dialog_.Platform().spooler;
    // The name Windows gives a port for an address.
    const std::string name = "IP_" + options_.host;
    const std::string where = options_.host + ":" + std::to_string(options_.hostPort);
    const platform::TcpIpPortData data{name, options_.host,
                                       static_cast<std::uint32_t>(options_.hostPort)};
    platform::PrinterHandle xcv = 0;
    const platform::PrinterDefaults defaults{std::nullopt,
                                             platform::spool::kServerAccessAdminister};
    const platform::BoolResult opened =
        spooler.OpenPrinterA(std::string(",XcvMonitor ") + kTcpIpMonitor, xcv, defaults);
    if (!opened.IsOne()) {
        Finish(exitcode::kFailure, std::string("the ") + kTcpIpMonitor +
                                       " monitor could not be reached (error " +
                                       std::to_string(opened.lastError) + ")");
        return false;
    }
    std::uint32_t status = 0;
    platform::BoolResult done = spooler.XcvPortData(xcv, "AddPort", data, status);
    bool existed = false;
    if (done.IsOne() && status == platform::error::kAlreadyExists) {
        // Deployed again: the port keeps its name and takes this address.
        existed = true;
        done = spooler.XcvPortData(xcv, "ConfigPort", data, status);
    }
    (void)spooler.ClosePrinter(xcv);
    if (!done.IsOne() || status != 0) {
        const std::uint32_t error = done.IsOne() ? status : done.lastError;
        Finish(exitcode::kFailure, "the " + std::string(kTcpIpMonitor) + " " + name + " for " +
                                       where + " could not be " + (existed ? "set" : "made") +
                                       " (error " + std::to_string(error) + ")");
        return false;
    }
    log_.Write("the " + std::string(kTcpIpMonitor) + " " + name +
               (existed ? " was there; it now prints to " : " is made; it prints to ") + where);
    dialog_.EnumeratePorts();
    for (const std::string& port : dialog_.tcpipPorts) {
        if (Lower(port) == Lower(name)) {
            chosenPort_ = port;
            return true;
        }
    }
    Finish(exitcode::kFailure,
           "the port " + name + " is made, but the spooler does not list it as a " + kTcpIpMonitor);
    return false;
}

void UnattendedInstall::MakeChoices(const DriverListEntry& entry, std::size_t row) {
    platform::DialogWindow& window = dialog_.Platform().window;
    dialog_.driverCombo.SetCurSel(static_cast<int>(row));
    dialog_.OnDriverSelChange();
    if (options_.printerName) window.SetControlText(IDC_PRINTER_NAME, *options_.printerName);
    window.SetCheck(IDC_SET_DEFAULT, options_.setDefault ? 1 : 0);
    for (int r = 0; r < dialog_.portTypeList.GetItemCount(); ++r) {
        const std::uint32_t state = r == options_.portType ? platform::lv::kSelected : 0;
        dialog_.portTypeList.SetItemState(r, state, platform::lv::kSelected);
    }
    if (options_.portType == ports::kSerial) {
        if (options_.baudRate != 0) dialog_.serialBaudRate = options_.baudRate;
        if (options_.autoBaud) {
            // The prompt is answered with the fastest; the rest follow, slower each time.
            dialog_.fallbackBaudRates.assign(ports::kBaudRates.rbegin() + 1,
                                             ports::kBaudRates.rend());
            if (dialog_.serialPorts.size() == 1) {
                log_.Write("one serial port: it is used without a search, set to " +
                           std::to_string(dialog_.serialBaudRate) + " baud");
            }
        }
    }
    const std::string printerName =
        entry.label || !options_.printerName ? entry.name : *options_.printerName;
    log_.Write("installing \"" + entry.name + "\" (driver \"" + entry.driver + "\") as printer \"" +
               printerName + "\" on a " + TypeName(options_.portType) + " port" +
               (options_.setDefault ? ", as the default printer" : ""));
}

void UnattendedInstall::Install() {
    const std::vector<DriverListEntry> entries = ReadDriverListEntries(dialog_);
    std::size_t row = 0;
    const DriverListEntry* entry = ChooseEntry(entries, row);
    if (entry == nullptr || !CheckPort() || !PreflightPasses(entries)) return;
    dialog_.preflightPassed = true;
    if (options_.portType == ports::kTcpIp && !options_.host.empty() && !MakeTcpIpPort()) return;
    MakeChoices(*entry, row);
    dialog_.presetPort = chosenPort_;
    // The list shows the entries in the file's order; anything else would
    // install a model nobody asked for.
    if (dialog_.driverCombo.GetText() != entry->name) {
        Finish(exitcode::kFailure, "the driver list does not show \"" + entry->name + "\" at row " +
                                       std::to_string(row));
        return;
    }
    loggedRate_ = policy_.SerialPromptRate();
    installing_ = true;
    dialog_.OnInstall();
    installing_ = false;
    installed_ = true;
    if (finished_) return;
    // A serial port search goes on under the dialog's timer.
    if (dialog_.probeState != InstallerDialog::ProbeState::Idle) return;
    Conclude();
}

void UnattendedInstall::Repair() {
    repair_ = std::make_unique<PortRepair>(dialog_, policy_, options_, log_);
    if (auto outcome = repair_->Start()) EndRepair(*outcome);
}

void UnattendedInstall::EndRepair(const RunOutcome& outcome) {
    if (outcome.code == exitcode::kSuccess) {
        Succeed(options_.printerName.value_or(std::string()));
        return;
    }
    if (options_.testPage) log_.Write("no test page: the repair did not succeed");
    Finish(outcome.code, outcome.reason);
}

void UnattendedInstall::Succeed(const std::string& printerName) {
    if (!options_.testPage) {
        Finish(exitcode::kSuccess, std::string());
        return;
    }
    const std::string time = InstallLog::Timestamp(log_.Now()).substr(0, 19);
    TestPage page(dialog_.Platform().spooler, dialog_.Platform().threads, log_);
    const RunOutcome outcome = page.Print(printerName, time);
    Finish(outcome.code, outcome.reason);
}

void UnattendedInstall::AfterTimer() {
    if (finished_) return;
    if (repair_) {
        if (auto outcome = repair_->AfterTimer()) EndRepair(*outcome);
        return;
    }
    if (!installed_) return;
    if (dialog_.probeState == InstallerDialog::ProbeState::Idle) {
        Conclude();
        return;
    }
    if (dialog_.serialBaudRate != loggedRate_) {
        loggedRate_ = dialog_.serialBaudRate;
        log_.Write("no serial port answered; looking again at " + std::to_string(loggedRate_) +
                   " baud");
    }
}

void UnattendedInstall::OnDialogEnded(int) {
    if (finished_) return;
    if (installing_) {
        // The installation itself gave up and closed the installer.
        const bool known =
            dialog_.outcome == InstallerDialog::Outcome::Failed || !policy_.Problems().empty();
        Finish(exitcode::kFailure,
               "the installation stopped: " + (known ? InstallLog::Escape(WhyNotCompleted())
                                                     : std::string("no reason given")));
        return;
    }
    Finish(exitcode::kUserCancelled, "the installer's window was closed before the run was over");
}

void UnattendedInstall::Abandon(const std::string& reason) {
    if (finished_) return;
    Finish(exitcode::kFailure, reason);
}

std::string UnattendedInstall::PrinterPort(const std::string& printerName) {
    StringArray names;
    StringArray ports;
    if (!dialog_.ListInstalledPrinters(names, ports)) return std::string();
    for (std::size_t i = 0; i < names.size() && i < ports.size(); ++i) {
        if (names[i] == printerName) return ports[i];
    }
    return std::string();
}

// Why an installation that did not complete ended: as it recorded it,
// else the last box the run answered, else the status line.
std::string UnattendedInstall::WhyNotCompleted() {
    const auto& problems = policy_.Problems();
    if (!dialog_.outcomeReason.empty()) return dialog_.outcomeReason;
    return problems.empty() ? dialog_.statusText : problems.back();
}

void UnattendedInstall::Conclude() {
    const auto& problems = policy_.Problems();
    using Outcome = InstallerDialog::Outcome;
    if (dialog_.outcome != Outcome::Completed) {
        const char* how = dialog_.outcome == Outcome::Abandoned
                              ? "the installation was abandoned: "
                              : "the installation did not complete: ";
        Finish(exitcode::kFailure, how + InstallLog::Escape(WhyNotCompleted()));
        return;
    }
    const std::string printerName = dialog_.InstalledPrinterName();
    const std::string port = PrinterPort(printerName);
    log_.Write("the printer \"" + printerName + "\" is on port " +
               (port.empty() ? "(unknown)" : port));
    if (!problems.empty()) {
        std::string what;
        for (const auto& text : problems)
            what += (what.empty() ? "" : " / ") + InstallLog::Escape(text);
        Finish(exitcode::kFailure, "the installation completed, but reported: " + what);
        return;
    }
    if (dialog_.portSearch == InstallerDialog::PortSearch::NotFound) {
        if (options_.testPage) log_.Write("no test page: the printer answered on no port");
        Finish(exitcode::kNoPrinterAnswered, "the printer answered on no " +
                                                 TypeName(options_.portType) +
                                                 " port; check its cable and power");
        return;
    }
    Succeed(printerName);
}

void UnattendedInstall::Finish(int code, const std::string& reason) {
    finished_ = true;
    exitCode_ = code;
    const char* kind = code == exitcode::kSuccess             ? ""
                       : code == exitcode::kNoPrinterAnswered ? "warning: "
                                                              : "error: ";
    if (!reason.empty()) log_.Write(kind + reason);
    log_.Write("exit code " + std::to_string(code) + ": " + exitcode::Meaning(code));
}

}  // namespace app
