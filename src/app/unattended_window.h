// The main dialog's window in an unattended run. It passes every control
// operation on to the real window (hidden with /quiet, shown with
// /passive), so the dialog's own sequences run unchanged, and takes over
// what would need a person:
//  - message boxes, the serial port prompt and the port dialogs are
//    answered by the prompt policy instead of being shown;
//  - every new status line goes to the log;
//  - the Install button stays disabled: the command line presses it;
//  - ending the dialog is reported to the run, which closes the window
//    itself (a window that is not modal cannot be ended by EndDialog).
#pragma once

#include <functional>
#include <string>

#include "base/install_log.h"
#include "app/prompt_policy.h"
#include "platform/window.h"

namespace app {

class UnattendedWindow : public platform::DialogWindow {
public:
    UnattendedWindow(platform::DialogWindow& window, PromptPolicy& policy, InstallLog& log)
        : window_(window), policy_(policy), log_(log) {}

    // Called with the dialog's result when the dialog asks to end.
    void OnEnd(std::function<void(int)> onEnd) { onEnd_ = std::move(onEnd); }

    platform::WindowHandle Handle() const override { return window_.Handle(); }
    void SetControlText(int id, const std::string& text) override;
    std::string GetControlText(int id) override { return window_.GetControlText(id); }
    void EnableControl(int id, bool enable) override;
    bool IsControlEnabled(int id) override { return window_.IsControlEnabled(id); }
    int GetCheck(int id) override { return window_.GetCheck(id); }
    void SetCheck(int id, int state) override { window_.SetCheck(id, state); }

    void ComboResetContent(int id) override { window_.ComboResetContent(id); }
    int ComboAddString(int id, const std::string& text) override {
        return window_.ComboAddString(id, text);
    }
    int ComboSetCurSel(int id, int index) override { return window_.ComboSetCurSel(id, index); }
    int ComboGetCurSel(int id) override { return window_.ComboGetCurSel(id); }
    int ComboGetCount(int id) override { return window_.ComboGetCount(id); }

    void ListViewDeleteAllItems(int id) override { window_.ListViewDeleteAllItems(id); }
    int ListViewGetColumnCount(int id) override { return window_.ListViewGetColumnCount(id); }
    void ListViewDeleteColumn(int id, int column) override {
        window_.ListViewDeleteColumn(id, column);
    }
    std::uint32_t ListViewGetExtendedStyle(int id) override {
        return window_.ListViewGetExtendedStyle(id);
    }
    void ListViewSetExtendedStyle(int id, std::uint32_t style) override {
        window_.ListViewSetExtendedStyle(id, style);
    }
    void ListViewInsertColumn(int id, int column, const std::string& text) override {
        window_.ListViewInsertColumn(id, column, text);
    }
    void ListViewSetColumnWidth(int id, int column, int width) override {
        window_.ListViewSetColumnWidth(id, column, width);
    }
    void ListViewInsertItem(int id, int row, const std::string& text) override {
        window_.ListViewInsertItem(id, row, text);
    }
    void ListViewSetItemText(int id, int row, int subItem, const std::string& text) override {
        window_.ListViewSetItemText(id, row, subItem, text);
    }
    void ListViewSetItemState(int id, int row, std::uint32_t state, std::uint32_t mask) override {
        window_.ListViewSetItemState(id, row, state, mask);
    }
    std::uint32_t ListViewGetItemState(int id, int row, std::uint32_t mask) override {
        return window_.ListViewGetItemState(id, row, mask);
    }
    int ListViewGetItemCount(int id) override { return window_.ListViewGetItemCount(id); }

    void ProgressSetPos(int id, int position) override { window_.ProgressSetPos(id, position); }
    void SendUpdateData() override { window_.SendUpdateData(); }
    void PostStartupFinished() override { window_.PostStartupFinished(); }

    int ShowMessageBox(const platform::MessageBoxRequest& box) override {
        return policy_.ShowMessageBox(box);
    }
    int ShowSerialPrompt() override { return policy_.SerialPrompt(); }
    int RunModal(int templateId, platform::DialogHandler&) override {
        return policy_.ModalDialog(templateId);
    }
    void EndDialog(int result) override;

    bool SetTimer(int id, std::uint32_t milliseconds) override {
        return window_.SetTimer(id, milliseconds);
    }
    void KillTimer(int id) override { window_.KillTimer(id); }

private:
    platform::DialogWindow& window_;
    PromptPolicy& policy_;
    InstallLog& log_;
    std::function<void(int)> onEnd_;
    std::string lastStatus_;
};

}  // namespace app
