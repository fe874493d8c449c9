// Runs the installer from its command line, with no one at the screen:
// installs (the main dialog, hidden for /quiet, shown for /passive, run by
// app::UnattendedInstall), lists the package's entries, or uninstalls, and
// returns the exit code. The console of the caller and the /log file get
// every entry of the run's log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

int RunCommandLine(HINSTANCE instance, const std::vector<std::string>& args);

}  // namespace win32
