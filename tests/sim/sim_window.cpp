#include "sim/sim_window.h"

#include <algorithm>

#include "base/dialog_ids.h"

namespace sim {
namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
}

SimDialogWindow::SimDialogWindow(bool mainDialog) {
    if (!mainDialog) return;
    controls_[IDC_STATUS].text = "Driver install Program";
    controls_[IDC_INSTALL].text = "&Install";
    controls_[IDC_INSTALL].enabled = false;
    controls_[platform::mb::kIdCancel].text = "&Cancel";
    controls_[IDC_SET_DEFAULT].text = "Set Default Printer";
}

SimControl& SimDialogWindow::Control(int id) {
    Lock lock(mutex_);
    return controls_[id];
}

void SimDialogWindow::SetControlText(int id, const std::string& text) {
    Lock lock(mutex_);
    controls_[id].text = text;
    if (id == IDC_STATUS) statusHistory_.push_back(text);
}

std::string SimDialogWindow::GetControlText(int id) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    // A drop-down list's text is its selected entry.
    if (id == IDC_DRIVER_COMBO) {
        return c.curSel >= 0 && c.curSel < static_cast<int>(c.items.size()) ? c.items[c.curSel]
                                                                            : "";
    }
    return c.text;
}

void SimDialogWindow::EnableControl(int id, bool enable) {
    Lock lock(mutex_);
    controls_[id].enabled = enable;
}

bool SimDialogWindow::IsControlEnabled(int id) {
    Lock lock(mutex_);
    return controls_[id].enabled;
}

int SimDialogWindow::GetCheck(int id) {
    Lock lock(mutex_);
    return controls_[id].check;
}

void SimDialogWindow::SetCheck(int id, int state) {
    Lock lock(mutex_);
    controls_[id].check = state;
}

void SimDialogWindow::ComboResetContent(int id) {
    Lock lock(mutex_);
    controls_[id].items.clear();
    controls_[id].curSel = -1;
}

int SimDialogWindow::ComboAddString(int id, const std::string& text) {
    Lock lock(mutex_);
    controls_[id].items.push_back(text);
    return static_cast<int>(controls_[id].items.size()) - 1;
}

int SimDialogWindow::ComboSetCurSel(int id, int index) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    if (index < 0 || index >= static_cast<int>(c.items.size())) {
        c.curSel = -1;
        return -1;  // CB_ERR, and the selection is cleared
    }
    c.curSel = index;
    return index;
}

int SimDialogWindow::ComboGetCurSel(int id) {
    Lock lock(mutex_);
    return controls_[id].curSel;
}

int SimDialogWindow::ComboGetCount(int id) {
    Lock lock(mutex_);
    return static_cast<int>(controls_[id].items.size());
}

void SimDialogWindow::ListViewDeleteAllItems(int id) {
    Lock lock(mutex_);
    controls_[id].rows.clear();
    controls_[id].rowStates.clear();
}

int SimDialogWindow::ListViewGetColumnCount(int id) {
    Lock lock(mutex_);
    return static_cast<int>(controls_[id].columns.size());
}

void SimDialogWindow::ListViewDeleteColumn(int id, int column) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    if (column < 0 || column >= static_cast<int>(c.columns.size())) return;
    c.columns.erase(c.columns.begin() + column);
    c.columnWidths.erase(c.columnWidths.begin() + column);
}

std::uint32_t SimDialogWindow::ListViewGetExtendedStyle(int id) {
    Lock lock(mutex_);
    return controls_[id].extendedStyle;
}

void SimDialogWindow::ListViewSetExtendedStyle(int id, std::uint32_t style) {
    Lock lock(mutex_);
    controls_[id].extendedStyle = style;
}

void SimDialogWindow::ListViewInsertColumn(int id, int column, const std::string& text) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    const auto at =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(column, 0)), c.columns.size());
    c.columns.insert(c.columns.begin() + at, text);
    c.columnWidths.insert(c.columnWidths.begin() + at, 0);
}

void SimDialogWindow::ListViewSetColumnWidth(int id, int column, int width) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    if (column >= 0 && column < static_cast<int>(c.columnWidths.size()))
        c.columnWidths[column] = width;
}

void SimDialogWindow::ListViewInsertItem(int id, int row, const std::string& text) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    const auto at =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(row, 0)), c.rows.size());
    c.rows.insert(c.rows.begin() + at, std::vector<std::string>{text});
    c.rowStates.insert(c.rowStates.begin() + at, 0);
}

void SimDialogWindow::ListViewSetItemText(int id, int row, int subItem, const std::string& text) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    if (row < 0 || row >= static_cast<int>(c.rows.size()) || subItem < 0) return;
    if (c.rows[row].size() <= static_cast<std::size_t>(subItem)) c.rows[row].resize(subItem + 1);
    c.rows[row][subItem] = text;
}

void SimDialogWindow::ListViewSetItemState(int id, int row, std::uint32_t state,
                                           std::uint32_t mask) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    if (row < 0 || row >= static_cast<int>(c.rows.size())) return;
    // A single-selection list: selecting one row deselects the others.
    if ((mask & state & platform::lv::kSelected) != 0) {
        for (auto& s : c.rowStates) s &= ~platform::lv::kSelected;
    }
    c.rowStates[row] = (c.rowStates[row] & ~mask) | (state & mask);
}

