#include "install/installed_printer.h"

#include <algorithm>

namespace install {
namespace cat = app::catalogue;

bool SameSpoolerName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               auto lower = [](unsigned char c) {
                   return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
               };
               return lower(x) == lower(y);
           });
}

platform::BoolResult ListLocalPrinters(platform::Spooler& spooler,
                                       std::vector<platform::PrinterInfo2>& printers) {
    constexpr std::uint32_t kFlags =
        platform::spool::kEnumLocal | platform::spool::kEnumConnections;
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    printers.clear();
    const platform::BoolResult sized =
        spooler.EnumPrintersA(kFlags, "", 2, 0, printers, needed, returned);
    if (sized.IsOne() && needed == 0) {
        printers.clear();
        return sized;
    }
    printers.clear();
    const platform::BoolResult listed =
        spooler.EnumPrintersA(kFlags, "", 2, needed, printers, needed, returned);
    printers.resize(listed.IsOne() ? std::min<std::size_t>(printers.size(), returned) : 0);
    return listed;
}

PrinterLookup FindInstalledPrinter(platform::Spooler& spooler, const std::string& name,
                                   InstalledPrinter& printer, std::uint32_t& error) {
    std::vector<platform::PrinterInfo2> printers;
    const platform::BoolResult listed = ListLocalPrinters(spooler, printers);
    if (!listed.IsOne()) {
        error = listed.lastError;
        return PrinterLookup::Failed;
    }
    for (const platform::PrinterInfo2& listedPrinter : printers) {
        const std::string listedName = listedPrinter.printerName.value_or(std::string());
        if (!SameSpoolerName(listedName, name)) continue;
        printer.name = listedName;
        printer.driver = listedPrinter.driverName.value_or(std::string());
        printer.port = listedPrinter.portName.value_or(std::string());
        return PrinterLookup::Found;
    }
    return PrinterLookup::Absent;
}

std::optional<cat::DriverFamily> OurDriverFamily(const std::string& driverName) {
    const auto has = [&](const auto& names) {
        return std::find(names.begin(), names.end(), driverName) != names.end();
    };
    if (has(cat::kReceiptDisplayNames)) return cat::DriverFamily::Receipt;
    if (has(cat::kLabelDisplayNames)) return cat::DriverFamily::Label;
    return std::nullopt;
}

}  // namespace install
