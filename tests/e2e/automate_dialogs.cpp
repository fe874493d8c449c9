// automate.exe: the serial port prompt and the port dialogs.
#include "automate.h"

namespace automate {

// --- Serial port prompt commands ----------------------------------------
//   wait-prompt <seconds>     the prompt is up; prints its caption and texts
//   prompt-items              the baud-rate list and its selected row
//   prompt-select <row>       selects a row of the baud-rate list
//   prompt-click <id>         clicks a button (1030 Yes, 1036 No)
//   prompt-key enter|escape|close
//   prompt-gone <seconds>     the prompt has closed

constexpr const char* kPromptCaption = "Prompt(automatically select the available serial port) ";
constexpr int kPromptRates = 1034;

bool Automation::RunPromptCommand(const std::string& command, const std::string& args) {
    if (command == "wait-prompt")
        WaitPrompt(args);
    else if (command == "prompt-items")
        PromptItems();
    else if (command == "prompt-select")
        PromptSelect(args);
    else if (command == "prompt-click")
        PromptClick(args);
    else if (command == "prompt-key")
        PromptKey(args);
    else if (command == "prompt-gone")
        PromptGone(args);
    else
        return false;
    return true;
}

void Automation::WaitPrompt(const std::string& args) {
    const Deadline deadline(Seconds(args));
    for (;;) {
        const HWND found = ::FindWindowA("#32770", kPromptCaption);
        DWORD owner = 0;
        if (found != nullptr) ::GetWindowThreadProcessId(found, &owner);
        if (found != nullptr && ::IsWindowVisible(found) &&
            (processId_ == 0 || owner == processId_)) {
            prompt_ = found;
            break;
        }
        if (deadline.Passed()) Fail("timeout waiting for the serial prompt");
        ::Sleep(kPollMs);
    }
    Emit("prompt caption", "[" + WindowText(prompt_) + "]");
    const HWND parent = ::GetWindow(prompt_, GW_OWNER);
    Emit("prompt owner", parent == dialog_ && dialog_ != nullptr ? "installer" : "other");
    Emit("prompt toolwindow",
         (::GetWindowLongA(prompt_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) ? "yes" : "no");
    for (HWND child = ::GetWindow(prompt_, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        ::GetClassNameA(child, className, sizeof(className));
        if (lstrcmpiA(className, "ComboBox") == 0) continue;
        Emit("prompt text", WindowText(child));
    }
}

void Automation::PromptItems() {
    const HWND combo = PromptControl(kPromptRates);
    const int count = static_cast<int>(Send(combo, CB_GETCOUNT, 0, 0));
    std::string items;
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        items += (items.empty() ? "" : " ") + Narrow(text.data());
    }
    Emit("prompt rates", items);
    Emit("prompt rate selected", std::to_string(Send(combo, CB_GETCURSEL, 0, 0)));
}

void Automation::PromptSelect(const std::string& args) {
    if (Send(PromptControl(kPromptRates), CB_SETCURSEL, static_cast<WPARAM>(ParseInt(args)), 0) ==
        CB_ERR)
        Fail("the baud-rate list has no row " + args);
    Emit("prompt selected", args);
}

void Automation::PromptClick(const std::string& args) {
    ::PostMessageA(PromptControl(ParseInt(args)), BM_CLICK, 0, 0);
    Emit("prompt clicked", args);
}

// Enter and Escape go to the control with the focus, as typed keys do, so
// the dialog manager of the prompt decides what they mean.
void Automation::PromptKey(const std::string& args) {
    const std::string key = Trim(args);
    if (key == "close") {
        ::PostMessageA(Prompt(), WM_CLOSE, 0, 0);
    } else {
        UINT virtualKey = 0;
        if (key == "enter")
            virtualKey = VK_RETURN;
        else if (key == "escape")
            virtualKey = VK_ESCAPE;
        else
            Fail("unknown key '" + key + "'");
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof(gui);
        const DWORD thread = ::GetWindowThreadProcessId(Prompt(), nullptr);
        const HWND focus =
            ::GetGUIThreadInfo(thread, &gui) && gui.hwndFocus ? gui.hwndFocus : Prompt();
        const UINT scan = ::MapVirtualKeyA(virtualKey, 0);
        ::PostMessageA(focus, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
        ::PostMessageA(focus, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000u);
    }
    Emit("prompt key", key);
}

void Automation::PromptGone(const std::string& args) {
    const Deadline deadline(Seconds(args));
    while (prompt_ != nullptr && ::IsWindow(prompt_)) {
        if (deadline.Passed()) Fail("the serial prompt stayed open");
        ::Sleep(kPollMs);
    }
    prompt_ = nullptr;
    Emit("prompt", "closed");
}

// --- Port dialog commands -----------------------------------------------
// The installer's own port dialogs (parallel, template 137; TCP/IP, 129);
// the port monitor's windows over them have the port-dialog-* commands.
//   wait-dialog <caption> <seconds>   a dialog of the installer with that
//                                     caption is up; prints its owner, texts
//                                     and the columns of its controls
//   dialog-list <id>                  the rows of a list view
//   dialog-list-selected <id>         its selected rows
//   dialog-wait-rows <id> <count> <seconds>
//                                     the list has that many rows (a button
//                                     that rebuilds it has been handled)
//   dialog-list-select <id> <row>|none  selects one row, or clears the selection
//   dialog-text <id>                  a control's text
//   dialog-click <id>                 clicks a button
//   dialog-key enter|escape|close
//   dialog-gone <seconds>             the dialog has closed

bool Automation::RunDialogCommand(const std::string& command, const std::string& args) {
    struct Patience {
        bool& flag;
        explicit Patience(bool& f) : flag(f) { flag = true; }
        ~Patience() { flag = false; }
    } patience(patient_);
    if (command == "wait-dialog")
        WaitDialog(args);
    else if (command == "dialog-list") {
        const int id = ParseInt(args);
        ReportList(ChildControl(id), "dialog list " + std::to_string(id));
    } else if (command == "dialog-list-selected") {
        const int id = ParseInt(args);
        ReportSelected(ChildControl(id), "dialog list " + std::to_string(id) + " selected");
    } else if (command == "dialog-list-select")
        DialogListSelect(args);
    else if (command == "dialog-wait-rows")
        DialogWaitRows(args);
    else if (command == "dialog-text") {
        const int id = ParseInt(args);
        Emit("dialog text " + std::to_string(id), WindowText(ChildControl(id)));
    } else if (command == "dialog-click") {
        const int id = ParseInt(args);
        ::PostMessageA(ChildControl(id), BM_CLICK, 0, 0);
        Emit("dialog clicked", std::to_string(id));
    } else if (command == "dialog-key")
        DialogKey(args);
    else if (command == "dialog-gone")
        DialogGone(args);
    else
        return false;
    return true;
}

void Automation::WaitDialog(const std::string& args) {
    std::string caption;
    std::string seconds;
    SplitLast(args, caption, seconds);
    const Deadline deadline(Seconds(seconds));
    for (;;) {
        const HWND found = ::FindWindowA("#32770", caption.c_str());
        DWORD owner = 0;
        if (found != nullptr) ::GetWindowThreadProcessId(found, &owner);
        if (found != nullptr && found != dialog_ && ::IsWindowVisible(found) &&
            (processId_ == 0 || owner == processId_)) {
            child_ = found;
            break;
        }
        if (deadline.Passed()) Fail("timeout waiting for the dialog '" + caption + "'");
        ::Sleep(kPollMs);
    }
    // Up means able to take keys: a dialog is shown before it is activated
    // and given the focus, and a key sent meanwhile would go to the window
    // that had it before.
    WaitDialogFocus(deadline);
    Emit("dialog caption", "[" + WindowText(child_) + "]");
    const HWND parent = ::GetWindow(child_, GW_OWNER);
    Emit("dialog owner", parent == dialog_ && dialog_ != nullptr ? "installer" : "other");
    Emit("dialog installer enabled",
         dialog_ != nullptr && ::IsWindowEnabled(dialog_) ? "yes" : "no");
    for (HWND child = ::GetWindow(child_, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        ::GetClassNameA(child, className, sizeof(className));
        const std::string id = std::to_string(::GetDlgCtrlID(child));
        if (lstrcmpiA(className, "SysListView32") == 0) {
            const LONG style = ::GetWindowLongA(child, GWL_STYLE);
            Emit("dialog control " + id,
                 std::string("list view") +
                     ((style & LVS_TYPEMASK) == LVS_REPORT ? " report" : "") +
                     ((style & LVS_SINGLESEL) ? " single" : "") +
                     ((style & LVS_SHOWSELALWAYS) ? " showsel" : ""));
            continue;
        }
        Emit("dialog control " + id, WindowText(child));
    }
}

void Automation::DialogListSelect(const std::string& args) {
    std::string id;
    std::string row;
    SplitFirst(args, id, row);
    const HWND list = ChildControl(ParseInt(id));
    RemoteBuffer remote(process_);
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    // -1: every row, as a click on the list's empty space leaves them.
    WPARAM target = static_cast<WPARAM>(-1);
    if (row != "none") {
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        target = static_cast<WPARAM>(ParseInt(row));
    }
    remote.Write(&item, sizeof(item));
    if (!Send(list, LVM_SETITEMSTATE, target, remote.Item()))
        Fail("dialog list " + id + " refused to select row " + row);
    Emit("dialog list " + id + " select", row);
}

// The control of the port dialog that has the keyboard focus, once it has
// it (after a message box over the dialog, the focus comes back a moment
// after the box has gone).
HWND Automation::WaitDialogFocus(const Deadline& deadline) const {
    const DWORD thread = ::GetWindowThreadProcessId(ChildDialog(), nullptr);
    for (;;) {
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof(gui);
        if (::GetGUIThreadInfo(thread, &gui) && gui.hwndFocus != nullptr &&
            (gui.hwndFocus == child_ || ::IsChild(child_, gui.hwndFocus)))
            return gui.hwndFocus;
        if (deadline.Passed()) Fail("the port dialog did not get the keyboard focus");
        ::Sleep(kPollMs);
    }
}

void Automation::DialogWaitRows(const std::string& args) {
    std::string idAndCount;
    std::string seconds;
    SplitLast(args, idAndCount, seconds);
    std::string id;
    std::string count;
    SplitFirst(idAndCount, id, count);
    const HWND list = ChildControl(ParseInt(id));
    const LRESULT wanted = ParseInt(count);
    const Deadline deadline(Seconds(seconds));
    while (Send(list, LVM_GETITEMCOUNT, 0, 0) != wanted) {
        if (deadline.Passed())
            Fail("timeout waiting for dialog list " + id + " to have " + count + " rows");
        ::Sleep(kPollMs);
    }
    Emit("dialog rows " + id, count);
}

// Enter and Escape go to the control with the focus, as typed keys do, so
// the dialog manager decides what they mean.
void Automation::DialogKey(const std::string& args) {
    const std::string key = Trim(args);
    if (key == "close") {
        ::PostMessageA(ChildDialog(), WM_CLOSE, 0, 0);
    } else {
        UINT virtualKey = 0;
        if (key == "enter")
            virtualKey = VK_RETURN;
        else if (key == "escape")
            virtualKey = VK_ESCAPE;
        else
            Fail("unknown key '" + key + "'");
        const HWND focus = WaitDialogFocus(Deadline(10000));
        const UINT scan = ::MapVirtualKeyA(virtualKey, 0);
        ::PostMessageA(focus, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
        ::PostMessageA(focus, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000u);
    }
    Emit("dialog key", key);
}

void Automation::DialogGone(const std::string& args) {
    const Deadline deadline(Seconds(args));
    while (child_ != nullptr && ::IsWindow(child_)) {
        if (deadline.Passed()) Fail("the port dialog stayed open");
        ::Sleep(kPollMs);
    }
    child_ = nullptr;
    Emit("dialog", "closed");
}

// --- The TCP/IP port monitor's dialogs ------------------------------------
// The monitor's own windows (tests/fixtures/win32/tcp_monitor), which the
// spooler shows for AddPortA and ConfigurePortA in the calling program.
//   wait-port-dialog add|configure <seconds>
//                             the dialog is up; prints its caption, its owner
//                             (installer or other, and the owner's caption)
//                             and its fields
//   port-dialog-set <id> <text>   types into a field: 1001 host, 1002 port
//                                 number, 1003 port name ("" for empty)
//   port-dialog-text <id>     a control's text; 1004 says why OK was refused
//   port-dialog-click <id>    clicks a button (IDOK, IDCANCEL)
//   port-dialog-gone <seconds>    the dialog has closed

bool Automation::RunPortDialogCommand(const std::string& command, const std::string& args) {
    if (command == "wait-port-dialog") {
        WaitPortDialog(args);
    } else if (command == "port-dialog-set") {
        std::string id, text;
        SplitFirst(args, id, text);
        if (text == "\"\"") text.clear();
        Send(PortDialogControl(ParseInt(id)), WM_SETTEXT, 0,
             reinterpret_cast<LPARAM>(text.c_str()));
        Emit("port-dialog set " + id, text);
    } else if (command == "port-dialog-text") {
        const int id = ParseInt(args);
        Emit("port-dialog text " + std::to_string(id), WindowText(PortDialogControl(id)));
    } else if (command == "port-dialog-click") {
        // Sent: the dialog opens no other window, and once the click is
        // handled it has either closed or said in 1004 why it stays.
        Send(PortDialogControl(ButtonId(Trim(args))), BM_CLICK, 0, 0);
        Emit("port-dialog clicked", Trim(args));
    } else if (command == "port-dialog-gone") {
        PortDialogGone(args);
    } else {
        return false;
    }
    return true;
}

void Automation::WaitPortDialog(const std::string& args) {
    std::string which, seconds;
    SplitFirst(args, which, seconds);
    const char* caption = which == "add"         ? TCP_ADD_PORT_CAPTION
                          : which == "configure" ? TCP_CONFIGURE_PORT_CAPTION
                                                 : nullptr;
    if (caption == nullptr) Fail("wait-port-dialog add|configure, not '" + which + "'");
    const Deadline deadline(Seconds(seconds));
    for (;;) {
        const HWND found = ::FindWindowA("#32770", caption);
        DWORD owner = 0;
        if (found != nullptr) ::GetWindowThreadProcessId(found, &owner);
        if (found != nullptr && ::IsWindowVisible(found) &&
            (processId_ == 0 || owner == processId_)) {
            portDialog_ = found;
            break;
        }
        if (deadline.Passed()) Fail("timeout waiting for the port monitor's " + which + " dialog");
        ::Sleep(kPollMs);
    }
    Emit("port-dialog caption", "[" + WindowText(portDialog_) + "]");
    const HWND parent = ::GetWindow(portDialog_, GW_OWNER);
    Emit("port-dialog owner", parent == dialog_ && dialog_ != nullptr ? "installer" : "other");
    Emit("port-dialog owner caption", "[" + (parent ? WindowText(parent) : std::string()) + "]");
    for (int id : {IDC_TCP_PORT_NAME, IDC_TCP_HOST, IDC_TCP_PORT_NUMBER})
        Emit("port-dialog field " + std::to_string(id), WindowText(PortDialogControl(id)));
}

void Automation::PortDialogGone(const std::string& args) {
    const Deadline deadline(Seconds(args));
    while (portDialog_ != nullptr && ::IsWindow(portDialog_)) {
        if (deadline.Passed()) Fail("the port monitor dialog stayed open");
        ::Sleep(kPollMs);
    }
    portDialog_ = nullptr;
    Emit("port-dialog", "closed");
}

}  // namespace automate
