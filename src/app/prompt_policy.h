// How an unattended run answers what the dialog would ask a person: every
// message box and the serial port prompt get the answer the command line
// implies, and question and answer both go to the log.
//
//  - Boxes are told apart by the message they show (app::Message), never
//    by their text or caption.
//  - A box that offers Retry is not retried: Cancel. The USB search's box
//    (kUsbPortNotFound) is the one whose Cancel goes on with the
//    installation, so that counts as "the printer answered on no port"
//    rather than a failure.
//  - Any other box is answered with its safest button (OK, Cancel, No,
//    Abort), and remembered as a problem of the run.
//  - The port dialogs are not shown: the command line's port is taken
//    before they would be; one asked for all the same answers "cannot
//    be shown", which abandons the installation.
//  - The serial port prompt is answered Yes at the /baud rate; with
//    /baud auto at the fastest rate (the run tries the others after it);
//    without /baud at the rate the prompt itself preselects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line_options.h"
#include "base/install_log.h"
#include "platform/window.h"

namespace app {

class PromptPolicy : public platform::MessageBoxes {
public:
    PromptPolicy(const cli::Options& options, InstallLog& log) : options_(options), log_(log) {}

    int ShowMessageBox(const platform::MessageBoxRequest& box) override;
    // The serial port prompt's result: kPortChoiceBase + the rate's row.
    int SerialPrompt();
    // A dialog of its own (the port choices): never shown, since the
    // command line chose the port before; -1, as for a template that
    // cannot be shown, and a problem of the run.
    int ModalDialog(int templateId);

    // The rate the serial prompt is answered with.
    int SerialPromptRate() const;
    // The texts of the boxes that reported a problem, in order.
    const std::vector<std::string>& Problems() const { return problems_; }

    static const char* ButtonName(int id);

private:
    const cli::Options& options_;
    InstallLog& log_;
    std::vector<std::string> problems_;
};

}  // namespace app
