#include "sim/sim_spooler.h"

#include <algorithm>

#include "sim/sim_spooler_calls.h"
#include "sim/sim_system_info.h"
#include "sim/sim_text.h"

namespace sim {

using namespace spooler_calls;

SimSpooler::SimSpooler(SimRegistry& registry, SimFiles& files, const SimSystemInfo* system)
    : registry_(registry), files_(files), system_(system) {
    files_.MakeDirectories(kDriverDirectoryX86);
    files_.MakeDirectories(kDriverDirectoryX64);
    for (const char* port :
         {"COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:", "LPT3:"}) {
        AddPort(port);
    }
    SeedMonitor(kLocalPort, "localspl.dll");
}

// ----- helpers -----

std::string SimSpooler::LocalEnvironment() const {
    if (system_ && system_->hasIsWow64 && system_->wow64) return kEnvironmentX64;
    return kEnvironmentX86;
}

bool SimSpooler::KnownEnvironment(const std::string& environment) const {
    return EqualsNoCase(environment, kEnvironmentX86) || EqualsNoCase(environment, kEnvironmentX64);
}

std::optional<std::string> SimSpooler::DriverDirectory(const std::string& environment) const {
    std::string env = environment.empty() ? LocalEnvironment() : environment;
    if (EqualsNoCase(env, kEnvironmentX86)) return driverDirectoryX86;
    if (EqualsNoCase(env, kEnvironmentX64)) return driverDirectoryX64;
    return std::nullopt;
}

std::optional<std::uint32_t> SimSpooler::Begin(const std::string& name,
                                               std::initializer_list<std::string> args) {
    calls.push_back(FormatCall(name, args));
    if (auto code = failures.Check(name)) return code;
    if (serviceRunning && !serviceRunning()) return kRpcServerUnavailable;
    return std::nullopt;
}

SimSpooler::StoredPrinter* SimSpooler::FindPrinter(const std::string& name) {
    for (auto& printer : printers_) {
        if (EqualsNoCase(*printer.info.printerName, name)) return &printer;
    }
    return nullptr;
}

const SimSpooler::StoredPrinter* SimSpooler::FindPrinter(const std::string& name) const {
    return const_cast<SimSpooler*>(this)->FindPrinter(name);
}

bool SimSpooler::PortExists(const std::string& name) const {
    for (const auto& port : ports_) {
        if (EqualsNoCase(port.portName, name)) return true;
    }
    return false;
}

const platform::DriverInfo3* SimSpooler::Driver(const std::string& name,
                                                const std::string& environment) const {
    for (const auto& driver : drivers_) {
        if (EqualsNoCase(*driver.info.name, name) &&
            EqualsNoCase(driver.environment, environment)) {
            return &driver.info;
        }
    }
    return nullptr;
}

// Either environment will do: the simulator does not hold a 32-bit driver
// against a printer on 64-bit Windows.
bool SimSpooler::HasDriver(const std::string& name) const {
    for (const auto& driver : drivers_) {
        if (EqualsNoCase(*driver.info.name, name)) return true;
    }
    return false;
}

const platform::MonitorInfo2* SimSpooler::Monitor(const std::string& name) const {
    for (const auto& monitor : monitors_) {
        if (EqualsNoCase(*monitor.name, name)) return &monitor;
    }
    return nullptr;
}

const platform::PrinterInfo2* SimSpooler::Printer(const std::string& name) const {
    const StoredPrinter* printer = FindPrinter(name);
    return printer ? &printer->info : nullptr;
}

std::vector<std::string> SimSpooler::PrinterNames() const {
    std::vector<std::string> names;
    for (const auto& printer : printers_) names.push_back(*printer.info.printerName);
    return names;
}

void SimSpooler::AddPort(const std::string& name, const std::string& description,
                         const std::string& monitor) {
    platform::PortInfo2 port{name, monitor, description, kPortTypeWrite, 0};
    for (auto& existing : ports_) {
        if (EqualsNoCase(existing.portName, name)) {
            existing = port;  // keeps its place in the enumeration
            return;
        }
    }
    ports_.push_back(port);
}

bool SimSpooler::RemovePort(const std::string& name) {
    for (auto it = ports_.begin(); it != ports_.end(); ++it) {
        if (EqualsNoCase(it->portName, name)) {
            ports_.erase(it);
            return true;
        }
    }
    return false;
}

void SimSpooler::ClearPorts() {
    ports_.clear();
}

void SimSpooler::SeedDriver(const std::string& name, const std::string& environment) {
    platform::DriverInfo3 info;
    info.version = 3;
    info.name = name;
    info.environment = environment;
    drivers_.push_back({info, environment});
}

void SimSpooler::SeedMonitor(const std::string& name, const std::string& dllName) {
    platform::MonitorInfo2 monitor;
    monitor.name = name;
    monitor.dllName = dllName;
    monitors_.push_back(monitor);
}

void SimSpooler::SeedPrinter(const std::string& name, const std::string& driverName,
                             const std::string& portName) {
    platform::PrinterInfo2 info;
    info.printerName = name;
    info.driverName = driverName;
    info.portName = portName;
    info.printProcessor = "WinPrint";
    info.datatype = "RAW";
    StorePrinter(info);
}

void SimSpooler::SetPrinterAttached(const std::string& port, bool attached) {
    if (attached) {
        attachedPorts_.insert(Upper(port));
    } else {
        attachedPorts_.erase(Upper(port));
    }
}

void SimSpooler::ScriptAddTcpIpPort(const std::string& portName) {
    onAddPort = [this, portName](platform::WindowHandle, const std::string& monitor) {
        if (!EqualsNoCase(monitor, kTcpIpPort)) return Fail(error::kUnknownPrintMonitor);
        AddPort(portName, kTcpIpPort, kTcpIpPort);
        return Succeed();
    };
}

void SimSpooler::ScriptDeletePortRemoves() {
    onDeletePort = [this](platform::WindowHandle, const std::string& port) {
        return RemovePort(port) ? Succeed() : Fail(error::kUnknownPort);
    };
}

void SimSpooler::StorePrinter(const platform::PrinterInfo2& info) {
    StoredPrinter printer;
    printer.info = info;
    printer.info.serverName.reset();
    printer.info.status = 0;
    printers_.push_back(printer);
    WritePrinterKeys(*info.printerName, info.portName.value_or(""));
}

void SimSpooler::WritePrinterKeys(const std::string& name, const std::string& port) {
    using platform::RegistryRoot;
    registry_.SetString(RegistryRoot::LocalMachine, kPrintersKey + name, "Port", port);
    registry_.SetString(RegistryRoot::LocalMachine, kControlSet001PrintersKey + name, "Port", port);
    registry_.SetString(RegistryRoot::LocalMachine, kSoftwarePrintersKey + name, "Port", port);
    registry_.SetString(RegistryRoot::LocalMachine, kSoftwarePrintersKey + name + "\\DsSpooler",
                        "portName", port);
}

void SimSpooler::RemovePrinter(const std::string& name) {
    using platform::RegistryRoot;
    for (auto it = printers_.begin(); it != printers_.end(); ++it) {
        if (EqualsNoCase(*it->info.printerName, name)) {
            std::string stored = *it->info.printerName;
            printers_.erase(it);
            registry_.DeleteKey(RegistryRoot::LocalMachine, kPrintersKey + stored);
            registry_.DeleteKey(RegistryRoot::LocalMachine, kControlSet001PrintersKey + stored);
            registry_.DeleteKey(RegistryRoot::LocalMachine, kSoftwarePrintersKey + stored);
            registry_.DeleteKey(RegistryRoot::CurrentConfig, kHardwareProfilePrintersKey + stored);
            return;
        }
    }
}

platform::PrinterHandle SimSpooler::NewHandle(const std::string& printerName) {
    platform::PrinterHandle handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = printerName;
    return handle;
}

void SimSpooler::OnServiceStarted() {
    using platform::RegistryRoot;
    ++serviceStarts;
    if (!handlesSurviveRestart) {
        // A new spooler process: the old one's handles are gone, and with
        // them what was only waiting for its last handle to close.
        handles_.clear();
        xcvHandles_.clear();
        std::vector<std::string> pending;
        for (const auto& printer : printers_) {
            if (printer.pendingDeletion) pending.push_back(*printer.info.printerName);
        }
        for (const auto& name : pending) RemovePrinter(name);
    }
    for (auto& printer : printers_) {
        const std::string& name = *printer.info.printerName;
        auto port = registry_.GetString(RegistryRoot::LocalMachine, kPrintersKey + name, "Port");
        if (port) printer.info.portName = *port;
        bool online = port && attachedPorts_.count(Upper(*port)) > 0;
        registry_.SetDword(RegistryRoot::CurrentConfig, kHardwareProfilePrintersKey + name,
                           "PrinterOnLine", online ? 1 : 0);
    }
}

}  // namespace sim
