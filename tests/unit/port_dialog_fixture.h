// An installation whose port the operator picks in a port dialog: the
// operator's hands in the dialog are scripts run once the dialog is up.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "install_fixture.h"

namespace testing_support {

// A message box as the operator reads it.
struct ShownMessageBoxText {
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
    bool operator==(const ShownMessageBoxText& other) const {
        return text == other.text && caption == other.caption && style == other.style;
    }
};
inline std::ostream& operator<<(std::ostream& out, const ShownMessageBoxText& box) {
    return out << "[" << box.caption << "] \"" << box.text << "\" style " << box.style;
}

class PortDialogTest : public InstallTest {
protected:
    using Modal = sim::SimDialogWindow::Modal;
    static constexpr int kBase = app::InstallerDialog::kPortChoiceBase;
    static constexpr int kCancelled = app::InstallerDialog::kPortCancelled;

    PortDialogTest() { ListOffering(27, "P1"); }

    // What the operator does in the next dialog.
    void Operator(sim::ModalScript script) { window.modalScripts.push_back(std::move(script)); }
    // Selects `row` and presses `button` (a button id, or 1 / 2 for Enter / Escape).
    void Choose(int row, int button) {
        Operator([row, button](sim::ModalSession& s) {
            s.Select(IDC_PORT_LIST, row);
            s.Press(button);
        });
    }
    void Press(int button) {
        Operator([button](sim::ModalSession& s) { s.Press(button); });
    }

    // `count` local ports no list cares about, so that later ports lie
    // beyond the first 256 the installer looks at.
    void FillerPorts(int count) {
        for (int i = 0; i < count; ++i) machine.spooler.AddPort("NUL" + std::to_string(i) + ":");
    }

    const Modal& Shown(std::size_t i = 0) { return window.modals.at(i); }
    std::vector<ShownMessageBoxText> Boxes(const sim::SimDialogWindow& w) {
        std::vector<ShownMessageBoxText> boxes;
        for (const auto& box : w.messageBoxes) boxes.push_back({box.text, box.caption, box.style});
        return boxes;
    }
    std::string PrinterPort() {
        const platform::PrinterInfo2* info = machine.spooler.Printer("P1");
        return info != nullptr && info->portName ? *info->portName : std::string("(no printer)");
    }
    // An abandoned installation: nothing copied, registered or created,
    // and Install can be pressed again.
    void ExpectAbandoned() {
        EXPECT_EQ(sim::CountCalls(machine.files.calls, "CopyFileA"), 0);
        EXPECT_EQ(machine.spooler.lastDriverInfo, std::nullopt);
        EXPECT_TRUE(machine.spooler.PrinterNames().empty());
        EXPECT_TRUE(ButtonEnabled());
        EXPECT_EQ(ButtonText(), "&Install");
    }
};

}  // namespace testing_support
