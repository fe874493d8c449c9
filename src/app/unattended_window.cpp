#include "app/unattended_window.h"

#include "base/dialog_ids.h"

namespace app {

void UnattendedWindow::SetControlText(int id, const std::string& text) {
    // The dialog pushes its status line at every refresh; a line is news
    // only when it changed.
    if (id == IDC_STATUS && !text.empty() && text != lastStatus_) {
        lastStatus_ = text;
        log_.Write("status: " + text);
    }
    window_.SetControlText(id, text);
}

void UnattendedWindow::EnableControl(int id, bool enable) {
    window_.EnableControl(id, id == IDC_INSTALL ? false : enable);
}

void UnattendedWindow::EndDialog(int result) {
    if (onEnd_) onEnd_(result);
}

}  // namespace app
