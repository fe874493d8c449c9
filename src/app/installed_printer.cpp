#include "app/installed_printer.h"

#include <algorithm>
#include <vector>

namespace app {
namespace {

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

}  // namespace

PrinterLookup FindInstalledPrinter(platform::Spooler& spooler, const std::string& name,
                                   InstalledPrinter& printer, std::uint32_t& error) {
    constexpr std::uint32_t kFlags = platform::spool::kEnumLocal | platform::spool::kEnumConnections;
    std::vector<platform::PrinterInfo2> printers;
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    // A machine without printers answers the size query with success and 0.
    const platform::BoolResult sized = spooler.EnumPrintersA(kFlags, "", 2, 0, printers, needed, returned);
    if (sized.IsOne() && needed == 0) return PrinterLookup::Absent;
    printers.clear();
    const platform::BoolResult listed =
        spooler.EnumPrintersA(kFlags, "", 2, needed, printers, needed, returned);
    if (!listed.IsOne()) {
        error = listed.lastError;
        return PrinterLookup::Failed;
    }
    const std::size_t count = std::min<std::size_t>(printers.size(), returned);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string listedName = printers[i].printerName.value_or(std::string());
        if (!SameName(listedName, name)) continue;
        printer.name = listedName;
        printer.driver = printers[i].driverName.value_or(std::string());
        printer.port = printers[i].portName.value_or(std::string());
        return PrinterLookup::Found;
    }
    return PrinterLookup::Absent;
}

std::optional<catalogue::DriverFamily> OurDriverFamily(const std::string& driverName) {
    const auto has = [&](const auto& names) {
        return std::find(names.begin(), names.end(), driverName) != names.end();
    };
    if (has(catalogue::kReceiptDisplayNames)) return catalogue::DriverFamily::Receipt;
    if (has(catalogue::kLabelDisplayNames)) return catalogue::DriverFamily::Label;
    return std::nullopt;
}

}  // namespace app
