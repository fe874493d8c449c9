#include "shell/win32/dialog_window_win32.h"

#include <commctrl.h>

#include <vector>

#include "base/dialog_ids.h"
#include "shell/win32/modal_dialog_win32.h"
#include "shell/win32/serial_prompt_win32.h"

namespace win32 {

namespace {

// The logic passes the text; the list-view structures want a writable
// pointer although the control only reads it.
LPSTR Writable(const std::string& text) {
    return const_cast<LPSTR>(text.c_str());
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(UINT updateDataMessage)
    : updateDataMessage_(updateDataMessage) {}

platform::WindowHandle Win32DialogWindow::Handle() const {
    return reinterpret_cast<platform::WindowHandle>(hwnd_);
}

LRESULT Win32DialogWindow::Send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(::GetDlgItem(hwnd_, id), message, wParam, lParam);
}

void Win32DialogWindow::SetControlText(int id, const std::string& text) {
    Send(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Win32DialogWindow::GetControlText(int id) {
    const LRESULT length = Send(id, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied =
        Send(id, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

void Win32DialogWindow::EnableControl(int id, bool enable) {
    ::EnableWindow(::GetDlgItem(hwnd_, id), enable ? TRUE : FALSE);
}

bool Win32DialogWindow::IsControlEnabled(int id) {
    return ::IsWindowEnabled(::GetDlgItem(hwnd_, id)) != FALSE;
}

int Win32DialogWindow::GetCheck(int id) {
    return static_cast<int>(Send(id, BM_GETCHECK, 0, 0));
}

void Win32DialogWindow::SetCheck(int id, int state) {
    Send(id, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

void Win32DialogWindow::ComboResetContent(int id) {
    Send(id, CB_RESETCONTENT, 0, 0);
}

int Win32DialogWindow::ComboAddString(int id, const std::string& text) {
    return static_cast<int>(Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int Win32DialogWindow::ComboSetCurSel(int id, int index) {
    return static_cast<int>(Send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int Win32DialogWindow::ComboGetCurSel(int id) {
    return static_cast<int>(Send(id, CB_GETCURSEL, 0, 0));
}

int Win32DialogWindow::ComboGetCount(int id) {
    return static_cast<int>(Send(id, CB_GETCOUNT, 0, 0));
}

void Win32DialogWindow::ListViewDeleteAllItems(int id) {
    Send(id, LVM_DELETEALLITEMS, 0, 0);
}

int Win32DialogWindow::ListViewGetColumnCount(int id) {
    const HWND header = reinterpret_cast<HWND>(Send(id, LVM_GETHEADER, 0, 0));
    if (header == nullptr) return 0;
    return static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

void Win32DialogWindow::ListViewDeleteColumn(int id, int column) {
    Send(id, LVM_DELETECOLUMN, static_cast<WPARAM>(column), 0);
}

std::uint32_t Win32DialogWindow::ListViewGetExtendedStyle(int id) {
    return static_cast<std::uint32_t>(Send(id, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

void Win32DialogWindow::ListViewSetExtendedStyle(int id, std::uint32_t style) {
    // A zero mask lets every bit of the new style through.
    Send(id, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

void Win32DialogWindow::ListViewInsertColumn(int id, int column, const std::string& text) {
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_FMT;
    col.fmt = LVCFMT_LEFT;
    col.pszText = Writable(text);
    Send(id, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

void Win32DialogWindow::ListViewSetColumnWidth(int id, int column, int width) {
    Send(id, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void Win32DialogWindow::ListViewInsertItem(int id, int row, const std::string& text) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = Writable(text);
    Send(id, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32DialogWindow::ListViewSetItemText(int id, int row, int subItem, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = Writable(text);
    Send(id, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void Win32DialogWindow::ListViewSetItemState(int id, int row, std::uint32_t state,
                                             std::uint32_t mask) {
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    Send(id, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::uint32_t Win32DialogWindow::ListViewGetItemState(int id, int row, std::uint32_t mask) {
    return static_cast<std::uint32_t>(
        Send(id, LVM_GETITEMSTATE, static_cast<WPARAM>(row), static_cast<LPARAM>(mask)));
}

int Win32DialogWindow::ListViewGetItemCount(int id) {
    return static_cast<int>(Send(id, LVM_GETITEMCOUNT, 0, 0));
}

void Win32DialogWindow::ProgressSetPos(int id, int position) {
    Send(id, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32DialogWindow::SendUpdateData() {
    ::SendMessageA(hwnd_, updateDataMessage_, 0, 0);
}

void Win32DialogWindow::PostStartupFinished() {
    ::PostMessageA(hwnd_, WM_STARTUP_FINISHED, 0, 0);
}

int Win32DialogWindow::ShowMessageBox(const platform::MessageBoxRequest& box) {
    if (!box.application)
        return ::MessageBoxA(hwnd_, box.text.c_str(), box.caption.c_str(), box.style);
    // The application's box: the program's title, and a warning unless told otherwise.
    std::uint32_t style = box.style;
    if ((style & MB_ICONMASK) == 0) style |= MB_ICONEXCLAMATION;
    const std::string title = ApplicationTitle();
    return ::MessageBoxA(hwnd_, box.text.c_str(), title.c_str(), style);
}

int Win32DialogWindow::ShowSerialPrompt() {
    return SerialPromptDialog(hwnd_);
}

int Win32DialogWindow::RunModal(int templateId, platform::DialogHandler& handler) {
    return RunModalDialog(hwnd_, templateId, handler);
}

void Win32DialogWindow::EndDialog(int result) {
    ::EndDialog(hwnd_, result);
}

bool Win32DialogWindow::SetTimer(int id, std::uint32_t milliseconds) {
    return ::SetTimer(hwnd_, static_cast<UINT_PTR>(id), milliseconds, nullptr) != 0;
}

void Win32DialogWindow::KillTimer(int id) {
    ::KillTimer(hwnd_, static_cast<UINT_PTR>(id));
}

std::string ApplicationTitle() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length);
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace win32
