// The main dialog's window as the logic sees it: its controls by ID, message
// boxes, the synchronous refresh and the dialog's timer. The Win32 adapter
// sends the matching window messages (so calls from the start-up worker are
// carried out on the dialog thread, as the window system does for
// SendMessageA); the simulator keeps the control state in memory.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

// Message-box styles and answers used by the program.
namespace mb {
constexpr std::uint32_t kOk = 0x0;
constexpr std::uint32_t kRetryCancel = 0x5;
constexpr std::uint32_t kIconExclamation = 0x30;
constexpr std::uint32_t kIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;
}  // namespace mb

// List-view bits the logic uses.
namespace lv {
constexpr std::uint32_t kFocused = 0x1;
constexpr std::uint32_t kSelected = 0x2;
constexpr std::uint32_t kExGridLines = 0x01;
constexpr std::uint32_t kExTrackSelect = 0x08;
constexpr std::uint32_t kExFullRowSelect = 0x20;
}  // namespace lv

// One message box as the program asks for it. `id` says which of the
// program's messages it is: the window system never looks at it, but
// whoever answers in place of a person decides by it, never by the text or
// the caption.
struct MessageBoxRequest {
    int id = 0;
    std::string text;
    // The application's box (caption = the program's title, exclamation
    // icon unless the style names another) is usable from any thread; the
    // others are owned by the dialog and carry their own caption.
    bool application = false;
    std::string caption;
    std::uint32_t style = 0;
};

// Every message box of the program goes through this one call.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual int ShowMessageBox(const MessageBoxRequest& box) = 0;
};

class DialogWindow;

// The logic of a modal dialog that the main dialog opens from a template
// (the parallel and TCP/IP port dialogs). Its handlers run on the dialog
// thread inside the modal loop; the handler keeps the window it was given
// at initialisation for the dialog's life and ends the dialog through it.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    virtual void OnInitDialog(DialogWindow& dialog) = 0;
    // A push button's click; Enter and Escape arrive as the ids 1 and 2.
    // False when the handler has nothing to do with `id`.
    virtual bool OnCommand(int id) = 0;
    // The close box (WM_CLOSE).
    virtual void OnClose() = 0;
};

class DialogWindow : public MessageBoxes {
public:
    virtual WindowHandle Handle() const = 0;

    // Generic controls.
    virtual void SetControlText(int id, const std::string& text) = 0;
    virtual std::string GetControlText(int id) = 0;
    virtual void EnableControl(int id, bool enable) = 0;
    virtual bool IsControlEnabled(int id) = 0;
    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, int state) = 0;

    // Drop-down list.
    virtual void ComboResetContent(int id) = 0;
    virtual int ComboAddString(int id, const std::string& text) = 0;
    virtual int ComboSetCurSel(int id, int index) = 0;
    virtual int ComboGetCurSel(int id) = 0;
    virtual int ComboGetCount(int id) = 0;

    // Report-view list.
    virtual void ListViewDeleteAllItems(int id) = 0;
    virtual int ListViewGetColumnCount(int id) = 0;
    virtual void ListViewDeleteColumn(int id, int column) = 0;
    virtual std::uint32_t ListViewGetExtendedStyle(int id) = 0;
    virtual void ListViewSetExtendedStyle(int id, std::uint32_t style) = 0;
    virtual void ListViewInsertColumn(int id, int column, const std::string& text) = 0;
    virtual void ListViewSetColumnWidth(int id, int column, int width) = 0;
    virtual void ListViewInsertItem(int id, int row, const std::string& text) = 0;
    virtual void ListViewSetItemText(int id, int row, int subItem, const std::string& text) = 0;
    virtual void ListViewSetItemState(int id, int row, std::uint32_t state, std::uint32_t mask) = 0;
    virtual std::uint32_t ListViewGetItemState(int id, int row, std::uint32_t mask) = 0;
    virtual int ListViewGetItemCount(int id) = 0;

    // Progress bar.
    virtual void ProgressSetPos(int id, int position) = 0;

    // Sends the registered "MyUpdateData" message with wParam 0 and lParam 0
    // and returns once the dialog thread has handled it.
    virtual void SendUpdateData() = 0;
    // Tells the dialog thread, without waiting, that the start-up worker ended.
    virtual void PostStartupFinished() = 0;

    // The serial port prompt (template 136), modal and owned by the dialog:
    // kPortChoiceBase + the baud-rate row for Yes, kPortCancelled for No,
    // 1 or 2 when Enter or Escape (or the close box) ended it.
    virtual int ShowSerialPrompt() = 0;
    // Dialog template `templateId`, modal and owned by this dialog, with
    // `handler` answering its messages: the value the handler ended it
    // with, or -1 when the template cannot be shown.
    virtual int RunModal(int templateId, DialogHandler& handler) = 0;
    virtual void EndDialog(int result) = 0;

    virtual bool SetTimer(int id, std::uint32_t milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
};

}  // namespace platform
