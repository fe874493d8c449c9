#include "shell/win32/modal_dialog_win32.h"

#include "shell/win32/dialog_window_win32.h"

namespace win32 {
namespace {

struct ModalContext {
    platform::DialogHandler& handler;
    // The dialog's own window; it never sends the refresh message.
    Win32DialogWindow window{0};
};

INT_PTR CALLBACK ModalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            auto* context = reinterpret_cast<ModalContext*>(lParam);
            context->window.Bind(dialog);
            context->handler.OnInitDialog(context->window);
            return TRUE;  // the default focus
        }
        auto* context = reinterpret_cast<ModalContext*>(::GetWindowLongPtrA(dialog, DWLP_USER));
        if (context == nullptr) return FALSE;
        switch (message) {
            case WM_COMMAND:
                // Clicks, and Enter and Escape as IDOK and IDCANCEL.
                if (HIWORD(wParam) != BN_CLICKED) return FALSE;
                return context->handler.OnCommand(LOWORD(wParam)) ? TRUE : FALSE;
            case WM_CLOSE: context->handler.OnClose(); return TRUE;
            default: return FALSE;
        }
    } catch (...) {
        // A handler that failed half-way leaves the dialog in no state to
        // be trusted: it ends choosing nothing.
        ::EndDialog(dialog, -1);
        return TRUE;
    }
}

}  // namespace

int RunModalDialog(HWND owner, int templateId, platform::DialogHandler& handler) {
    ModalContext context{handler};
    return static_cast<int>(::DialogBoxParamA(::GetModuleHandleA(nullptr),
                                              MAKEINTRESOURCEA(templateId), owner, ModalProc,
                                              reinterpret_cast<LPARAM>(&context)));
}

}  // namespace win32
