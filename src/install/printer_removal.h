// Uninstalling: a printer goes, then its driver when no other printer uses
// it, then the print-language monitor when no remaining driver names it.
// Only what this installer installs is removed: a printer on a driver of
// another maker loses the printer, never the driver. Everything it does
// and finds goes to the log; message boxes are answered by the caller's
// `messages` (the spooler control reports through them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/install_log.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/spooler.h"
#include "platform/system_info.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace install {

class PrinterRemoval {
public:
    PrinterRemoval(platform::Spooler& spooler, platform::ServiceManager& services,
                   platform::Threads& threads, platform::Files& files, platform::SystemInfo& system,
                   platform::MessageBoxes& messages, app::InstallLog& log)
        : spooler_(spooler),
          services_(services),
          threads_(threads),
          files_(files),
          system_(system),
          messages_(messages),
          log_(log) {}

    // The exit code: success also when there is no such printer (nothing
    // to do), failure with the reason in the log.
    int Run(const std::string& printerName);

    // Whether `driverName` is a driver this installer installs.
    static bool IsOwnDriver(const std::string& driverName);

private:
    bool ListPrinters(std::vector<platform::PrinterInfo2>& printers);
    bool ListDrivers(const std::string& environment, std::vector<platform::DriverInfo3>& drivers);
    bool DeletePrinterNamed(const std::string& printerName);
    // Deletes the driver in every environment that has it; sets
    // `usedMonitor` when one of them named the language monitor.
    bool DeleteDriver(const std::string& driverName, bool& usedMonitor);
    bool DeleteDriverIn(const std::string& environment, const std::string& driverName);
    bool RemoveMonitorWhenUnused();
    bool Wow64();
    int Fail(const std::string& reason);

    platform::Spooler& spooler_;
    platform::ServiceManager& services_;
    platform::Threads& threads_;
    platform::Files& files_;
    platform::SystemInfo& system_;
    platform::MessageBoxes& messages_;
    app::InstallLog& log_;
};

}  // namespace install
