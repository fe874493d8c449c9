// Classifies the running Windows version as a small code: -1 unknown,
// 1 Windows 95 up to 12 Windows 10. Windows 11 still reports 10.0, so it
// keeps code 12 and only its name, told by the build number, differs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_info.h"

namespace app {

constexpr int kUnknownWindows = -1;
constexpr int kWindowsNt4 = 4;
constexpr int kWindows7 = 9;
constexpr int kWindows10 = 12;
// The first build of Windows 11 (NT 10.0).
constexpr std::uint32_t kFirstWindows11Build = 22000;

int WindowsVersionCode(const platform::OsVersionInfo& info);
// Queries the extended record, then the basic one; false when both fail.
bool QueryWindowsVersion(platform::SystemInfo& system, platform::OsVersionInfo& info);
// As above; -1 when both fail.
int QueryWindowsVersionCode(platform::SystemInfo& system);
// The name shown on the status line, ending with one space; empty for
// codes without a name.
std::string WindowsVersionName(int code);
// The name of the version `info` describes: that of its code, except for a
// workstation of build 22000 or later, which is Windows 11 (servers of
// those builds keep the name of their code).
std::string WindowsVersionName(const platform::OsVersionInfo& info);

}  // namespace app
