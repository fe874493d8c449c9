#include "app/unattended_install.h"

#include "app/test_page.h"
#include "base/exit_codes.h"

namespace app {

void UnattendedInstall::AfterStartupFinished() {
    // Once: the window system may tell twice.
    if (finished_ || started_) return;
    started_ = true;
    // Nothing was unpacked: what needs the package stops here (the check
    // reports it among its items; repair and the test page need no package).
    const std::string& problem = dialog_.workingFoldersProblem;
    if (!problem.empty() &&
        (options_.mode == cli::Mode::List || options_.mode == cli::Mode::Install)) {
        if (options_.mode == cli::Mode::List) console_.Write("error: " + problem + "\r\n");
        Finish(exitcode::kFailure, "the driver package was not unpacked: " + problem);
        return;
    }
    if (options_.mode == cli::Mode::List) {
        List();
    } else if (options_.mode == cli::Mode::Check) {
        Check();
    } else if (options_.mode == cli::Mode::Repair) {
        Repair();
    } else if (options_.mode == cli::Mode::TestPage) {
        Succeed(options_.printerName.value_or(std::string()));
    } else {
        Install();
    }
}

void UnattendedInstall::Repair() {
    repair_ = std::make_unique<PortRepair>(dialog_, policy_, options_, log_);
    if (auto outcome = repair_->Start()) EndRepair(*outcome);
}

void UnattendedInstall::EndRepair(const RunOutcome& outcome) {
    if (outcome.code == exitcode::kSuccess) {
        Succeed(options_.printerName.value_or(std::string()));
        return;
    }
    if (options_.testPage) log_.Write("no test page: the repair did not succeed");
    Finish(outcome.code, outcome.reason);
}

void UnattendedInstall::Succeed(const std::string& printerName) {
    if (!options_.testPage) {
        Finish(exitcode::kSuccess, std::string());
        return;
    }
    const std::string time = InstallLog::Timestamp(log_.Now()).substr(0, 19);
    TestPage page(dialog_.Platform().spooler, dialog_.Platform().threads, log_);
    const RunOutcome outcome = page.Print(printerName, time);
    Finish(outcome.code, outcome.reason);
}

void UnattendedInstall::AfterTimer() {
    if (finished_) return;
    if (repair_) {
        if (auto outcome = repair_->AfterTimer()) EndRepair(*outcome);
        return;
    }
    if (!installed_) return;
    if (dialog_.probeState == InstallerDialog::ProbeState::Idle) {
        Conclude();
        return;
    }
    if (dialog_.serialBaudRate != loggedRate_) {
        loggedRate_ = dialog_.serialBaudRate;
        log_.Write("no serial port answered; looking again at " + std::to_string(loggedRate_) +
                   " baud");
    }
}

void UnattendedInstall::OnDialogEnded(int) {
    if (finished_) return;
    if (installing_) {
        // The installation itself gave up and closed the installer.
        const bool known =
            dialog_.outcome == InstallerDialog::Outcome::Failed || !policy_.Problems().empty();
        Finish(exitcode::kFailure,
               "the installation stopped: " + (known ? InstallLog::Escape(WhyNotCompleted())
                                                     : std::string("no reason given")));
        return;
    }
    Finish(exitcode::kUserCancelled, "the installer's window was closed before the run was over");
}

void UnattendedInstall::Abandon(const std::string& reason) {
    if (finished_) return;
    Finish(exitcode::kFailure, reason);
}

void UnattendedInstall::Finish(int code, const std::string& reason) {
    finished_ = true;
    exitCode_ = code;
    const char* kind = code == exitcode::kSuccess             ? ""
                       : code == exitcode::kNoPrinterAnswered ? "warning: "
                                                              : "error: ";
    if (!reason.empty()) log_.Write(kind + reason);
    log_.Write("exit code " + std::to_string(code) + ": " + exitcode::Meaning(code));
}

}  // namespace app