std::uint32_t SimDialogWindow::ListViewGetItemState(int id, int row, std::uint32_t mask) {
    Lock lock(mutex_);
    SimControl& c = controls_[id];
    if (row < 0 || row >= static_cast<int>(c.rows.size())) return 0;
    return c.rowStates[row] & mask;
}

int SimDialogWindow::ListViewGetItemCount(int id) {
    Lock lock(mutex_);
    return static_cast<int>(controls_[id].rows.size());
}

void SimDialogWindow::ProgressSetPos(int id, int position) {
    Lock lock(mutex_);
    controls_[id].progress = position;
    controls_[id].progressHistory.push_back(position);
}

void SimDialogWindow::SendUpdateData() {
    Lock lock(mutex_);
    ++updateDataCount;
    if (onUpdateData) onUpdateData(0);
}

void SimDialogWindow::PostStartupFinished() {
    Lock lock(mutex_);
    ++startupFinishedPosts;
}

int SimDialogWindow::Answer(std::uint32_t style) {
    if (!messageBoxAnswers.empty()) {
        const int answer = messageBoxAnswers.front();
        messageBoxAnswers.pop_front();
        return answer;
    }
    return (style & 0xF) == platform::mb::kRetryCancel ? platform::mb::kIdCancel
                                                       : platform::mb::kIdOk;
}

int SimDialogWindow::ShowMessageBox(const platform::MessageBoxRequest& box) {
    Lock lock(mutex_);
    messageBoxes.push_back({box.text, box.application ? std::string() : box.caption, box.style,
                            box.application, box.id});
    return Answer(box.style);
}

void SimDialogWindow::EndDialog(int result) {
    Lock lock(mutex_);
    ended = true;
    endResult = result;
}

bool SimDialogWindow::SetTimer(int id, std::uint32_t milliseconds) {
    Lock lock(mutex_);
    timers.insert(id);
    timerPeriods[id] = milliseconds;
    timerHistory.push_back(milliseconds);
    return true;
}

void SimDialogWindow::KillTimer(int id) {
    Lock lock(mutex_);
    timers.erase(id);
    timerPeriods.erase(id);
    killedTimers.push_back(id);
}

int SimDialogWindow::ShowSerialPrompt() {
    Lock lock(mutex_);
    ++serialPrompts;
    if (serialPromptAnswers.empty()) return platform::mb::kIdCancel;
    const int answer = serialPromptAnswers.front();
    serialPromptAnswers.pop_front();
    return answer;
}

int SimDialogWindow::RunModal(int templateId, platform::DialogHandler& handler) {
    SimDialogWindow* dialog = nullptr;
    ModalScript script;
    {
        Lock lock(mutex_);
        if (missingTemplates.count(templateId) != 0) return -1;
        Modal modal;
        modal.templateId = templateId;
        modal.owner = handle;
        modal.window = std::make_unique<SimDialogWindow>(false);
        modal.window->handle = handle + 0x100 + modals.size();
        dialog = modal.window.get();
        modals.push_back(std::move(modal));
        if (!modalScripts.empty()) {
            script = std::move(modalScripts.front());
            modalScripts.pop_front();
        }
    }
    // The handlers run unlocked, as the dialog's own messages would.
    handler.OnInitDialog(*dialog);
    ModalSession session(*dialog, handler);
    if (script) script(session);
    if (session.Open()) {
        Lock lock(mutex_);
        for (Modal& modal : modals) {
            if (modal.window.get() == dialog) modal.leftOpen = static_cast<bool>(script);
        }
    }
    // A modal loop only ends through EndDialog; the close box is the
    // operator's last resort.
    for (int attempt = 0; attempt < 3 && session.Open(); ++attempt) session.Close();
    return dialog->ended ? dialog->endResult : -1;
}

bool ModalSession::Open() const {
    return !window.ended;
}

bool ModalSession::Press(int id) {
    if (!Open()) return false;
    handler_.OnCommand(id);
    return true;
}

bool ModalSession::Close() {
    if (!Open()) return false;
    handler_.OnClose();
    return true;
}

void ModalSession::Select(int id, int row) {
    SelectNone(id);
    window.ListViewSetItemState(id, row, platform::lv::kSelected | platform::lv::kFocused,
                                platform::lv::kSelected | platform::lv::kFocused);
}

void ModalSession::SelectNone(int id) {
    const int rows = window.ListViewGetItemCount(id);
    for (int row = 0; row < rows; ++row) {
        window.ListViewSetItemState(id, row, 0, platform::lv::kSelected | platform::lv::kFocused);
    }
}

std::vector<std::string> ModalSession::Names(int id) {
    std::vector<std::string> names;
    for (const auto& row : window.Control(id).rows) names.push_back(row.empty() ? "" : row[0]);
    return names;
}

std::vector<int> SimDialogWindow::SelectedRows(int id) {
    Lock lock(mutex_);
    std::vector<int> rows;
    const SimControl& c = controls_[id];
    for (std::size_t i = 0; i < c.rowStates.size(); ++i) {
        if (c.rowStates[i] & platform::lv::kSelected) rows.push_back(static_cast<int>(i));
    }
    return rows;
}

std::vector<std::string> SimDialogWindow::StatusHistory() const {
    Lock lock(mutex_);
    return statusHistory_;
}

}  // namespace sim
