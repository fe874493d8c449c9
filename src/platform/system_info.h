// Version and word size of the running Windows.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// OSVERSIONINFOEXA as the logic reads it. `size` is set by the caller: 156
// asks for the extended record, 148 for the basic one.
struct OsVersionInfo {
    std::uint32_t size = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
    std::string csdVersion;
    std::uint16_t servicePackMajor = 0;
    std::uint16_t servicePackMinor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;
};

namespace os {
constexpr std::uint32_t kExtendedRecordSize = 156;
constexpr std::uint32_t kBasicRecordSize = 148;
constexpr std::uint32_t kPlatformWindows = 1;
constexpr std::uint32_t kPlatformNt = 2;
}  // namespace os

class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    virtual bool GetVersionExA(OsVersionInfo& info) = 0;
    // Whether kernel32 exports IsWow64Process (looked up at run time).
    virtual bool HasIsWow64Process() = 0;
    // True on 64-bit Windows for this process; false from the call is a
    // failure, and `wow64` is then as the call left it.
    virtual bool IsWow64Process(std::int32_t& wow64) = 0;
};

}  // namespace platform
