// DriverInstaller.exe: one modal dialog (template 103) and nothing else.
// The dialog procedure only routes messages to app::InstallerDialog; it is
// also the boundary no exception may cross, so every route is guarded.
#include <windows.h>
#include <commctrl.h>

#include "app/dialog_ids.h"
#include "app/installer_dialog.h"
#include "platform/win32/dialog_window_win32.h"
#include "platform/win32/win32_platform.h"

namespace {

// Registered before WinMain runs, so the identifier is known to every thread
// that may send it. A failed registration leaves 0, which is never routed.
const UINT updateDataMessage = ::RegisterWindowMessageA("MyUpdateData");

struct DialogContext {
    win32::Win32DialogWindow& window;
    app::InstallerDialog& dialog;
};

// Returns true when the message was handled; *result is the dialog
// procedure's answer for messages that carry one (DWLP_MSGRESULT).
bool Route(DialogContext& context, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
           INT_PTR& result) {
    app::InstallerDialog& dialog = context.dialog;
    if (updateDataMessage != 0 && message == updateDataMessage) {
        const LRESULT answer = dialog.OnUpdateDataMessage(wParam);
        ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, answer);
        result = TRUE;
        return true;
    }
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == IDC_DRIVER_COMBO && code == CBN_SELCHANGE) {
            dialog.OnDriverSelChange();
        } else if (id == IDC_INSTALL && code == BN_CLICKED) {
            dialog.OnInstall();
        } else if (id == IDOK) {
            dialog.OnOk();
        } else if (id == IDCANCEL) {
            dialog.OnCancel();
        } else {
            return false;
        }
        result = TRUE;
        return true;
    }
    case WM_SERIAL_BYTE_RECEIVED:
        ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, dialog.OnSerialByteReceived(wParam, lParam));
        result = TRUE;
        return true;
    case WM_CLOSE:
        dialog.OnClose();
        result = TRUE;
        return true;
    case WM_TIMER:
        dialog.OnTimer(wParam);
        result = TRUE;
        return true;
    case WM_DESTROY:
        dialog.OnDestroy();
        result = TRUE;
        return true;
    case WM_STARTUP_FINISHED:
        dialog.OnStartupFinished();
        result = TRUE;
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
            auto* context = reinterpret_cast<DialogContext*>(lParam);
            context->window.Bind(hwnd);
            return context->dialog.InitDialog() ? TRUE : FALSE;
        }
        auto* context = reinterpret_cast<DialogContext*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
        if (context == nullptr) return FALSE;
        INT_PTR result = FALSE;
        return Route(*context, hwnd, message, wParam, lParam, result) ? result : FALSE;
    } catch (...) {
        // Nothing useful can be reported from inside a message; the
        // operation that threw is abandoned and the dialog stays usable.
        return FALSE;
    }
}

// The application object: no state, it only runs the dialog once.
class InstallerApp {
public:
    int Run(HINSTANCE instance) {
        INITCOMMONCONTROLSEX controls = {};
        controls.dwSize = sizeof(controls);
        controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
        ::InitCommonControlsEx(&controls);

        win32::Win32Machine machine;
        win32::Win32DialogWindow window(updateDataMessage);
        platform::Platform platform = machine.MakePlatform(window);
        app::InstallerDialog dialog(platform);
        DialogContext context{window, dialog};
        ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_INSTALLER), nullptr, DialogProc,
                          reinterpret_cast<LPARAM>(&context));
        return 0;
    }
};

InstallerApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        return theApp.Run(instance);
    } catch (...) {
        return 1;
    }
}
