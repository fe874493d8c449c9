// DriverInstaller.exe: one modal dialog (template 103) and nothing else when
// started without arguments; with switches, the same installation run from
// the command line (unattended_host.cpp).
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line_options.h"
#include "base/dialog_ids.h"
#include "base/exit_codes.h"
#include "base/installer_dialog.h"
#include "platform/win32/win32_platform.h"
#include "shell/win32/dialog_routes.h"
#include "shell/win32/unattended_host.h"
#include "shell/win32/unattended_win32.h"

namespace {

void InitControls() {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&controls);
}

// The application object: no state, it only runs the dialog once.
class InstallerApp {
public:
    int Run(HINSTANCE instance) {
        win32::Win32Machine machine;
        win32::Win32DialogWindow window(win32::UpdateDataMessage());
        platform::Platform platform = machine.MakePlatform(window);
        app::InstallerDialog dialog(platform);
        win32::DialogContext context{window, dialog, nullptr};
        ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_INSTALLER), nullptr,
                          win32::InstallerDialogProc, reinterpret_cast<LPARAM>(&context));
        return 0;
    }
};

InstallerApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::vector<std::string> args(__argv + (__argc > 0 ? 1 : 0), __argv + __argc);
    try {
        InitControls();
        if (!args.empty()) return win32::RunCommandLine(instance, args);
        // The dialog never refuses to run, but an unattended run started
        // meanwhile must see that the working folders are in use.
        win32::InstanceLock lock;
        (void)lock.Acquire(app::cli::kInstallationMutex);
        return theApp.Run(instance);
    } catch (...) {
        return args.empty() ? 1 : app::exitcode::kFailure;
    }
}
