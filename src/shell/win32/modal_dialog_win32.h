// Modal dialogs whose logic lives in the portable layer (the port dialogs):
// a dialog procedure that routes initialisation, button clicks, Enter,
// Escape and the close box to a platform::DialogHandler, which sees the
// dialog through a window adapter of its own.
#pragma once

#include <windows.h>

#include "platform/window.h"

namespace win32 {

// Runs template `templateId` modally, owned by `owner`: the value the
// handler ended it with, -1 when the template cannot be shown.
int RunModalDialog(HWND owner, int templateId, platform::DialogHandler& handler);

}  // namespace win32
