// What an installation asks of whoever runs it, in one place, as PuTTY's
// core asks its front end and a WiX Burn engine its bootstrapper: a box
// to answer, the serial rate, a port to choose, the status line to show,
// whether Install may be pressed again, and the end of the dialog. The
// dialog answers with its windows (WindowOperator); a command-line run
// answers by its prompt policy and writes what was shown to its log.
#pragma once

#include <string>

#include "platform/window.h"

namespace app {

class Operator : public platform::MessageBoxes {
public:
    // The serial port prompt: kChoiceBase + the row of the rate, or a
    // cancel (as platform::DialogWindow::ShowSerialPrompt).
    virtual int AskSerialRate() = 0;
    // A port dialog from template `templateId` with `handler` behind it:
    // the value it ended with, or -1 when it cannot be shown.
    virtual int ChoosePort(int templateId, platform::DialogHandler& handler) = 0;
    // The status line, each time the dialog shows it.
    virtual void ShowStatus(const std::string& text) = 0;
    // Whether Install may be offered to be pressed again; a command line
    // presses it itself, once.
    virtual bool MayPressInstall() const = 0;
    // The dialog asks to end with `result`.
    virtual void EndDialog(int result) = 0;
};

// The dialog's own operator: the person at its windows.
class WindowOperator : public Operator {
public:
    explicit WindowOperator(platform::DialogWindow& window) : window_(window) {}
    int ShowMessageBox(const platform::MessageBoxRequest& box) override {
        return window_.ShowMessageBox(box);
    }
    int AskSerialRate() override { return window_.ShowSerialPrompt(); }
    int ChoosePort(int templateId, platform::DialogHandler& handler) override {
        return window_.RunModal(templateId, handler);
    }
    // The window shows the line itself when the dialog pushes its fields.
    void ShowStatus(const std::string&) override {}
    bool MayPressInstall() const override { return true; }
    void EndDialog(int result) override { window_.EndDialog(result); }

private:
    platform::DialogWindow& window_;
};

}  // namespace app
