// Version and word size of the simulated Windows. Defaults: Windows 7 SP1
// (6.1.7601, NT), as a Wine prefix reports it, on a 32-bit system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system_info.h"
#include "sim/sim_calls.h"

namespace sim {

class SimSystemInfo : public platform::SystemInfo {
public:
    bool GetVersionExA(platform::OsVersionInfo& info) override;
    bool HasIsWow64Process() override;
    bool IsWow64Process(std::int32_t& wow64Out) override;

    std::uint32_t majorVersion = 6;
    std::uint32_t minorVersion = 1;
    std::uint32_t buildNumber = 7601;
    std::uint32_t platformId = platform::os::kPlatformNt;
    std::string csdVersion = "Service Pack 1";
    std::uint16_t servicePackMajor = 1;
    std::uint16_t servicePackMinor = 0;
    std::uint8_t productType = 1;  // workstation

    bool failExtended = false;  // GetVersionExA fails for the 156-byte record
    bool failBasic = false;     // ... and for the 148-byte one
    bool hasIsWow64 = true;     // kernel32 exports IsWow64Process
    bool wow64 = false;         // a 64-bit Windows under a 32-bit process
    bool wow64CallFails = false;

    std::vector<std::uint32_t> recordSizes;  // `size` of each GetVersionExA call
    FailurePlan failures;
    std::vector<std::string> calls;
};

}  // namespace sim
