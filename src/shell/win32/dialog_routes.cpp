#include "shell/win32/dialog_routes.h"

#include "base/dialog_ids.h"

namespace win32 {
namespace {

// Registered before WinMain runs, so the identifier is known to every thread
// that may send it.
const UINT updateDataMessage = ::RegisterWindowMessageA("MyUpdateData");

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
            if (context.hooks != nullptr) context.hooks->AfterTimer();
            result = TRUE;
            return true;
        case WM_DESTROY:
            dialog.OnDestroy();
            result = TRUE;
            return true;
        case WM_STARTUP_FINISHED:
            dialog.OnStartupFinished();
            if (context.hooks != nullptr) context.hooks->AfterStartupFinished();
            result = TRUE;
            return true;
        default: return false;
    }
}

}  // namespace

UINT UpdateDataMessage() {
    return updateDataMessage;
}

INT_PTR CALLBACK InstallerDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogContext* context = nullptr;
    try {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
            context = reinterpret_cast<DialogContext*>(lParam);
            context->window.Bind(hwnd);
            return context->dialog.InitDialog() ? TRUE : FALSE;
        }
        context = reinterpret_cast<DialogContext*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
        if (context == nullptr) return FALSE;
        INT_PTR result = FALSE;
        return Route(*context, hwnd, message, wParam, lParam, result) ? result : FALSE;
    } catch (...) {
        // Nothing useful can be reported from inside a message; the
        // operation that threw is abandoned and the dialog stays usable.
        // An unattended run, which nobody would see waiting, ends.
        try {
            if (context != nullptr && context->hooks != nullptr) context->hooks->AfterFailure();
        } catch (...) {}
        return FALSE;
    }
}

}  // namespace win32
