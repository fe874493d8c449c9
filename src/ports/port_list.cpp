#include "ports/port_list.h"

#include <algorithm>
#include <cstring>

#include "base/port_types.h"

namespace ports {

std::vector<platform::PortInfo2> SpoolerPorts(platform::Spooler& spooler) {
    // A port that appears between the two calls makes the fill fail; ask
    // again then.
    std::vector<platform::PortInfo2> entries;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::uint32_t needed = 0;
        std::uint32_t returned = 0;
        (void)spooler.EnumPortsA(2, 0, entries, needed, returned);
        entries.clear();
        const platform::BoolResult filled =
            spooler.EnumPortsA(2, needed, entries, needed, returned);
        if (filled.IsOne() || filled.lastError != platform::error::kInsufficientBuffer) {
            entries.resize(std::min<std::size_t>(entries.size(), returned));
            return entries;
        }
    }
    return {};
}

void ApplyPortListStyle(app::ListView& list) {
    std::uint32_t style = list.GetExtendedStyle();
    style &= ~platform::lv::kExTrackSelect;
    style |= platform::lv::kExGridLines | platform::lv::kExFullRowSelect;
    list.SetExtendedStyle(style);
}

bool IsTcpIpDescription(const std::string& description) {
    return description == kTcpIpDescription || description == kTcpIpDescriptionCp936;
}

}  // namespace ports
