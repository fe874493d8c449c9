// The simulated spooler: printers, their enumerations and the port monitors' windows.
#include "sim/sim_spooler.h"

#include <algorithm>

#include "sim/sim_spooler_calls.h"
#include "sim/sim_system_info.h"
#include "sim/sim_text.h"

namespace sim {

using namespace spooler_calls;

// ----- printers -----

BoolResult SimSpooler::OpenPrinterA(const std::string& printerName, platform::PrinterHandle& handle,
                                    const platform::PrinterDefaults& defaults) {
    lastPrinterDefaults = defaults;
    handle = 0;
    if (auto code = Begin("OpenPrinterA",
                          {printerName, Text(defaults.datatype), Hex(defaults.desiredAccess)})) {
        return Fail(*code);
    }
    if (EqualsNoCase(printerName, std::string(",XcvMonitor ") + kTcpIpPort)) {
        if (Monitor(kTcpIpPort) == nullptr) return Fail(error::kInvalidPrinterName);
        handle = NewHandle(printerName);
        xcvHandles_[handle] = defaults.desiredAccess;
        return Succeed();
    }
    const StoredPrinter* printer = FindPrinter(printerName);
    if (!printer || printer->pendingDeletion) return Fail(error::kInvalidPrinterName);
    handle = NewHandle(*printer->info.printerName);
    return Succeed();
}

// The Standard TCP/IP Port monitor's answers, as the test monitor of the
// Wine tests gives them.
BoolResult SimSpooler::XcvPortData(platform::PrinterHandle xcv, const std::string& command,
                                   const platform::TcpIpPortData& data, std::uint32_t& status) {
    status = 0;
    if (auto code = Begin("XcvPortData", {Hex(xcv), command, data.portName, data.hostAddress,
                                          std::to_string(data.portNumber)})) {
        return Fail(*code);
    }
    auto handle = xcvHandles_.find(xcv);
    if (handle == xcvHandles_.end()) return Fail(error::kInvalidHandle);
    const bool add = command == "AddPort";
    if (!add && command != "ConfigPort") {
        status = error::kInvalidParameter;
        return Succeed();
    }
    if ((handle->second & platform::spool::kServerAccessAdminister) == 0) {
        status = error::kAccessDenied;
        return Succeed();
    }
    const std::string& name = data.portName;
    if (name.empty() || name.size() > 63 || name.find_first_of(",\\") != std::string::npos) {
        status = 123;  // ERROR_INVALID_NAME
        return Succeed();
    }
    if (data.hostAddress.empty() || data.hostAddress.size() > 48 || data.portNumber == 0 ||
        data.portNumber > 65535) {
        status = error::kInvalidParameter;
        return Succeed();
    }
    const bool known = tcpIpPorts_.count(Upper(name)) != 0;
    if (add && PortExists(name)) {
        status = error::kAlreadyExists;
        return Succeed();
    }
    if (!add && !known) {
        status = error::kUnknownPort;
        return Succeed();
    }
    if (add) AddPort(name, kTcpIpPort, kTcpIpPort);
    tcpIpPorts_[Upper(name)] = {data.hostAddress, data.portNumber};
    return Succeed();
}

std::optional<SimSpooler::TcpIpPortConfig> SimSpooler::TcpIpPort(const std::string& name) const {
    auto found = tcpIpPorts_.find(Upper(name));
    if (found == tcpIpPorts_.end()) return std::nullopt;
    return found->second;
}

BoolResult SimSpooler::SetPrinterA(platform::PrinterHandle handle, std::uint32_t level,
                                   std::uint32_t command) {
    if (auto code =
            Begin("SetPrinterA", {Hex(handle), std::to_string(level), std::to_string(command)})) {
        return Fail(*code);
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(error::kInvalidHandle);
    // Without a record only level 0 with a control command makes sense.
    if (level != 0) return Fail(error::kInvalidLevel);
    if (command == 0 || command > 4) return Fail(error::kInvalidParameter);
    if (command == platform::spool::kPrinterControlPurge) purged.push_back(it->second);
    return Succeed();
}

BoolResult SimSpooler::DeletePrinter(platform::PrinterHandle handle) {
    if (auto code = Begin("DeletePrinter", {Hex(handle)})) return Fail(*code);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(error::kInvalidHandle);
    if (StoredPrinter* printer = FindPrinter(it->second)) printer->pendingDeletion = true;
    return Succeed();
}

BoolResult SimSpooler::ClosePrinter(platform::PrinterHandle handle) {
    if (auto code = Begin("ClosePrinter", {Hex(handle)})) return Fail(*code);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(error::kInvalidHandle);
    std::string name = it->second;
    handles_.erase(it);
    xcvHandles_.erase(handle);
    // A printer marked for deletion goes when its last handle closes.
    for (const auto& [other, otherName] : handles_) {
        if (EqualsNoCase(otherName, name)) return Succeed();
    }
    const StoredPrinter* printer = FindPrinter(name);
    if (printer && printer->pendingDeletion) RemovePrinter(name);
    return Succeed();
}

platform::PrinterHandle SimSpooler::AddPrinterA(std::uint32_t level,
                                                const platform::PrinterInfo2& info,
                                                std::uint32_t& lastError) {
    lastPrinterInfo = info;
    auto fail = [&lastError](std::uint32_t code) {
        lastError = code;
        return platform::PrinterHandle{0};
    };
    if (auto code = Begin("AddPrinterA",
                          {std::to_string(level), Text(info.printerName), Text(info.portName),
                           Text(info.driverName), Text(info.printProcessor)})) {
        return fail(*code);
    }
    if (level != 2) return fail(error::kInvalidLevel);
    if (!info.printerName || info.printerName->empty()) return fail(error::kInvalidPrinterName);
    if (FindPrinter(*info.printerName)) return fail(error::kPrinterAlreadyExists);
    if (!info.driverName || !HasDriver(*info.driverName)) {
        return fail(error::kUnknownPrinterDriver);
    }
    if (!info.portName || (!acceptAnyPort && !PortExists(*info.portName))) {
        return fail(error::kUnknownPort);
    }
    if (!info.printProcessor) return fail(error::kInvalidParameter);
    if (!EqualsNoCase(*info.printProcessor, "WinPrint")) return fail(kUnknownPrintProcessor);
    StorePrinter(info);
    lastError = 0;
    return NewHandle(*info.printerName);
}

// ----- enumerations -----

BoolResult SimSpooler::EnumPortsA(std::uint32_t level, std::uint32_t bufferSize,
                                  std::vector<platform::PortInfo2>& ports, std::uint32_t& needed,
                                  std::uint32_t& returned) {
    returned = 0;
    if (auto code = Begin("EnumPortsA", {std::to_string(level), std::to_string(bufferSize)})) {
        return Fail(*code);
    }
    if (level != 2) return Fail(error::kInvalidLevel);
    needed = platform::EnumBytesNeeded(ports_);
    if (bufferSize < needed) return Fail(error::kInsufficientBuffer);
    ports = ports_;
    returned = static_cast<std::uint32_t>(ports_.size());
    return Succeed();
}

BoolResult SimSpooler::EnumPrintersA(std::uint32_t flags, const std::string& name,
                                     std::uint32_t level, std::uint32_t bufferSize,
                                     std::vector<platform::PrinterInfo2>& printers,
                                     std::uint32_t& needed, std::uint32_t& returned) {
    returned = 0;
    if (auto code = Begin("EnumPrintersA", {std::to_string(flags), name, std::to_string(level),
                                            std::to_string(bufferSize)})) {
        return Fail(*code);
    }
    if (level != 2) return Fail(error::kInvalidLevel);
    // There are no printer connections here, only local printers.
    std::vector<platform::PrinterInfo2> list;
    if (flags & platform::spool::kEnumLocal) {
        for (const auto& printer : printers_) {
            list.push_back(printer.info);
            if (printer.pendingDeletion) list.back().status |= kPrinterStatusPendingDeletion;
        }
    }
    needed = platform::EnumBytesNeeded(list);
    if (bufferSize < needed) return Fail(error::kInsufficientBuffer);
    printers = list;
    returned = static_cast<std::uint32_t>(list.size());
    return Succeed();
}

platform::DriverInfo3 SimSpooler::Listed(const StoredDriver& driver) const {
    // The spooler keeps bare file names and reports each file by its copy
    // in the version folder.
    const std::string folder =
        *DriverDirectory(driver.environment) + "\\" + std::to_string(driver.info.version) + "\\";
    auto copy = [&folder](const platform::OptString& path) -> platform::OptString {
        if (!path || path->empty()) return path;
        return folder + FileName(*path);
    };
    platform::DriverInfo3 listed = driver.info;
    listed.environment = driver.environment;
    listed.driverPath = copy(driver.info.driverPath);
    listed.dataFile = copy(driver.info.dataFile);
    listed.configFile = copy(driver.info.configFile);
    listed.helpFile = copy(driver.info.helpFile);
    for (auto& file : listed.dependentFiles) file = *copy(file);
    return listed;
}

BoolResult SimSpooler::EnumPrinterDriversA(const std::string& environment, std::uint32_t level,
                                           std::uint32_t bufferSize,
                                           std::vector<platform::DriverInfo3>& drivers,
                                           std::uint32_t& needed, std::uint32_t& returned) {
    returned = 0;
    if (auto code = Begin("EnumPrinterDriversA",
                          {environment, std::to_string(level), std::to_string(bufferSize)})) {
        return Fail(*code);
    }
    if (level != 3) return Fail(error::kInvalidLevel);
    const std::string env = environment.empty() ? LocalEnvironment() : environment;
    if (!KnownEnvironment(env)) return Fail(kInvalidEnvironment);
    std::vector<platform::DriverInfo3> list;
    for (const auto& driver : drivers_) {
        if (EqualsNoCase(driver.environment, env)) list.push_back(Listed(driver));
    }
    needed = platform::EnumBytesNeeded(list);
    if (bufferSize < needed) return Fail(error::kInsufficientBuffer);
    drivers = list;
    returned = static_cast<std::uint32_t>(list.size());
    return Succeed();
}

// ----- port monitor windows -----

BoolResult SimSpooler::PortCall(const std::string& call, platform::WindowHandle owner,
                                const std::string& name, const PortHook& hook) {
    portRequests.push_back({call, owner, name});
    if (auto code = Begin(call, {Hex(owner), name})) return Fail(*code);
    if (!hook) return Fail(error::kNotSupported);
    return hook(owner, name);
}

BoolResult SimSpooler::AddPortA(platform::WindowHandle owner, const std::string& monitorName) {
    return PortCall("AddPortA", owner, monitorName, onAddPort);
}

BoolResult SimSpooler::ConfigurePortA(platform::WindowHandle owner, const std::string& portName) {
    return PortCall("ConfigurePortA", owner, portName, onConfigurePort);
}

BoolResult SimSpooler::DeletePortA(platform::WindowHandle owner, const std::string& portName) {
    return PortCall("DeletePortA", owner, portName, onDeletePort);
}

}  // namespace sim
