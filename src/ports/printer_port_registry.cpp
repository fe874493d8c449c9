// Moving a printer from port to port without the spooler's printer calls:
// the port goes straight into the keys the print subsystem reads when the
// spooler starts, and the spooler reports back through "PrinterOnLine" in
// the current hardware profile.
#include "base/installer_dialog.h"

#include <algorithm>

namespace app {
namespace {

namespace reg = platform::reg;
using platform::RegistryRoot;

constexpr const char* kSoftwarePrinters =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
constexpr const char* kControlSet001Printers = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
constexpr const char* kCurrentControlSetPrinters =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr const char* kHardwareProfilePrinters =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\"
    "Print\\Printers\\";
constexpr const char* kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr std::uint32_t kOnLineBufferSize = 50;

}  // namespace

void InstallerDialog::ReportRegistryWriteFailure() {
    operator_.ShowMessageBox(
        AppBox(Message::kRegistryNotRead, "Failed to read Registry", platform::mb::kOk));
}

void InstallerDialog::SetPrinterPort(const std::string& printerName, const std::string& portName) {
    platform::Registry& registry = platform_.registry;
    struct Place {
        std::string key;
        const char* value;
    };
    const Place places[] = {
        {kSoftwarePrinters + printerName, "Port"},
        {kSoftwarePrinters + printerName + "\\DsSpooler", "portName"},
        {kControlSet001Printers + printerName, "Port"},
        {kCurrentControlSetPrinters + printerName, "Port"},
    };
    // Every place is tried: a missing key is skipped, a failed write is
    // reported, and neither stops the rest.
    for (const Place& place : places) {
        platform::KeyHandle key = 0;
        if (registry.RegOpenKeyExA(RegistryRoot::LocalMachine, place.key, 0, reg::kSetValue, key) !=
            0) {
            continue;
        }
        if (registry.RegSetValueExA(key, place.value, reg::kSz, reg::SzBytes(portName)) != 0) {
            ReportRegistryWriteFailure();
        }
        (void)registry.RegCloseKey(key);
    }
    platform::KeyHandle profile = 0;
    if (registry.RegCreateKeyExA(RegistryRoot::CurrentConfig,
                                 kCurrentControlSetPrinters + printerName, reg::kOptionNonVolatile,
                                 reg::kAllAccess, true, profile) != 0) {
        return;
    }
    if (registry.RegSetValueExA(profile, "PrinterOnLine", reg::kDword, reg::DwordBytes(0)) != 0) {
        ReportRegistryWriteFailure();
    }
    (void)registry.RegCloseKey(profile);
}

bool InstallerDialog::ReadPrinterOnLine(const std::string& printerName) {
    platform::Registry& registry = platform_.registry;
    platform::KeyHandle key = 0;
    if (registry.RegOpenKeyExA(RegistryRoot::LocalMachine, kHardwareProfilePrinters + printerName,
                               0, reg::kQueryValue, key) != 0) {
        return false;
    }
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    bool onLine = false;
    if (registry.RegQueryValueExA(key, "PrinterOnLine", kOnLineBufferSize, type, data) != 0) {
        ReportRegistryWriteFailure();
    } else {
        // Only the first byte counts (the low byte of the DWORD).
        onLine = !data.empty() && data[0] == 1;
    }
    (void)registry.RegCloseKey(key);
    return onLine;
}

void InstallerDialog::WriteSerialPortSettings(const std::string& portName) {
    const std::string settings =
        std::to_string(serialBaudRate) + "," + static_cast<char>(serialParity + 32) + "," +
        std::to_string(serialByteSize) + "," + std::to_string(serialStopBits);
    platform::Registry& registry = platform_.registry;
    platform::KeyHandle key = 0;
    if (registry.RegOpenKeyExA(RegistryRoot::LocalMachine, kPortsKey, 0, reg::kSetValue, key) !=
        0) {
        return;
    }
    if (registry.RegSetValueExA(key, portName, reg::kSz, reg::SzBytes(settings)) != 0) {
        operator_.ShowMessageBox(AppBox(Message::kRegistryNotWritten,
                                        "Error\xA3\xBA"
                                        "Failed to set Registry",
                                        platform::mb::kOk));
    }
    (void)registry.RegCloseKey(key);
}

bool InstallerDialog::ListInstalledPrinters(StringArray& names, StringArray& ports) {
    constexpr std::uint32_t kFlags =
        platform::spool::kEnumLocal | platform::spool::kEnumConnections;
    platform::Spooler& spooler = platform_.spooler;
    std::vector<platform::PrinterInfo2> printers;
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    (void)spooler.EnumPrintersA(kFlags, "", 2, 0, printers, needed, returned);
    printers.clear();
    if (!spooler.EnumPrintersA(kFlags, "", 2, needed, printers, needed, returned).IsOne()) {
        return false;
    }
    names.clear();
    ports.clear();
    const std::size_t count = std::min<std::size_t>(printers.size(), returned);
    for (std::size_t i = 0; i < count; ++i) {
        names.push_back(printers[i].printerName.value_or(std::string()));
        ports.push_back(printers[i].portName.value_or(std::string()));
    }
    return count > 0;
}

}  // namespace app
