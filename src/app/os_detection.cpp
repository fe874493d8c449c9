#include "base/os_detection.h"

#include <array>

#include "base/installer_dialog.h"

namespace app {
namespace {

constexpr std::array<const char*, 12> kVersionNames = {
    "Microsoft Windows 95 ",   "Microsoft Windows 98 ",    "Microsoft Windows Me ",
    "Microsoft Windows NT ",   "Microsoft Windows 2000 ",  "Microsoft Windows XP ",
    "Microsoft Windows 2003 ", "Microsoft Windows Vista ", "Microsoft Windows 7 ",
    "Microsoft Windows 8 ",    "Microsoft Windows 8.1 ",   "Microsoft Windows 10 ",
};
constexpr const char* kWindows11Name = "Microsoft Windows 11 ";
// wProductType of a client edition; servers and domain controllers differ.
constexpr std::uint8_t kWorkstation = 1;

int Windows9xCode(const platform::OsVersionInfo& v) {
    if (v.majorVersion != 4) return kUnknownWindows;
    switch (v.minorVersion) {
        case 0: return 1;
        case 10: return 2;
        case 90: return 3;
        default: return kUnknownWindows;
    }
}

int WindowsNtCode(const platform::OsVersionInfo& v) {
    if (v.majorVersion <= 4) return kWindowsNt4;
    if (v.majorVersion == 5 && v.minorVersion <= 2) return 5 + static_cast<int>(v.minorVersion);
    if (v.majorVersion == 6 && v.minorVersion <= 3) return 8 + static_cast<int>(v.minorVersion);
    if (v.majorVersion == 10) return 12;
    return kUnknownWindows;
}

}  // namespace

int WindowsVersionCode(const platform::OsVersionInfo& info) {
    switch (info.platformId) {
        case platform::os::kPlatformWindows: return Windows9xCode(info);
        case platform::os::kPlatformNt: return WindowsNtCode(info);
        default: return kUnknownWindows;
    }
}

bool QueryWindowsVersion(platform::SystemInfo& system, platform::OsVersionInfo& info) {
    info = platform::OsVersionInfo{};
    info.size = platform::os::kExtendedRecordSize;
    if (system.GetVersionExA(info)) return true;
    info = platform::OsVersionInfo{};
    info.size = platform::os::kBasicRecordSize;
    return system.GetVersionExA(info);
}

int QueryWindowsVersionCode(platform::SystemInfo& system) {
    platform::OsVersionInfo info;
    if (!QueryWindowsVersion(system, info)) return kUnknownWindows;
    return WindowsVersionCode(info);
}

std::string WindowsVersionName(int code) {
    if (code < 1 || code > static_cast<int>(kVersionNames.size())) return {};
    return kVersionNames[code - 1];
}

std::string WindowsVersionName(const platform::OsVersionInfo& info) {
    const int code = WindowsVersionCode(info);
    // The basic record carries no product type: only a known client is 11.
    if (code == kWindows10 && info.buildNumber >= kFirstWindows11Build &&
        info.productType == kWorkstation) {
        return kWindows11Name;
    }
    return WindowsVersionName(code);
}

int InstallerDialog::GetWindowsVersionCode() {
    return QueryWindowsVersionCode(platform_.system);
}

void InstallerDialog::DetectOperatingSystem() {
    std::string word = "32 bit";
    if (platform_.system.HasIsWow64Process()) {
        std::int32_t wow64 = isWow64;
        // The call's own success is not needed: a failure leaves the flag
        // as the call left it.
        (void)platform_.system.IsWow64Process(wow64);
        isWow64 = wow64;
    }
    if (isWow64 != 0) word = "64 bit";
    platform::OsVersionInfo version;
    const std::string name = QueryWindowsVersion(platform_.system, version)
                                 ? WindowsVersionName(version)
                                 : std::string();
    statusText = "Current System is " + name + " " + word;
    Refresh();
}

}  // namespace app
