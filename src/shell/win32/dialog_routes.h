// The main dialog's procedure, shared by the interactive program (a modal
// dialog) and unattended runs (the same dialog, modeless, hidden or shown).
// It only routes messages to app::InstallerDialog; it is also the boundary
// no exception may cross, so every route is guarded.
#pragma once

#include <windows.h>

#include "base/installer_dialog.h"
#include "shell/win32/dialog_window_win32.h"

namespace win32 {

// What an unattended run does after the dialog has handled two messages.
class DialogHooks {
public:
    virtual ~DialogHooks() = default;
    virtual void AfterStartupFinished() = 0;
    virtual void AfterTimer() = 0;
    // A handler threw: the message's work was abandoned.
    virtual void AfterFailure() = 0;
};

// Passed as the dialog's creation parameter.
struct DialogContext {
    Win32DialogWindow& window;
    app::InstallerDialog& dialog;
    DialogHooks* hooks = nullptr;  // null for the interactive dialog
};

// The identifier of the registered "MyUpdateData" message (0 if the
// registration failed, which is never routed).
UINT UpdateDataMessage();

INT_PTR CALLBACK InstallerDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win32
