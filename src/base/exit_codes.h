// What the process tells whoever started it. Deployment tools (Intune,
// Configuration Manager, PDQ) already know the Windows Installer codes, so
// the installer answers with those where one fits; the one outcome they
// have no code for gets a small one of its own.
#pragma once

#include <array>
#include <string>

namespace app::exitcode {

constexpr int kSuccess = 0;
// Installed, but the printer answered on no port: it was left on the last
// port tried (USB) or where it was made (serial).
constexpr int kNoPrinterAnswered = 2;
constexpr int kUserCancelled = 1602;   // ERROR_INSTALL_USEREXIT
constexpr int kFailure = 1603;         // ERROR_INSTALL_FAILURE
constexpr int kAlreadyRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING
// The pre-flight check found the machine's policy against the installation:
// Windows protected print mode, or driver installation kept to administrators.
constexpr int kForbiddenByPolicy = 1625;   // ERROR_INSTALL_PACKAGE_REJECTED
constexpr int kInvalidCommandLine = 1639;  // ERROR_INVALID_COMMAND_LINE

struct Row {
    int code;
    const char* meaning;
};

constexpr std::array<Row, 7> kTable = {{
    {kSuccess, "success"},
    {kNoPrinterAnswered,
     "installed, but the printer answered on no port (check the cable; see the log for the port)"},
    {kUserCancelled, "cancelled: the progress window was closed"},
    {kFailure, "failure; the log says why"},
    {kAlreadyRunning, "another installation is running on this machine; try again later"},
    {kForbiddenByPolicy,
     "forbidden by system policy (protected print mode, or driver installation kept to "
     "administrators); nothing was changed"},
    {kInvalidCommandLine, "invalid command line; nothing was changed"},
}};

// The meaning of a code of the table; "unknown exit code" for any other.
const char* Meaning(int code);

}  // namespace app::exitcode

namespace app {

// What a step of an unattended run ends with: its exit code and, unless it
// succeeded, why.
struct RunOutcome {
    int code = 0;
    std::string reason;
};

}  // namespace app
