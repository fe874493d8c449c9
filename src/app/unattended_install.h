// An installation (or the driver listing) run from the command line. The
// dialog runs as always, in a window nobody operates: once its start-up
// has ended, this object checks the command line against what the start-up
// found (the package's driver list, the machine's ports), and asks the
// dialog to install what it says, as an InstallRequest, without touching the
// controls. The command line's operator answers what the installation asks;
// when the installation (and a serial port search after it) is over, the
// outcome becomes the exit code.
//
// Each verb has a file of its own: verb_list.cpp, verb_check.cpp,
// verb_install.cpp, repair.cpp, test_page.cpp and verb_uninstall.cpp (which
// needs no dialog); unattended_install.cpp starts the run, follows it and
// ends it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/command_line_options.h"
#include "app/driver_list.h"
#include "base/install_log.h"
#include "base/installer_dialog.h"
#include "app/preflight.h"
#include "app/prompt_policy.h"
#include "app/repair.h"
#include "platform/text_output.h"

namespace app {

constexpr const char* kNoDriversText =
    "the driver package offers no driver: run the installer in the folder that holds "
    "\"DriverData.Drv\" and 7-zip32.dll";

// The entries of "C:\DriverName.cfg" as the dialog offers them.
std::vector<DriverListEntry> ReadDriverListEntries(InstallerDialog& dialog);

class UnattendedInstall {
public:
    UnattendedInstall(InstallerDialog& dialog, PromptPolicy& policy, const cli::Options& options,
                      InstallLog& log, platform::TextOutput& console)
        : dialog_(dialog), policy_(policy), options_(options), log_(log), console_(console) {}

    // The start-up worker has ended and the dialog has taken note.
    void AfterStartupFinished();
    // The dialog has handled a tick of its timer.
    void AfterTimer();
    // The dialog asked to end, with its result.
    void OnDialogEnded(int result);
    // Something the dialog did failed in a way it could not report.
    void Abandon(const std::string& reason);

    bool Finished() const { return finished_; }
    int ExitCode() const { return exitCode_; }

private:
    void List();
    // /check: the pre-flight check's lines on the console, and its exit code.
    void Check();
    void Install();
    // Each finding to the log; false, with the run finished, when one blocks.
    bool PreflightPasses(const std::vector<DriverListEntry>& entries);
    PreflightRequest RequestFor(const std::vector<DriverListEntry>& entries);
    // /repair: the printer is looked for again (repair.h).
    void Repair();
    void EndRepair(const RunOutcome& outcome);
    // Success so far: with /testpage the test page decides the outcome.
    void Succeed(const std::string& printerName);
    // The entry to install, or null with the run finished.
    const DriverListEntry* ChooseEntry(const std::vector<DriverListEntry>& entries,
                                       std::size_t& row);
    bool CheckPort();
    // /host: a Standard TCP/IP port for the printer, through the monitor.
    bool MakeTcpIpPort();
    // What to install, as the command line says it; nothing is written
    // into the dialog's controls.
    InstallerDialog::InstallRequest MakeChoices(const DriverListEntry& entry, std::size_t row);
    // /passive: the shown window says what is installed, as the operator
    // would have chosen it; the installation reads only the request.
    void ShowChoices(const InstallerDialog::InstallRequest& request);
    void Conclude();
    std::string WhyNotCompleted();
    std::string PrinterPort(const std::string& printerName);
    void Finish(int code, const std::string& reason);

    InstallerDialog& dialog_;
    PromptPolicy& policy_;
    const cli::Options& options_;
    InstallLog& log_;
    platform::TextOutput& console_;
    bool started_ = false;
    bool installing_ = false;
    bool installed_ = false;
    bool finished_ = false;
    int exitCode_ = 0;
    int loggedRate_ = 0;
    std::string chosenPort_;  // parallel or TCP/IP: the port the command line chose
    std::unique_ptr<PortRepair> repair_;
};

// /uninstall: runs without the dialog; the exit code.
int Uninstall(platform::Spooler& spooler, platform::ServiceManager& services,
              platform::Threads& threads, platform::Files& files, platform::SystemInfo& system,
              const cli::Options& options, InstallLog& log);

}  // namespace app
