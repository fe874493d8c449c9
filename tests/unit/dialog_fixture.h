// A main dialog on a simulated machine, with the dialog's refresh message
// wired back to the dialog as the window system does it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/installer_dialog.h"
#include "sim/sim_machine.h"
#include "sim/sim_window.h"

namespace testing_support {

class DialogTest : public ::testing::Test {
protected:
    DialogTest() {
        // The raw pointer: a test may destroy the dialog while its worker
        // still refreshes.
        app::InstallerDialog* target = dialog.get();
        window.onUpdateData = [target](std::uintptr_t w) { return target->OnUpdateDataMessage(w); };
    }

    void WriteDriverList(const std::string& text) {
        machine.files.WriteFile("C:\\DriverName.cfg", text);
    }

    // Runs the dialog's initialisation and, as the window system would,
    // delivers the worker's "finished" message.
    void StartDialog() {
        dialog->InitDialog();
        DeliverStartupFinished();
    }

    void DeliverStartupFinished() {
        while (delivered_ < window.startupFinishedPosts) {
            ++delivered_;
            dialog->OnStartupFinished();
        }
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& box : window.messageBoxes) texts.push_back(box.text);
        return texts;
    }

    sim::SimMachine machine;
    sim::SimDialogWindow window;
    platform::Platform platform = machine.MakePlatform(window);
    std::unique_ptr<app::InstallerDialog> dialog = std::make_unique<app::InstallerDialog>(platform);

private:
    int delivered_ = 0;
};

}  // namespace testing_support
