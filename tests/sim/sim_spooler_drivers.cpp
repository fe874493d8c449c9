// The simulated spooler: drivers and monitors.
#include "sim/sim_spooler.h"

#include <algorithm>

#include "sim/sim_spooler_calls.h"
#include "sim/sim_system_info.h"
#include "sim/sim_text.h"

namespace sim {

using namespace spooler_calls;

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

}  // namespace sim
