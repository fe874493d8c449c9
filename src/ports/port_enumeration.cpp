// The port-type list and the collection of the machine's printer ports.
#include <algorithm>
#include <cstring>

#include "base/installer_dialog.h"
#include "ports/port_list.h"
#include "base/port_types.h"
#include "base/text.h"

namespace app {
namespace {

using platform::lv::kFocused;
using platform::lv::kSelected;
using ports::ApplyPortListStyle;
using text::StartsWith;

struct PortCounts {
    int com = 0;
    int lpt = 0;
    int file = 0;
    int usb = 0;
};

int PreselectedRow(const PortCounts& counts) {
    if (counts.usb > 0) return ports::kUsb;
    if (counts.com > 0) return ports::kSerial;
    if (counts.lpt > 0) return ports::kParallel;
    if (counts.file > 0) return ports::kTcpIp;
    return ports::kUsb;
}

}  // namespace

void InstallerDialog::FillPortTypeList() {
    portTypeList.DeleteAllItems();
    for (int n = portTypeList.GetColumnCount(); n > 0; --n) portTypeList.DeleteColumn(0);
    ApplyPortListStyle(portTypeList);
    portTypeList.InsertColumn(0, "Port");
    portTypeList.InsertColumn(1, "Description");
    portTypeList.SetColumnWidth(0, ports::kPortColumnWidth);
    portTypeList.SetColumnWidth(1, ports::kDescriptionColumnWidth);
    for (std::size_t row = 0; row < ports::kPortTypeRows.size(); ++row) {
        portTypeList.InsertItem(static_cast<int>(row), ports::kPortTypeRows[row].port);
        portTypeList.SetItemText(static_cast<int>(row), 1, ports::kPortTypeRows[row].description);
    }
    portTypeList.SetItemState(ports::kSerial, kSelected, kSelected | kFocused);
}

void InstallerDialog::EnumeratePorts() {
    allPorts.clear();
    usbPorts.clear();
    serialPorts.clear();
    parallelPorts.clear();
    tcpipPorts.clear();
    (void)ReadSerialPorts(serialPorts);

    const std::vector<platform::PortInfo2> entries = ports::SpoolerPorts(platform_.spooler);
    ApplyPortListStyle(portTypeList);

    PortCounts counts;
    const std::size_t examined = std::min<std::size_t>(entries.size(), ports::kMaxExaminedPorts);
    for (std::size_t i = 0; i < examined; ++i) {
        const std::string& name = entries[i].portName;
        const std::string& description = entries[i].description;
        if (StartsWith(name, "COM")) ++counts.com;
        if (StartsWith(name, "LPT")) ++counts.lpt;
        if (StartsWith(name, "FILE")) ++counts.file;
        if (StartsWith(name, "USB")) ++counts.usb;

        if (StartsWith(name, "USB")) {
            usbPorts.push_back(name);
        } else if (ports::IsTcpIpDescription(description)) {
            tcpipPorts.push_back(name);
        } else if (StartsWith(name, "LPT")) {
            parallelPorts.push_back(name);
        }
        allPorts.push_back(name);
    }
    portTypeList.SetItemState(PreselectedRow(counts), kSelected, kSelected | kFocused);
    Refresh();
}

bool InstallerDialog::ReadSerialPorts(StringArray& list) {
    list.clear();
    platform::Registry& registry = platform_.registry;
    platform::KeyHandle key = 0;
    if (registry.RegOpenKeyExA(platform::RegistryRoot::LocalMachine, ports::kSerialDeviceMap, 0,
                               platform::reg::kRead, key) != 0) {
        return false;
    }
    for (std::uint32_t index = 0;; ++index) {
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        const long status = registry.RegEnumValueA(key, index, ports::kSerialValueBufferSize,
                                                   ports::kSerialValueBufferSize, name, type, data);
        if (status == static_cast<long>(platform::error::kNoMoreItems)) break;
        // A value too long for the buffers is skipped; any other error
        // would repeat for every index, so it ends the walk.
        if (status == static_cast<long>(platform::error::kMoreData)) continue;
        if (status != 0) break;
        if (!StartsWith(name, "\\Device\\")) continue;
        const auto* bytes = reinterpret_cast<const char*>(data.data());
        list.push_back(std::string(bytes, strnlen(bytes, data.size())) + ":");
    }
    (void)registry.RegCloseKey(key);
    return !list.empty();
}

}  // namespace app
