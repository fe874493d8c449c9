// The main dialog's window for the logic: every control operation is one
// SendMessageA to the control, so a call made on the start-up worker is
// carried out on the dialog thread by the window system itself, exactly as
// it would be for any other sender. No state but the window handle lives
// here; the controls keep their own.
#pragma once

#include <windows.h>

#include <string>

#include "platform/window.h"

namespace win32 {

class Win32DialogWindow : public platform::DialogWindow {
public:
    // updateDataMessage: the identifier registered for "MyUpdateData".
    explicit Win32DialogWindow(UINT updateDataMessage);

    // Called at WM_INITDIALOG, before the logic touches any control.
    void Bind(HWND dialog) { hwnd_ = dialog; }
    HWND Hwnd() const { return hwnd_; }

    platform::WindowHandle Handle() const override;

    void SetControlText(int id, const std::string& text) override;
    std::string GetControlText(int id) override;
    void EnableControl(int id, bool enable) override;
    bool IsControlEnabled(int id) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int state) override;

    void ComboResetContent(int id) override;
    int ComboAddString(int id, const std::string& text) override;
    int ComboSetCurSel(int id, int index) override;
    int ComboGetCurSel(int id) override;
    int ComboGetCount(int id) override;

    void ListViewDeleteAllItems(int id) override;
    int ListViewGetColumnCount(int id) override;
    void ListViewDeleteColumn(int id, int column) override;
    std::uint32_t ListViewGetExtendedStyle(int id) override;
    void ListViewSetExtendedStyle(int id, std::uint32_t style) override;
    void ListViewInsertColumn(int id, int column, const std::string& text) override;
    void ListViewSetColumnWidth(int id, int column, int width) override;
    void ListViewInsertItem(int id, int row, const std::string& text) override;
    void ListViewSetItemText(int id, int row, int subItem, const std::string& text) override;
    void ListViewSetItemState(int id, int row, std::uint32_t state, std::uint32_t mask) override;
    std::uint32_t ListViewGetItemState(int id, int row, std::uint32_t mask) override;
    int ListViewGetItemCount(int id) override;

    void ProgressSetPos(int id, int position) override;

    void SendUpdateData() override;
    void PostStartupFinished() override;

    int ShowMessageBox(const platform::MessageBoxRequest& box) override;
    int ShowSerialPrompt() override;
    int RunModal(int templateId, platform::DialogHandler& handler) override;
    void EndDialog(int result) override;

    bool SetTimer(int id, std::uint32_t milliseconds) override;
    void KillTimer(int id) override;

private:
    LRESULT Send(int id, UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND hwnd_ = nullptr;
    UINT updateDataMessage_;
};

// The application's title: the base name of the running executable without
// its extension ("DriverInstaller"), as the program carries no title string.
std::string ApplicationTitle();

}  // namespace win32
