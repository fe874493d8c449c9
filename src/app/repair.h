// Repair of a printer whose port moved: a USB printer plugged into another
// socket gets another virtual port (USB001 becomes USB002), a serial printer
// may move to another COM port, and its queue stays behind, off line. The
// repair looks for the printer again the way the installation does (the
// USB pass, or the serial search) and moves it to the port where it
// answers. Its driver, name, default state and settings stay as they are.
#pragma once

#include <optional>
#include <string>

#include "app/command_line_options.h"
#include "base/install_log.h"
#include "install/installed_printer.h"
#include "base/installer_dialog.h"
#include "app/prompt_policy.h"
#include "base/exit_codes.h"

namespace app {

class PortRepair {
public:
    PortRepair(InstallerDialog& dialog, PromptPolicy& policy, const cli::Options& options,
               InstallLog& log)
        : dialog_(dialog), policy_(policy), options_(options), log_(log) {}

    // Runs once the dialog's start-up is over: the outcome, or nothing
    // while a serial search goes on under the dialog's timer.
    std::optional<RunOutcome> Start();
    // After each tick of the dialog's timer.
    std::optional<RunOutcome> AfterTimer();

private:
    RunOutcome RepairUsb();
    std::optional<RunOutcome> StartSerialSearch();
    // The rate to look at without /baud: the one stored for the printer's
    // port, otherwise the one an installation would take.
    int SerialRate();
    // After the search: `found` is the port that answered, empty for none.
    RunOutcome Conclude(const std::string& found, const char* type);
    std::string ListedPort();

    InstallerDialog& dialog_;
    PromptPolicy& policy_;
    const cli::Options& options_;
    InstallLog& log_;
    install::InstalledPrinter printer_;
    // Whose status request the serial search sends.
    catalogue::DriverFamily family_ = catalogue::DriverFamily::Receipt;
    bool searching_ = false;
    // Problems of the start-up are not the repair's.
    std::size_t problemsBefore_ = 0;
};

}  // namespace app
