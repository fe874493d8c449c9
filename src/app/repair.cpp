#include "app/repair.h"

#include <algorithm>

#include "base/exit_codes.h"
#include "base/os_detection.h"
#include "base/text.h"
#include "base/spooler_control.h"
#include "base/port_types.h"

namespace app {

using install::FindInstalledPrinter;
using install::InstalledPrinter;
using install::OurDriverFamily;
using install::PrinterLookup;
namespace {

constexpr const char* kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr std::uint32_t kSettingsBufferSize = 64;

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

using text::Upper;

bool SamePort(const std::string& a, const std::string& b) {
    return Upper(a) == Upper(b);
}

// Port names in any case: "usb002" is a USB port too.
bool StartsWith(const std::string& name, const char* prefix) {
    return text::StartsWith(Upper(name), prefix);
}

RunOutcome Failed(const std::string& reason) {
    return {exitcode::kFailure, reason};
}

}  // namespace

std::optional<RunOutcome> PortRepair::Start() {
    problemsBefore_ = policy_.Problems().size();
    const std::string name = options_.printerName.value_or(std::string());
    std::uint32_t error = 0;
    switch (FindInstalledPrinter(dialog_.Platform().spooler, name, printer_, error)) {
        case PrinterLookup::Failed:
            return Failed("the printers could not be listed (error " + std::to_string(error) + ")");
        case PrinterLookup::Absent:
            return RunOutcome{exitcode::kInvalidCommandLine,
                              "there is no printer " + Quoted(name) + " to repair"};
        case PrinterLookup::Found: break;
    }
    const auto family = OurDriverFamily(printer_.driver);
    if (!family) {
        return RunOutcome{exitcode::kInvalidCommandLine,
                          "the printer " + Quoted(printer_.name) + " has the driver " +
                              Quoted(printer_.driver) + ", which this installer does not install"};
    }
    family_ = *family;
    log_.Write("repairing the printer " + Quoted(printer_.name) + " (driver " +
               Quoted(printer_.driver) + ") on port " + printer_.port);
    if (StartsWith(printer_.port, "USB")) return RepairUsb();
    if (StartsWith(printer_.port, "COM")) return StartSerialSearch();
    return RunOutcome{exitcode::kInvalidCommandLine,
                      "the printer " + Quoted(printer_.name) + " is on port " + printer_.port +
                          ", neither a USB nor a serial port: there is nothing to look for"};
}

RunOutcome PortRepair::RepairUsb() {
    if (dialog_.GetWindowsVersionCode() == kWindows7) {
        return Failed(
            "Windows 7 does not report on which USB port a printer answers: "
            "choose the port in the printer's properties");
    }
    // Its own port first: a printer that answers there is not moved at all.
    std::vector<std::string> order;
    for (const std::string& port : dialog_.usbPorts) {
        if (SamePort(port, printer_.port))
            order.insert(order.begin(), port);
        else
            order.push_back(port);
    }
    std::string found;
    for (const std::string& port : order) {
        log_.Write("looking for the printer on " + port);
        dialog_.SetPrinterPort(printer_.name, port);
        dialog_.RunSpooler(install::kRestart);
        if (dialog_.ReadPrinterOnLine(printer_.name)) {
            found = port;
            break;
        }
    }
    if (found.empty() && !order.empty()) {
        dialog_.SetPrinterPort(printer_.name, printer_.port);
        dialog_.RunSpooler(install::kRestart);
    }
    return Conclude(found, "USB");
}

std::optional<RunOutcome> PortRepair::StartSerialSearch() {
    if (dialog_.serialPorts.empty()) return Conclude(std::string(), "serial");
    dialog_.serialBaudRate = options_.baudRate != 0 ? options_.baudRate : SerialRate();
    if (options_.autoBaud) {
        // Fastest first, then slower each time, as an installation with /baud auto.
        dialog_.serialBaudRate = ports::kBaudRates.back();
        dialog_.fallbackBaudRates.assign(ports::kBaudRates.rbegin() + 1, ports::kBaudRates.rend());
    }
    log_.Write("looking for the printer on the serial ports at " +
               std::to_string(dialog_.serialBaudRate) + " baud" +
               (options_.autoBaud ? " (/baud auto: then slower)" : ""));
    searching_ = true;
    dialog_.SearchSerialPorts(printer_.name, family_);
    return AfterTimer();
}

std::optional<RunOutcome> PortRepair::AfterTimer() {
    if (!searching_ || dialog_.probeState != InstallerDialog::ProbeState::Idle) return std::nullopt;
    searching_ = false;
    const bool found = dialog_.portSearch == InstallerDialog::PortSearch::Found &&
                       dialog_.probeIndex >= 0 &&
                       dialog_.probeIndex < static_cast<std::int32_t>(dialog_.serialPorts.size());
    return Conclude(found ? dialog_.serialPorts[static_cast<std::size_t>(dialog_.probeIndex)] : "",
                    "serial");
}

int PortRepair::SerialRate() {
    platform::Registry& registry = dialog_.Platform().registry;
    platform::KeyHandle key = 0;
    int rate = 0;
    if (registry.RegOpenKeyExA(platform::RegistryRoot::LocalMachine, kPortsKey, 0,
                               platform::reg::kQueryValue, key) == 0) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (registry.RegQueryValueExA(key, printer_.port, kSettingsBufferSize, type, data) == 0) {
            // "9600,n,8,1": the rate is the digits before the first comma.
            for (std::uint8_t c : data) {
                if (c < '0' || c > '9' || rate > 1000000) break;
                rate = rate * 10 + (c - '0');
            }
        }
        (void)registry.RegCloseKey(key);
    }
    const auto& rates = ports::kBaudRates;
    if (std::find(rates.begin(), rates.end(), rate) != rates.end()) return rate;
    return policy_.SerialPromptRate();
}

std::string PortRepair::ListedPort() {
    InstalledPrinter listed;
    std::uint32_t error = 0;
    if (FindInstalledPrinter(dialog_.Platform().spooler, printer_.name, listed, error) !=
        PrinterLookup::Found) {
        return std::string();
    }
    return listed.port;
}

RunOutcome PortRepair::Conclude(const std::string& found, const char* type) {
    const auto& problems = policy_.Problems();
    if (problems.size() > problemsBefore_) {
        return Failed("the repair of " + Quoted(printer_.name) +
                      " reported: " + InstallLog::Escape(problems.back()));
    }
    const std::string listed = ListedPort();
    const std::string wanted = found.empty() ? printer_.port : found;
    if (!SamePort(listed, wanted)) {
        return Failed("the spooler lists " + Quoted(printer_.name) + " on " +
                      (listed.empty() ? std::string("no port") : listed) + ", not on " + wanted);
    }
    if (found.empty()) {
        return RunOutcome{exitcode::kNoPrinterAnswered, "the printer " + Quoted(printer_.name) +
                                                            " answered on no " + type +
                                                            " port; it stays on " + printer_.port +
                                                            " (check its cable and power)"};
    }
    if (SamePort(found, printer_.port)) {
        log_.Write("the printer " + Quoted(printer_.name) +
                   " was already right: it answers on its own port, " + found);
    } else {
        log_.Write("the printer " + Quoted(printer_.name) + " is moved from " + printer_.port +
                   " to " + found);
    }
    return RunOutcome{exitcode::kSuccess, std::string()};
}

}  // namespace app
