#include "sim/sim_system_info.h"

namespace sim {

bool SimSystemInfo::GetVersionExA(platform::OsVersionInfo& info) {
    calls.push_back(FormatCall("GetVersionExA", {std::to_string(info.size)}));
    recordSizes.push_back(info.size);
    if (failures.Check("GetVersionExA")) return false;
    bool extended = info.size == platform::os::kExtendedRecordSize;
    bool basic = info.size == platform::os::kBasicRecordSize;
    // Any other size is refused, as Windows does.
    if (!extended && !basic) return false;
    if ((extended && failExtended) || (basic && failBasic)) return false;
    info.majorVersion = majorVersion;
    info.minorVersion = minorVersion;
    info.buildNumber = buildNumber;
    info.platformId = platformId;
    info.csdVersion = csdVersion;
    if (extended) {
        info.servicePackMajor = servicePackMajor;
        info.servicePackMinor = servicePackMinor;
        info.suiteMask = 0;
        info.productType = productType;
    }
    return true;
}

bool SimSystemInfo::HasIsWow64Process() {
    calls.push_back("HasIsWow64Process()");
    return hasIsWow64;
}

bool SimSystemInfo::IsWow64Process(std::int32_t& wow64Out) {
    calls.push_back("IsWow64Process()");
    if (failures.Check("IsWow64Process") || !hasIsWow64 || wow64CallFails) return false;
    wow64Out = wow64 ? 1 : 0;
    return true;
}

}  // namespace sim
