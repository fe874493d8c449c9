// A printer already on the machine, as the runs that work on one after its
// installation (removal, repair, test print) find it: by its name in the
// spooler's list, and as ours only when its driver is one of the catalogue's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/model_catalogue.h"
#include "platform/spooler.h"

namespace install {

// The spooler compares printer, driver and monitor names without case.
bool SameSpoolerName(const std::string& a, const std::string& b);

// The local printers and connections at level 2: the size, then the list.
// A machine without printers answers the size query with success and 0.
platform::BoolResult ListLocalPrinters(platform::Spooler& spooler,
                                       std::vector<platform::PrinterInfo2>& printers);

struct InstalledPrinter {
    std::string name;  // as the spooler spells it
    std::string driver;
    std::string port;
};

enum class PrinterLookup { Found, Absent, Failed };

// Looks `name` up among the local printers. On Failed, `error` says why.
PrinterLookup FindInstalledPrinter(platform::Spooler& spooler, const std::string& name,
                                   InstalledPrinter& printer, std::uint32_t& error);

// The family of a driver this installer installs; nothing for any other.
std::optional<app::catalogue::DriverFamily> OurDriverFamily(const std::string& driverName);

}  // namespace install
