// Classifies the running Windows version as a small code: -1 unknown,
// 1 Windows 95 up to 12 Windows 10.
#pragma once

#include <string>

#include "platform/system_info.h"

namespace app {

constexpr int kUnknownWindows = -1;
constexpr int kWindowsNt4 = 4;
constexpr int kWindows7 = 9;

int WindowsVersionCode(const platform::OsVersionInfo& info);
// Queries the extended record, then the basic one; -1 when both fail.
int QueryWindowsVersionCode(platform::SystemInfo& system);
// The name shown on the status line, ending with one space; empty for
// codes without a name.
std::string WindowsVersionName(int code);

}  // namespace app
