#include "install/printer_removal.h"

#include <algorithm>

#include "base/exit_codes.h"
#include "base/model_catalogue.h"
#include "install/driver_installers.h"
#include "install/installed_printer.h"
#include "base/spooler_control.h"

namespace install {
namespace cat = app::catalogue;

namespace {

// Where the installer registers drivers, its own environment first.
constexpr const char* kEnvironments[] = {kEnvironmentX64, kEnvironmentX86};

std::string Error(std::uint32_t code) {
    return "(error " + std::to_string(code) + ")";
}

}  // namespace

bool PrinterRemoval::IsOwnDriver(const std::string& driverName) {
    return OurDriverFamily(driverName).has_value();
}

int PrinterRemoval::Fail(const std::string& reason) {
    log_.Write("error: " + reason);
    return app::exitcode::kFailure;
}

bool PrinterRemoval::ListPrinters(std::vector<platform::PrinterInfo2>& printers) {
    const platform::BoolResult listed = ListLocalPrinters(spooler_, printers);
    if (!listed.IsOne()) {
        log_.Write("error: the spooler's printers could not be listed " + Error(listed.lastError));
        return false;
    }
    return true;
}

bool PrinterRemoval::ListDrivers(const std::string& environment,
                                 std::vector<platform::DriverInfo3>& drivers) {
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    (void)spooler_.EnumPrinterDriversA(environment, 3, 0, drivers, needed, returned);
    drivers.clear();
    const platform::BoolResult listed =
        spooler_.EnumPrinterDriversA(environment, 3, needed, drivers, needed, returned);
    // A spooler that does not know the environment has no drivers there.
    if (!listed.IsOne() && listed.lastError == platform::error::kInvalidEnvironment) {
        drivers.clear();
        return true;
    }
    if (!listed.IsOne()) {
        log_.Write("error: the \"" + environment + "\" drivers could not be listed " +
                   Error(listed.lastError));
        return false;
    }
    drivers.resize(std::min<std::size_t>(drivers.size(), returned));
    return true;
}

bool PrinterRemoval::DeletePrinterNamed(const std::string& printerName) {
    platform::PrinterHandle printer = 0;
    const platform::PrinterDefaults defaults{std::string("RAW"),
                                             platform::spool::kPrinterAllAccess};
    const platform::BoolResult opened = spooler_.OpenPrinterA(printerName, printer, defaults);
    if (!opened.IsOne()) {
        log_.Write("error: the printer \"" + printerName + "\" could not be opened " +
                   Error(opened.lastError));
        return false;
    }
    // Jobs still queued would keep it (and its driver) until they are printed.
    (void)spooler_.SetPrinterA(printer, 0, platform::spool::kPrinterControlPurge);
    const platform::BoolResult deleted = spooler_.DeletePrinter(printer);
    (void)spooler_.ClosePrinter(printer);
    if (!deleted.IsOne()) {
        log_.Write("error: the printer \"" + printerName + "\" could not be deleted " +
                   Error(deleted.lastError));
        return false;
    }
    log_.Write("the printer \"" + printerName + "\" is removed");
    return true;
}

bool PrinterRemoval::DeleteDriverIn(const std::string& environment, const std::string& driverName) {
    const platform::BoolResult withFiles = spooler_.DeletePrinterDriverExA(
        environment, driverName, platform::spool::kDeleteUnusedFiles, 0);
    if (withFiles.IsOne()) {
        log_.Write("the driver \"" + driverName + "\" (" + environment +
                   ") is removed with its files");
        return true;
    }
    if (withFiles.lastError == platform::error::kUnknownPrinterDriver) return true;
    if (withFiles.lastError != platform::error::kPrinterDriverInUse) {
        // A spooler without the call (Wine's, older Windows): the
        // registration alone goes, its files stay in the driver folder.
        const platform::BoolResult registration =
            spooler_.DeletePrinterDriverA(environment, driverName);
        if (registration.IsOne()) {
            log_.Write("the driver \"" + driverName + "\" (" + environment +
                       ") is removed; this spooler keeps its files");
            return true;
        }
        if (registration.lastError == platform::error::kUnknownPrinterDriver) return true;
        log_.Write("error: the driver \"" + driverName + "\" (" + environment +
                   ") could not be removed " + Error(registration.lastError));
        return false;
    }
    log_.Write("error: the driver \"" + driverName + "\" (" + environment +
               ") could not be removed " + Error(withFiles.lastError));
    return false;
}

bool PrinterRemoval::DeleteDriver(const std::string& driverName, bool& usedMonitor) {
    for (const char* environment : kEnvironments) {
        std::vector<platform::DriverInfo3> drivers;
        if (!ListDrivers(environment, drivers)) return false;
        auto found =
            std::find_if(drivers.begin(), drivers.end(), [&](const platform::DriverInfo3& d) {
                return d.name && SameSpoolerName(*d.name, driverName);
            });
        if (found == drivers.end()) continue;
        if (found->monitorName && SameSpoolerName(*found->monitorName, kLanguageMonitorName))
            usedMonitor = true;
        if (!DeleteDriverIn(environment, driverName)) return false;
    }
    return true;
}

bool PrinterRemoval::Wow64() {
    std::int32_t wow64 = 0;
    return system_.HasIsWow64Process() && system_.IsWow64Process(wow64) && wow64 != 0;
}

bool PrinterRemoval::RemoveMonitorWhenUnused() {
    for (const char* environment : kEnvironments) {
        std::vector<platform::DriverInfo3> drivers;
        if (!ListDrivers(environment, drivers)) return false;
        for (const auto& driver : drivers) {
            if (driver.monitorName && SameSpoolerName(*driver.monitorName, kLanguageMonitorName)) {
                log_.Write(std::string("the ") + kLanguageMonitorName + " stays: the driver \"" +
                           driver.name.value_or("") + "\" uses it");
                return true;
            }
        }
    }
    const bool wow64 = Wow64();
    const platform::BoolResult removed = spooler_.DeleteMonitorA(
        std::string(wow64 ? kEnvironmentX64 : kEnvironmentX86), kLanguageMonitorName);
    if (!removed.IsOne()) {
        if (removed.lastError == platform::error::kUnknownPrintMonitor) return true;
        log_.Write(std::string("error: the ") + kLanguageMonitorName + " could not be removed " +
                   Error(removed.lastError));
        return false;
    }
    log_.Write(std::string("the ") + kLanguageMonitorName + " is removed");
    // The spooler lets go of the monitor's DLL when it starts again; the
    // DLL is the one the label installation put there.
    SpoolerControl(services_, threads_, messages_).Run(kSpoolerService, kRestart);
    const std::string dll =
        wow64 ? files_.GetWindowsDirectoryA(kSystemPathBufferSize) + "\\SysWOW64\\" +
                    cat::kLabelFilesX64[0]
              : files_.GetSystemDirectoryA(kSystemPathBufferSize) + "\\" + cat::kLabelFilesX86[0];
    const platform::BoolResult deleted = files_.DeleteFileA(dll);
    if (deleted.NonZero()) {
        log_.Write("deleted " + dll);
    } else if (deleted.lastError != platform::error::kFileNotFound) {
        log_.Write("warning: " + dll + " could not be deleted " + Error(deleted.lastError));
    }
    return true;
}

int PrinterRemoval::Run(const std::string& printerName) {
    log_.Write("removing the printer \"" + printerName + "\"");
    SpoolerControl(services_, threads_, messages_).Run(kSpoolerService, kEnsureRunning);
    std::vector<platform::PrinterInfo2> printers;
    if (!ListPrinters(printers)) return app::exitcode::kFailure;
    auto found =
        std::find_if(printers.begin(), printers.end(), [&](const platform::PrinterInfo2& p) {
            return p.printerName && SameSpoolerName(*p.printerName, printerName);
        });
    if (found == printers.end()) {
        log_.Write("there is no printer \"" + printerName + "\": nothing to remove");
        return app::exitcode::kSuccess;
    }
    const std::string name = *found->printerName;
    const std::string driverName = found->driverName.value_or(std::string());
    if (!DeletePrinterNamed(name)) return app::exitcode::kFailure;
    if (driverName.empty()) return app::exitcode::kSuccess;
    if (!IsOwnDriver(driverName)) {
        log_.Write("the driver \"" + driverName +
                   "\" is not one this installer installs: it stays");
        return app::exitcode::kSuccess;
    }
    if (!ListPrinters(printers)) return app::exitcode::kFailure;
    std::string users;
    for (const auto& printer : printers) {
        if (printer.driverName && SameSpoolerName(*printer.driverName, driverName)) {
            users += (users.empty() ? "\"" : ", \"") + printer.printerName.value_or("") + "\"";
        }
    }
    if (!users.empty()) {
        log_.Write("the driver \"" + driverName + "\" stays: the printers " + users + " use it");
        return app::exitcode::kSuccess;
    }
    bool usedMonitor = false;
    if (!DeleteDriver(driverName, usedMonitor)) return app::exitcode::kFailure;
    if (usedMonitor && !RemoveMonitorWhenUnused()) return app::exitcode::kFailure;
    return app::exitcode::kSuccess;
}

}  // namespace install
