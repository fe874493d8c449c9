#include "app/prompt_policy.h"

#include <algorithm>

#include "base/installer_dialog.h"
#include "base/messages.h"
#include "base/port_types.h"

namespace app {
namespace {

// Button IDs of the Win32 message box.
constexpr int kIdAbort = 3;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// The button that changes least, for each MB_ type.
int SafestButton(std::uint32_t style) {
    switch (style & 0xF) {
        case 0x0: return platform::mb::kIdOk;     // OK
        case 0x2: return kIdAbort;                // Abort, Retry, Ignore
        case 0x4: return kIdNo;                   // Yes, No
        default: return platform::mb::kIdCancel;  // every type with Cancel
    }
}

}  // namespace

const char* PromptPolicy::ButtonName(int id) {
    switch (id) {
        case platform::mb::kIdOk: return "OK";
        case platform::mb::kIdCancel: return "Cancel";
        case kIdAbort: return "Abort";
        case platform::mb::kIdRetry: return "Retry";
        case kIdIgnore: return "Ignore";
        case kIdYes: return "Yes";
        case kIdNo: return "No";
        default: return "?";
    }
}

int PromptPolicy::ShowMessageBox(const platform::MessageBoxRequest& box) {
    const int button = SafestButton(box.style);
    std::string why;
    if (box.id == static_cast<int>(Message::kUsbPortNotFound)) {
        why = "the installation goes on without a port that answered";
    } else {
        problems_.push_back(box.text);
        if ((box.style & 0xF) == platform::mb::kRetryCancel) why = "not retried";
    }
    std::string entry = "message box";
    if (!box.application) entry += " \"" + box.caption + "\"";
    entry += ": " + box.text + " -> " + ButtonName(button);
    if (!why.empty()) entry += " (" + why + ")";
    log_.Write(entry);
    return button;
}

int PromptPolicy::ModalDialog(int templateId) {
    const std::string text = "dialog " + std::to_string(templateId) + " was not shown";
    problems_.push_back(text);
    log_.Write(text + " (nobody is there to answer it)");
    return -1;
}

int PromptPolicy::SerialPromptRate() const {
    if (options_.autoBaud) return ports::kBaudRates.back();
    if (options_.baudRate != 0) return options_.baudRate;
    return ports::kBaudRates[ports::kPreselectedBaudRow];
}

int PromptPolicy::SerialPrompt() {
    const int rate = SerialPromptRate();
    const auto row = std::find(ports::kBaudRates.begin(), ports::kBaudRates.end(), rate) -
                     ports::kBaudRates.begin();
    std::string why = "/baud " + std::to_string(rate);
    if (options_.autoBaud) why = "/baud auto, the fastest rate first";
    if (!options_.autoBaud && options_.baudRate == 0) why = "no /baud: the prompt's own rate";
    log_.Write("serial port prompt -> Yes at " + std::to_string(rate) + " baud (" + why + ")");
    return InstallerDialog::kPortChoiceBase + static_cast<int>(row);
}

}  // namespace app
