#include "sim/sim_spooler.h"

#include <algorithm>

#include "sim/sim_system_info.h"
#include "sim/sim_text.h"

namespace sim {
namespace {

using platform::BoolResult;
namespace error = platform::error;

constexpr std::uint32_t kInvalidEnvironment = 1805;
constexpr std::uint32_t kUnknownPrintProcessor = 1798;
constexpr std::uint32_t kRpcServerUnavailable = 1722;
constexpr std::uint32_t kPrinterStatusPendingDeletion = 0x4;
constexpr std::uint32_t kPortTypeWrite = 0x1;
constexpr std::uint32_t kInvalidPrinterState = 1906;
constexpr std::uint32_t kSplNoStartDoc = 3004;
constexpr const char* kHardwareProfilePrintersKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

BoolResult Fail(std::uint32_t code) {
    return {0, code};
}
BoolResult Succeed() {
    return {1, 0};
}

std::string Text(const platform::OptString& text) {
    return text ? *text : "(null)";
}

bool HasSeparator(const std::string& path) {
    return path.find_first_of("\\/") != std::string::npos;
}

std::string FileName(const std::string& path) {
    auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

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

// ----- drivers and monitors -----

BoolResult SimSpooler::GetPrinterDriverDirectoryA(const std::string& environment,
                                                  std::uint32_t level, std::uint32_t bufferSize,
                                                  std::string& directory, std::uint32_t& needed) {
    if (auto code = Begin("GetPrinterDriverDirectoryA",
                          {environment, std::to_string(level), std::to_string(bufferSize)})) {
        return Fail(*code);
    }
    if (level != 1) return Fail(error::kInvalidLevel);
    auto folder = DriverDirectory(environment);
    if (!folder) return Fail(kInvalidEnvironment);
    needed = static_cast<std::uint32_t>(folder->size() + 1);
    if (bufferSize < needed) return Fail(error::kInsufficientBuffer);
    directory = *folder;
    return Succeed();
}

std::uint32_t SimSpooler::CheckDriverFile(const platform::OptString& path,
                                          const std::string& directory,
                                          std::string& fullPath) const {
    if (!path || path->empty()) return error::kInvalidParameter;
    // A bare name is looked for in the environment's driver directory.
    fullPath = HasSeparator(*path) ? *path : directory + "\\" + *path;
    return files_.Exists(fullPath) && !files_.IsDirectory(fullPath) ? 0 : error::kFileNotFound;
}

BoolResult SimSpooler::AddPrinterDriverExA(std::uint32_t level, const platform::DriverInfo3& info,
                                           std::uint32_t copyFlags) {
    lastDriverInfo = info;
    lastCopyFlags = copyFlags;
    if (auto code =
            Begin("AddPrinterDriverExA", {std::to_string(level), Text(info.name),
                                          Text(info.environment), std::to_string(copyFlags)})) {
        return Fail(*code);
    }
    if (level != 3) return Fail(error::kInvalidLevel);
    if (!info.name || info.name->empty()) return Fail(error::kInvalidParameter);
    std::string environment = info.environment ? *info.environment : LocalEnvironment();
    auto directory = DriverDirectory(environment);
    if (!directory) return Fail(kInvalidEnvironment);

    std::vector<std::string> sources;
    for (const auto* file : {&info.driverPath, &info.dataFile, &info.configFile}) {
        std::string fullPath;
        if (std::uint32_t code = CheckDriverFile(*file, *directory, fullPath)) return Fail(code);
        sources.push_back(fullPath);
    }
    // The help and dependent files are copied when present; like Wine's
    // spooler, a missing one does not fail the call.
    std::vector<platform::OptString> optional{info.helpFile};
    for (const auto& file : info.dependentFiles) optional.push_back(file);
    for (const auto& file : optional) {
        std::string fullPath;
        if (CheckDriverFile(file, *directory, fullPath) == 0) sources.push_back(fullPath);
    }
    // The spooler keeps its own copies in the version folder, so the
    // installer may delete the ones it brought.
    std::string versionFolder = *directory + "\\" + std::to_string(info.version);
    for (const auto& source : sources) {
        files_.WriteFile(versionFolder + "\\" + FileName(source), *files_.ReadFile(source));
    }

    StoredDriver stored{info, environment};
    stored.info.environment = environment;
    for (auto& driver : drivers_) {
        if (EqualsNoCase(*driver.info.name, *info.name) &&
            EqualsNoCase(driver.environment, environment)) {
            driver = stored;
            return Succeed();
        }
    }
    drivers_.push_back(stored);
    return Succeed();
}

BoolResult SimSpooler::AddMonitorA(std::uint32_t level, const platform::MonitorInfo2& info) {
    lastMonitorInfo = info;
    if (auto code = Begin("AddMonitorA", {std::to_string(level), Text(info.name),
                                          Text(info.environment), Text(info.dllName)})) {
        return Fail(*code);
    }
    if (level != 2) return Fail(error::kInvalidLevel);
    if (!info.name || info.name->empty() || !info.dllName || info.dllName->empty()) {
        return Fail(error::kInvalidParameter);
    }
    if (info.environment && !KnownEnvironment(*info.environment)) {
        return Fail(kInvalidEnvironment);
    }
    if (Monitor(*info.name)) return Fail(error::kPrintMonitorAlreadyInstalled);
    // The spooler loads monitors from the system folder only; on 64-bit
    // Windows a 32-bit installer can only name the 32-bit one, SysWOW64,
    // and that is where it finds the DLL too.
    const std::string name = FileName(*info.dllName);
    std::vector<std::string> folders = {SimFiles::kSystemDirectory};
    if (LocalEnvironment() == kEnvironmentX64) folders.push_back(SimFiles::kWow64Directory);
    bool loadable = false;
    for (const std::string& folder : folders) {
        const std::string dll = folder + "\\" + name;
        const bool named = !HasSeparator(*info.dllName) ||
                           EqualsNoCase(files_.FullPath(*info.dllName), files_.FullPath(dll));
        if (named && files_.Exists(dll)) loadable = true;
        if (!HasSeparator(*info.dllName)) break;  // a bare name means the system folder
    }
    if (!loadable) return Fail(error::kModNotFound);
    monitors_.push_back(info);
    return Succeed();
}

BoolResult SimSpooler::DeleteMonitorA(const platform::OptString& environment,
                                      const std::string& monitorName) {
    if (auto code = Begin("DeleteMonitorA", {Text(environment), monitorName})) return Fail(*code);
    if (environment && !KnownEnvironment(*environment)) return Fail(kInvalidEnvironment);
    for (auto it = monitors_.begin(); it != monitors_.end(); ++it) {
        if (EqualsNoCase(*it->name, monitorName)) {
            monitors_.erase(it);
            return Succeed();
        }
    }
    return Fail(error::kUnknownPrintMonitor);
}

BoolResult SimSpooler::DeletePrinterDriverA(const std::string& environment,
                                            const std::string& driverName) {
    if (auto code = Begin("DeletePrinterDriverA", {environment, driverName})) return Fail(*code);
    return RemoveDriver(environment, driverName, false);
}

BoolResult SimSpooler::DeletePrinterDriverExA(const std::string& environment,
                                              const std::string& driverName,
                                              std::uint32_t deleteFlags,
                                              std::uint32_t versionFlags) {
    if (auto code = Begin("DeletePrinterDriverExA", {environment, driverName, Hex(deleteFlags),
                                                     std::to_string(versionFlags)})) {
        return Fail(*code);
    }
    return RemoveDriver(environment, driverName,
                        (deleteFlags & platform::spool::kDeleteUnusedFiles) != 0);
}

// The files a stored driver keeps in its version folder.
std::vector<std::string> SimSpooler::DriverFiles(const StoredDriver& driver) const {
    std::vector<std::string> names;
    const platform::DriverInfo3& info = driver.info;
    for (const auto* file : {&info.driverPath, &info.dataFile, &info.configFile, &info.helpFile}) {
        if (*file && !(*file)->empty()) names.push_back(FileName(**file));
    }
    for (const auto& file : info.dependentFiles) names.push_back(FileName(file));
    return names;
}

BoolResult SimSpooler::RemoveDriver(const std::string& environment, const std::string& driverName,
                                    bool withFiles) {
    const std::string env = environment.empty() ? LocalEnvironment() : environment;
    auto directory = DriverDirectory(env);
    if (!directory) return Fail(kInvalidEnvironment);
    auto it = std::find_if(drivers_.begin(), drivers_.end(), [&](const StoredDriver& d) {
        return EqualsNoCase(*d.info.name, driverName) && EqualsNoCase(d.environment, env);
    });
    if (it == drivers_.end()) return Fail(error::kUnknownPrinterDriver);
    for (const auto& printer : printers_) {
        if (printer.info.driverName && EqualsNoCase(*printer.info.driverName, driverName)) {
            return Fail(error::kPrinterDriverInUse);
        }
    }
    const StoredDriver removed = *it;
    drivers_.erase(it);
    if (!withFiles) return Succeed();
    const std::string folder = *directory + "\\" + std::to_string(removed.info.version) + "\\";
    for (const std::string& name : DriverFiles(removed)) {
        bool shared = false;
        for (const auto& other : drivers_) {
            if (!EqualsNoCase(other.environment, env)) continue;
            for (const std::string& used : DriverFiles(other))
                shared = shared || EqualsNoCase(used, name);
        }
        if (!shared) files_.RemoveFile(folder + name);
    }
    return Succeed();
}

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

// ----- print jobs -----

std::uint32_t SimSpooler::StartDocPrinterA(platform::PrinterHandle handle, std::uint32_t level,
                                           const platform::DocInfo1& info,
                                           std::uint32_t& lastError) {
    lastError = 0;
    if (auto code = Begin("StartDocPrinterA", {Hex(handle), std::to_string(level),
                                               Text(info.docName), Text(info.datatype)})) {
        lastError = *code;
        return 0;
    }
    auto it = handles_.find(handle);
    if (it == handles_.end() || xcvHandles_.count(handle) != 0) {
        lastError = error::kInvalidHandle;
        return 0;
    }
    if (level != 1) {
        lastError = error::kInvalidLevel;
        return 0;
    }
    if (openDocs_.count(handle) != 0) {
        lastError = kInvalidPrinterState;
        return 0;
    }
    Job job;
    job.id = nextJobId_++;
    job.printer = it->second;
    job.doc = info;
    jobs_.push_back(job);
    openDocs_[handle] = jobs_.size() - 1;
    return job.id;
}

BoolResult SimSpooler::WritePrinter(platform::PrinterHandle handle,
                                    const std::vector<std::uint8_t>& bytes,
                                    std::uint32_t& written) {
    written = 0;
    if (auto code = Begin("WritePrinter", {Hex(handle), std::to_string(bytes.size())})) {
        return Fail(*code);
    }
    if (handles_.count(handle) == 0) return Fail(error::kInvalidHandle);
    auto doc = openDocs_.find(handle);
    if (doc == openDocs_.end()) return Fail(kSplNoStartDoc);
    auto& data = jobs_[doc->second].bytes;
    data.insert(data.end(), bytes.begin(), bytes.end());
    written = static_cast<std::uint32_t>(bytes.size());
    return Succeed();
}

BoolResult SimSpooler::EndDocPrinter(platform::PrinterHandle handle) {
    if (auto code = Begin("EndDocPrinter", {Hex(handle)})) return Fail(*code);
    if (handles_.count(handle) == 0) return Fail(error::kInvalidHandle);
    auto doc = openDocs_.find(handle);
    if (doc == openDocs_.end()) return Fail(kSplNoStartDoc);
    Job& job = jobs_[doc->second];
    job.ended = true;
    job.endedAt = clock ? clock->Now() : 0;
    openDocs_.erase(doc);
    return Succeed();
}

BoolResult SimSpooler::GetJobA(platform::PrinterHandle handle, std::uint32_t jobId,
                               std::uint32_t level, std::uint32_t bufferSize,
                               platform::JobInfo1& job, std::uint32_t& needed) {
    needed = 0;
    if (auto code = Begin("GetJobA", {Hex(handle), std::to_string(jobId), std::to_string(level),
                                      std::to_string(bufferSize)})) {
        return Fail(*code);
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(error::kInvalidHandle);
    if (level != 1) return Fail(error::kInvalidLevel);
    const auto found = std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) {
        return j.id == jobId && EqualsNoCase(j.printer, it->second);
    });
    if (found == jobs_.end() || Left(*found)) return Fail(error::kInvalidParameter);
    platform::JobInfo1 info;
    info.jobId = found->id;
    info.printerName = found->printer;
    info.machineName = std::string("\\\\SIM");
    info.userName = std::string("operator");
    info.document = found->doc.docName;
    info.datatype = found->doc.datatype;
    info.status = found->ended ? jobStatus : platform::spool::kJobSpooling;
    needed = platform::BytesNeeded(info);
    if (bufferSize < needed) return Fail(error::kInsufficientBuffer);
    job = info;
    return Succeed();
}

bool SimSpooler::Left(const Job& job) const {
    if (!job.ended || !jobLeavesAfterMs) return false;
    const std::uint64_t now = clock ? clock->Now() : job.endedAt;
    return now - job.endedAt >= *jobLeavesAfterMs;
}

}  // namespace sim
