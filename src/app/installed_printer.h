// A printer already on the machine, as the runs that work on one after its
// installation (repair, test print) find it: by its name in the spooler's
// list, and as ours only when its driver is one of the catalogue's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/model_catalogue.h"
#include "platform/spooler.h"

namespace app {

struct InstalledPrinter {
    std::string name;  // as the spooler spells it
    std::string driver;
    std::string port;
};

enum class PrinterLookup { Found, Absent, Failed };

// Looks `name` up among the local printers; names compare without regard
// to case, as the spooler's do. On Failed, `error` says why.
PrinterLookup FindInstalledPrinter(platform::Spooler& spooler, const std::string& name,
                                   InstalledPrinter& printer, std::uint32_t& error);

// The family of a driver this installer installs; nothing for any other.
std::optional<catalogue::DriverFamily> OurDriverFamily(const std::string& driverName);

}  // namespace app
