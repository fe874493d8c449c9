// /model ... /port ...: an unattended installation. The command line is
// checked against what the start-up found, the choices are made, Install is
// pressed, and the outcome becomes the exit code.
#include "app/unattended_install.h"

#include "base/dialog_ids.h"
#include "base/exit_codes.h"
#include "base/port_types.h"
#include "base/text.h"

namespace app {
namespace {

constexpr const char* kTcpIpMonitor = "Standard TCP/IP Port";

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

}  // namespace

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

InstallerDialog::InstallRequest UnattendedInstall::MakeChoices(const DriverListEntry& entry,
                                                               std::size_t row) {
    InstallerDialog::InstallRequest request;
    request.driverName = entry.name;
    request.listRow = static_cast<int>(row);
    // The name box shows the entry's name until /name replaces it.
    request.printerName = options_.printerName.value_or(entry.name);
    request.setDefault = options_.setDefault ? 1 : 0;
    request.portType = options_.portType;
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
    return request;
}

void UnattendedInstall::ShowChoices(const InstallerDialog::InstallRequest& request) {
    if (options_.display != cli::Display::Passive) return;
    platform::DialogWindow& window = dialog_.Platform().window;
    dialog_.driverCombo.SetCurSel(request.listRow);
    window.SetControlText(IDC_PRINTER_NAME, request.printerName);
    window.SetCheck(IDC_SET_DEFAULT, request.setDefault);
    for (int r = 0; r < dialog_.portTypeList.GetItemCount(); ++r) {
        const std::uint32_t state = r == request.portType ? platform::lv::kSelected : 0;
        dialog_.portTypeList.SetItemState(r, state, platform::lv::kSelected);
    }
}

void UnattendedInstall::Install() {
    const std::vector<DriverListEntry> entries = ReadDriverListEntries(dialog_);
    std::size_t row = 0;
    const DriverListEntry* entry = ChooseEntry(entries, row);
    if (entry == nullptr || !CheckPort() || !PreflightPasses(entries)) return;
    dialog_.preflightPassed = true;
    if (options_.portType == ports::kTcpIp && !options_.host.empty() && !MakeTcpIpPort()) return;
    const InstallerDialog::InstallRequest request = MakeChoices(*entry, row);
    ShowChoices(request);
    dialog_.presetPort = chosenPort_;
    loggedRate_ = policy_.SerialPromptRate();
    installing_ = true;
    dialog_.Install(request);
    installing_ = false;
    installed_ = true;
    if (finished_) return;
    // A serial port search goes on under the dialog's timer.
    if (dialog_.probeState != InstallerDialog::ProbeState::Idle) return;
    Conclude();
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

}  // namespace app
