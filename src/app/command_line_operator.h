// The operator of a command-line run: nobody is at the window, so the
// prompt policy answers what the installation asks (message boxes, the
// serial prompt, the port dialogs), every new status line goes to the log,
// Install is never offered again (the run pressed it), and the dialog's end
// is reported to the run, which closes the window itself (a window that is
// not modal cannot be ended by EndDialog).
#pragma once

#include <functional>
#include <string>

#include "app/prompt_policy.h"
#include "base/install_log.h"
#include "base/operator.h"

namespace app {

class CommandLineOperator : public Operator {
public:
    CommandLineOperator(PromptPolicy& policy, InstallLog& log) : policy_(policy), log_(log) {}

    // Called with the dialog's result when the dialog asks to end.
    void OnEnd(std::function<void(int)> onEnd) { onEnd_ = std::move(onEnd); }

    int ShowMessageBox(const platform::MessageBoxRequest& box) override {
        return policy_.ShowMessageBox(box);
    }
    int AskSerialRate() override { return policy_.SerialPrompt(); }
    int ChoosePort(int templateId, platform::DialogHandler&) override {
        return policy_.ModalDialog(templateId);
    }
    // The dialog shows its status line at every refresh; a line is news only
    // when it changed.
    void ShowStatus(const std::string& text) override {
        if (text.empty() || text == lastStatus_) return;
        lastStatus_ = text;
        log_.Write("status: " + text);
    }
    bool MayPressInstall() const override { return false; }
    void EndDialog(int result) override {
        if (onEnd_) onEnd_(result);
    }

private:
    PromptPolicy& policy_;
    InstallLog& log_;
    std::function<void(int)> onEnd_;
    std::string lastStatus_;
};

}  // namespace app
