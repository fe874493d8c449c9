// The serial port prompt (dialog template 136): may the program look for the
// printer's serial port, and at which baud rate.
#pragma once

#include <windows.h>

namespace win32 {

// Runs the prompt, modal and owned by `owner`: 0x1200 + the rate's row for
// Yes, 0xCCCC for No, IDOK or IDCANCEL for Enter, Escape or the close box,
// -1 when the template cannot be shown.
int SerialPromptDialog(HWND owner);

}  // namespace win32
