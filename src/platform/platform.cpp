#include "platform/registry.h"
#include "platform/spooler.h"

namespace platform {
namespace {

// A 32-bit pointer-sized field per string and 4 bytes per number.
constexpr std::uint32_t kPortInfo2Size = 20;
constexpr std::uint32_t kPrinterInfo2Size = 84;
constexpr std::uint32_t kDriverInfo3Size = 40;

std::uint32_t StringBytes(const OptString& text) {
    return text ? static_cast<std::uint32_t>(text->size() + 1) : 0;
}

std::uint32_t StringBytes(const std::string& text) {
    return static_cast<std::uint32_t>(text.size() + 1);
}

}  // namespace

std::string MultiString(const std::vector<std::string>& entries) {
    std::string list;
    for (const auto& entry : entries) {
        list += entry;
        list += '\0';
    }
    list += '\0';
    return list;
}

std::uint32_t EnumBytesNeeded(const std::vector<PortInfo2>& ports) {
    std::uint32_t total = 0;
    for (const auto& port : ports) {
        total += kPortInfo2Size + StringBytes(port.portName) + StringBytes(port.monitorName) +
                 StringBytes(port.description);
    }
    return total;
}

std::uint32_t EnumBytesNeeded(const std::vector<PrinterInfo2>& printers) {
    std::uint32_t total = 0;
    for (const auto& p : printers) {
        total += kPrinterInfo2Size;
        for (const OptString* s :
             {&p.serverName, &p.printerName, &p.shareName, &p.portName, &p.driverName, &p.comment,
              &p.location, &p.sepFile, &p.printProcessor, &p.datatype, &p.parameters}) {
            total += StringBytes(*s);
        }
    }
    return total;
}

std::uint32_t BytesNeeded(const JobInfo1& job) {
    // JOB_INFO_1A: eleven 4-byte fields and a SYSTEMTIME on 32-bit Windows.
    constexpr std::uint32_t kJobInfo1Size = 64;
    std::uint32_t total = kJobInfo1Size;
    for (const OptString* s : {&job.printerName, &job.machineName, &job.userName, &job.document,
                               &job.datatype, &job.statusText}) {
        total += StringBytes(*s);
    }
    return total;
}

std::uint32_t EnumBytesNeeded(const std::vector<DriverInfo3>& drivers) {
    std::uint32_t total = 0;
    for (const auto& d : drivers) {
        total += kDriverInfo3Size;
        for (const OptString* s :
             {&d.name, &d.environment, &d.driverPath, &d.dataFile, &d.configFile, &d.helpFile,
              &d.monitorName, &d.defaultDataType}) {
            total += StringBytes(*s);
        }
        if (!d.dependentFiles.empty()) {
            total += static_cast<std::uint32_t>(MultiString(d.dependentFiles).size());
        }
    }
    return total;
}

namespace reg {

std::vector<std::uint8_t> SzBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

std::vector<std::uint8_t> DwordBytes(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

}  // namespace reg
}  // namespace platform
