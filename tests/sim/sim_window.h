// The main dialog's window, simulated: control state in memory, message
// boxes answered from a queue, and every box, refresh and dialog end
// recorded for the tests. Controls start as dialog template 103 has them.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/window.h"

namespace sim {

struct ShownMessageBox {
    std::string text;
    std::string caption;  // empty for the application's box
    std::uint32_t style = 0;
    bool application = false;
    int id = 0;  // which message it is
};

struct SimControl {
    std::string text;
    bool enabled = true;
    int check = 0;
    std::vector<std::string> items;  // drop-down list entries
    int curSel = -1;
    std::vector<std::string> columns;
    std::vector<int> columnWidths;
    std::vector<std::vector<std::string>> rows;  // list-view rows with sub-items
    std::vector<std::uint32_t> rowStates;
    std::uint32_t extendedStyle = 0;
    int progress = 0;
    std::vector<int> progressHistory;  // every position set, in order
};

class SimDialogWindow;

// The operator's hands in a modal dialog the logic opened: clicks, the
// keys and the close box reach the dialog's handler as the window system
// would deliver them, and nothing reaches a dialog that has ended.
class ModalSession {
public:
    ModalSession(SimDialogWindow& window, platform::DialogHandler& handler)
        : window(window), handler_(handler) {}
    bool Open() const;
    // A button (or 1 for Enter, 2 for Escape); false when the dialog had ended.
    bool Press(int id);
    bool Close();
    // A click on a row of list `id`: it alone is selected and focused.
    void Select(int id, int row);
    // A click on the list's empty space: no row selected.
    void SelectNone(int id);
    // Column 0 of each row of list `id`.
    std::vector<std::string> Names(int id);

    SimDialogWindow& window;

private:
    platform::DialogHandler& handler_;
};

using ModalScript = std::function<void(ModalSession&)>;

class SimDialogWindow : public platform::DialogWindow {
public:
    // A main dialog starts as template 103 has its controls; any other
    // dialog starts with empty controls.
    explicit SimDialogWindow(bool mainDialog = true);

    platform::WindowHandle Handle() const override { return handle; }
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

    // Test side.
    SimControl& Control(int id);
    // Rows of a list view whose selected bit is set.
    std::vector<int> SelectedRows(int id);
    // The status texts shown, in order, each time the dialog pushed its
    // fields into the controls.
    std::vector<std::string> StatusHistory() const;

    platform::WindowHandle handle = 0x1234;
    std::function<long(std::uintptr_t)> onUpdateData;  // the dialog's handler
    std::deque<int> messageBoxAnswers;                 // next answers, in order
    std::vector<ShownMessageBox> messageBoxes;
    int updateDataCount = 0;
    int startupFinishedPosts = 0;
    bool ended = false;
    int endResult = 0;
    std::set<int> timers;
    std::map<int, std::uint32_t> timerPeriods;  // of the timers set now
    std::vector<std::uint32_t> timerHistory;    // every period set, in order
    std::vector<int> killedTimers;
    std::deque<int> serialPromptAnswers;  // next results; none left: Escape (2)
    int serialPrompts = 0;

    // Modal dialogs: each run takes the next script (none left: the
    // operator closes it with the close box), and stays here to be looked
    // at. A script that leaves its dialog open gets it closed the same way.
    struct Modal {
        int templateId = 0;
        platform::WindowHandle owner = 0;
        std::unique_ptr<SimDialogWindow> window;
        bool leftOpen = false;
    };
    std::deque<ModalScript> modalScripts;
    std::vector<Modal> modals;
    std::set<int> missingTemplates;  // RunModal answers -1 for these

private:
    int Answer(std::uint32_t style);

    mutable std::recursive_mutex mutex_;
    std::map<int, SimControl> controls_;
    std::vector<std::string> statusHistory_;
};

}  // namespace sim
