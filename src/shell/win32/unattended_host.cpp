#include "shell/win32/unattended_host.h"

#include "app/command_line_operator.h"
#include "app/command_line_options.h"
#include "base/dialog_ids.h"
#include "base/exit_codes.h"
#include "base/install_log.h"
#include "app/prompt_policy.h"
#include "app/unattended_install.h"
#include "platform/win32/win32_platform.h"
#include "shell/win32/dialog_routes.h"
#include "shell/win32/unattended_win32.h"

namespace win32 {
namespace {

namespace ec = app::exitcode;
using app::cli::Mode;

// The run's arguments as they would be typed again.
std::string Quoted(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += ' ';
        line +=
            arg.find_first_of(" \t") == std::string::npos && !arg.empty() ? arg : "\"" + arg + "\"";
    }
    return line;
}

int Ended(app::InstallLog& log, int code) {
    log.Write("exit code " + std::to_string(code) + ": " + ec::Meaning(code));
    return code;
}

// The /passive window: the installation runs inside one message of the
// dialog thread, so nothing would be painted until it ends; each new status
// line and progress step is painted at once instead.
class ShownDialogWindow : public Win32DialogWindow {
public:
    using Win32DialogWindow::Win32DialogWindow;
    void SetControlText(int id, const std::string& text) override {
        Win32DialogWindow::SetControlText(id, text);
        if (id == IDC_STATUS) Paint();
    }
    void ProgressSetPos(int id, int position) override {
        Win32DialogWindow::ProgressSetPos(id, position);
        Paint();
    }

private:
    void Paint() {
        const HWND hwnd = Hwnd();
        // Only the dialog's own thread paints; the start-up worker's texts
        // reach the window through it anyway.
        if (hwnd == nullptr || !::IsWindowVisible(hwnd) ||
            ::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId()) {
            return;
        }
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
};

class RunHooks : public DialogHooks {
public:
    explicit RunHooks(app::UnattendedInstall& run) : run_(run) {}
    void AfterStartupFinished() override { run_.AfterStartupFinished(); }
    void AfterTimer() override { run_.AfterTimer(); }
    void AfterFailure() override {
        run_.Abandon("the installation ended with an unexpected error");
    }

private:
    app::UnattendedInstall& run_;
};

// The dialog as always, but modeless and operated by the run; its own
// message loop ends when the run is over.
int RunDialog(HINSTANCE instance, const app::cli::Options& options, app::InstallLog& log,
              platform::TextOutput& console) {
    Win32Machine machine;
    ShownDialogWindow inner(UpdateDataMessage());
    app::PromptPolicy policy(options, log);
    app::CommandLineOperator asked(policy, log);
    platform::Platform platform = machine.MakePlatform(inner);
    app::InstallerDialog dialog(platform, &asked);
    app::UnattendedInstall run(dialog, policy, options, log, console);
    asked.OnEnd([&run](int result) { run.OnDialogEnded(result); });
    RunHooks hooks(run);
    DialogContext context{inner, dialog, &hooks};

    const HWND hwnd = ::CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_INSTALLER), nullptr,
                                           InstallerDialogProc, reinterpret_cast<LPARAM>(&context));
    if (hwnd == nullptr) {
        const std::string reason = "the installer's window could not be made (error " +
                                   std::to_string(::GetLastError()) + ")";
        log.Write("error: " + reason);
        // The listing's console is not among the log's outputs.
        if (options.mode == Mode::List || options.mode == Mode::Check) {
            console.Write("error: " + reason + "\r\n");
        }
        return Ended(log, ec::kFailure);
    }
    // Without a start-up worker (it could not be made) nothing would come
    // to say the start-up is over: say it here, with nothing done.
    if (!dialog.StartupRunning()) ::PostMessageA(hwnd, WM_STARTUP_FINISHED, 0, 0);
    // /quiet: the template has no WS_VISIBLE, so the window never shows.
    if (options.display == app::cli::Display::Passive && options.mode == Mode::Install) {
        ::ShowWindow(hwnd, SW_SHOWNORMAL);
    }
    MSG message;
    while (!run.Finished()) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (!::IsDialogMessageA(hwnd, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    // The window's end removes the working folders and the driver-name list.
    ::DestroyWindow(hwnd);
    return run.Finished() ? run.ExitCode() : Ended(log, ec::kFailure);
}

int RunUninstall(const app::cli::Options& options, app::InstallLog& log) {
    Win32Machine machine;
    return Ended(log, app::Uninstall(machine.spooler, machine.services, machine.threads,
                                     machine.files, machine.system, options, log));
}

}  // namespace

int RunCommandLine(HINSTANCE instance, const std::vector<std::string>& args) {
    Win32Console console;
    const app::cli::ParseResult parsed = app::cli::Parse(args);
    const app::cli::Options& options = parsed.options;
    if (parsed.Ok() && options.mode == Mode::Help) {
        console.Write(app::cli::UsageText());
        return ec::kSuccess;
    }

    Win32LocalClock clock;
    app::InstallLog log(clock);
    Win32LogFile logFile;
    DWORD logError = 0;
    const bool logOpen = !options.logPath.empty() && logFile.Open(options.logPath, logError);
    if (logOpen) log.AddOutput(logFile);
    // The listing (and the check's lines) is the console's text; its log
    // entries go to the file only.
    const bool consoleLogged =
        (options.mode != Mode::List && options.mode != Mode::Check) || !parsed.Ok();
    if (consoleLogged) log.AddOutput(console);
    log.Write("DriverInstaller " + Quoted(args));
    auto refuse = [&](const std::string& reason, int code) {
        log.Write("error: " + reason);
        if (!consoleLogged) console.Write("error: " + reason + "\r\n");
        return Ended(log, code);
    };

    if (!parsed.Ok()) {
        const int code = refuse(parsed.error, ec::kInvalidCommandLine);
        console.Write("DriverInstaller /? lists the switches.\r\n");
        return code;
    }
    if (!options.logPath.empty() && !logOpen) {
        if (logError == Win32LogFile::kLogIsALink) {
            return refuse("the log file \"" + options.logPath +
                              "\" is a link, or a second name of another file, and a log is "
                              "never written through one: name a file of its own",
                          ec::kInvalidCommandLine);
        }
        return refuse("the log file \"" + options.logPath + "\" cannot be opened (error " +
                          std::to_string(logError) + ")",
                      ec::kInvalidCommandLine);
    }
    InstanceLock lock;
    if (!lock.Acquire(app::cli::kInstallationMutex)) {
        return refuse("another installation is running on this machine", ec::kAlreadyRunning);
    }
    if (options.mode == Mode::Uninstall) return RunUninstall(options, log);
    return RunDialog(instance, options, log, console);
}

}  // namespace win32
