// automate.exe: operates the installer's real dialog from another process,
// the way an operator would, and prints what it sees as "key: value" lines.
//
// It reads one command per line (from the file named on the command line,
// or from stdin); blank lines and lines starting with '#' are skipped. The
// first failing command ends the run with exit code 1, so a scenario never
// goes on operating a dialog that is not in the state it expects.
//
// Everything goes through window messages the system marshals between
// processes (WM_GETTEXT, CB_GETLBTEXT, BM_CLICK...); list-view messages
// carry pointers the system does not marshal, so their structures are
// written into the installer's own address space first.
//
// The port dialogs the installer opens over its main dialog are found by
// their caption (wait-dialog) and operated with the dialog-* commands.
//
// It also reports and prepares what the installer leaves behind, through
// the spooler's and the registry's own calls rather than the installer's
// window: printers, drivers and monitors, the default printer, registry
// values. These commands need no installer window.
#include "automate.h"

namespace automate {

void Automation::Run(const std::string& line) {
    std::string command;
    std::string args;
    SplitFirst(line, command, args);
    if (command == "wait-window")
        WaitWindow(args);
    else if (command == "wait-enabled")
        WaitEnabled(args);
    else if (command == "wait-text")
        WaitText(args, false);
    else if (command == "wait-status")
        WaitText(args, true);
    else if (command == "get-text")
        GetText(args);
    else if (command == "set-text")
        SetText(args);
    else if (command == "combo-items")
        ComboItems(args);
    else if (command == "combo-select")
        ComboSelect(args);
    else if (command == "list-items")
        ListItems(args);
    else if (command == "list-selected")
        ListSelected(args);
    else if (command == "list-select")
        ListSelect(args);
    else if (command == "is-enabled")
        IsEnabled(args);
    else if (command == "is-checked")
        IsChecked(args);
    else if (command == "wait-checked")
        WaitChecked(args);
    else if (command == "click")
        Click(args);
    else if (command == "wait-msgbox")
        WaitMessageBox(args);
    else if (command == "expect-no-msgbox")
        ExpectNoMessageBox(args);
    else if (command == "answer-msgbox")
        AnswerMessageBox(args);
    else if (command == "drain-msgboxes")
        DrainMessageBoxes(args);
    else if (command == "close")
        Close();
    else if (command == "close-until-exit")
        CloseUntilExit(args);
    else if (command == "wait-exit")
        WaitExit(args);
    else if (command == "screenshot")
        Screenshot(args);
    else if (command == "service-state")
        ServiceState(args);
    else if (command == "file-exists")
        FileExists(args);
    else if (command == "printers")
        Printers();
    else if (command == "ports")
        Ports();
    else if (command == "default-printer")
        DefaultPrinter();
    else if (command == "monitors")
        Monitors();
    else if (command == "drivers")
        Drivers(args);
    else if (command == "driver-add")
        DriverAdd(args);
    else if (command == "driver-delete")
        DriverDelete(args);
    else if (command == "monitor-delete")
        MonitorDelete(args);
    else if (command == "printer-add")
        PrinterAdd(args);
    else if (command == "printer-delete")
        PrinterDelete(args);
    else if (command == "registry")
        RegistryGet(args);
    else if (command == "registry-set")
        RegistrySet(args);
    else if (command == "registry-key")
        RegistryKey(args);
    else if (command == "registry-delete")
        RegistryDelete(args);
    else if (command == "sleep")
        ::Sleep(static_cast<DWORD>(ParseInt(args)));
    else if (command == "echo")
        Emit("echo", args);
    else if (RunPromptCommand(command, args)) {
    } else if (RunDialogCommand(command, args)) {
    } else if (RunPortDialogCommand(command, args)) {
    } else if (RunProgramCommand(command, args)) {
    } else
        Fail("unknown command '" + command + "'");
}

void Automation::WaitWindow(const std::string& args) {
    std::string caption;
    std::string seconds;
    SplitLast(args, caption, seconds);
    const Deadline deadline(Seconds(seconds));
    for (;;) {
        const HWND found = ::FindWindowA("#32770", caption.c_str());
        if (found != nullptr && ::IsWindowVisible(found)) {
            dialog_ = found;
            ::GetWindowThreadProcessId(found, &processId_);
            if (process_ != nullptr) ::CloseHandle(process_);
            process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                         PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                                     FALSE, processId_);
            Emit("window", caption);
            return;
        }
        if (deadline.Passed()) Fail("timeout waiting for window '" + caption + "'");
        ::Sleep(kPollMs);
    }
}

void Automation::WaitEnabled(const std::string& args) {
    std::string id;
    std::string seconds;
    SplitLast(args, id, seconds);
    const HWND control = Control(ParseInt(id));
    const Deadline deadline(Seconds(seconds));
    while (!::IsWindowEnabled(control)) {
        if (deadline.Passed()) Fail("timeout waiting for control " + id + " to be enabled");
        ::Sleep(kPollMs);
    }
    Emit("enabled " + id, "yes");
}

// Reports every distinct text the control shows while waiting. With
// failOnMessageBox, a message box of the installer ends the wait at once
// (it would hold the installer until answered): printed, photographed as
// "unexpected-msgbox", and a failure.
void Automation::WaitText(const std::string& args, bool failOnMessageBox) {
    std::string idAndPrefix;
    std::string seconds;
    SplitLast(args, idAndPrefix, seconds);
    std::string id;
    std::string prefix;
    SplitFirst(idAndPrefix, id, prefix);
    const HWND control = Control(ParseInt(id));
    const Deadline deadline(Seconds(seconds));
    std::string last;
    bool first = true;
    for (;;) {
        std::string text;
        try {
            text = WindowText(control);
        } catch (const Failure&) {
            // The dialog thread may be busy for a while; keep polling.
            if (deadline.Passed()) throw;
            continue;
        }
        if (first || text != last) {
            Emit("seen " + id, text);
            last = text;
            first = false;
        }
        if (text.compare(0, prefix.size(), prefix) == 0) {
            Emit("text " + id, text);
            return;
        }
        if (failOnMessageBox) {
            if (const HWND box = FindMessageBox()) {
                PrintMessageBox(box);
                Screenshot("unexpected-msgbox");
                Fail("unexpected message box");
            }
        }
        if (deadline.Passed())
            Fail("timeout waiting for control " + id + " to read '" + prefix + "'");
        ::Sleep(kPollMs);
    }
}

// wait-checked <id> <state> <seconds>: a click is posted, and a query sent
// right after it may be answered before the click is handled.
void Automation::WaitChecked(const std::string& args) {
    std::string idAndState;
    std::string seconds;
    SplitLast(args, idAndState, seconds);
    std::string id;
    std::string state;
    SplitFirst(idAndState, id, state);
    const HWND control = Control(ParseInt(id));
    const LRESULT wanted = ParseInt(state);
    const Deadline deadline(Seconds(seconds));
    while (Send(control, BM_GETCHECK, 0, 0) != wanted) {
        if (deadline.Passed())
            Fail("timeout waiting for control " + id + " to be checked " + state);
        ::Sleep(kPollMs);
    }
    Emit("checked " + id, state);
}

void Automation::SetText(const std::string& args) {
    std::string id;
    std::string text;
    SplitFirst(args, id, text);
    Send(Control(ParseInt(id)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Emit("set " + id, text);
}

void Automation::ComboItems(const std::string& args) {
    const int id = ParseInt(args);
    const HWND combo = Control(id);
    const int count = static_cast<int>(Send(combo, CB_GETCOUNT, 0, 0));
    const std::string key = "combo " + std::to_string(id);
    Emit(key + " count", std::to_string(count));
    for (int i = 0; i < count; ++i) {
        // Wine hands a cross-process CB_GETLBTEXTA back in UTF-16; asking
        // for the wide text and converting it works everywhere.
        const LRESULT length = SendW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        Emit(key + " item " + std::to_string(i), Narrow(text.data()));
    }
    Emit(key + " selected", std::to_string(Send(combo, CB_GETCURSEL, 0, 0)));
}

// Selecting programmatically sends no notification; the parent gets the
// CBN_SELCHANGE a user's choice would have produced.
void Automation::ComboSelect(const std::string& args) {
    std::string id;
    std::string index;
    SplitFirst(args, id, index);
    const int controlId = ParseInt(id);
    const HWND combo = Control(controlId);
    if (Send(combo, CB_SETCURSEL, static_cast<WPARAM>(ParseInt(index)), 0) == CB_ERR)
        Fail("combo " + id + " has no item " + index);
    Send(Dialog(), WM_COMMAND, MAKEWPARAM(controlId, CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(combo));
    Emit("selected " + id, index);
}

std::string Automation::ListItemText(HWND list, int row, int column) {
    RemoteBuffer remote(process_);
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = remote.Text();
    item.cchTextMax = static_cast<int>(RemoteBuffer::kSize - RemoteBuffer::kTextOffset);
    const char nothing = '\0';
    remote.Write(&item, sizeof(item));
    remote.Write(&nothing, 1, RemoteBuffer::kTextOffset);
    Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), remote.Item());
    return remote.ReadText();
}

void Automation::ListItems(const std::string& args) {
    const int id = ParseInt(args);
    ReportList(Control(id), "list " + std::to_string(id));
}

// "<key> columns", "<key> rows", then "<key> row <n>" with the columns
// joined by " | ".
void Automation::ReportList(HWND list, const std::string& key) {
    const HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    const int rows = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
    Emit(key + " columns", std::to_string(columns));
    Emit(key + " rows", std::to_string(rows));
    for (int row = 0; row < rows; ++row) {
        std::string joined;
        for (int column = 0; column < columns; ++column) {
            if (column > 0) joined += " | ";
            joined += ListItemText(list, row, column);
        }
        Emit(key + " row " + std::to_string(row), joined);
    }
}

void Automation::ListSelected(const std::string& args) {
    const int id = ParseInt(args);
    ReportSelected(Control(id), "list " + std::to_string(id) + " selected");
}

// The selected rows, "none" when there is none.
void Automation::ReportSelected(HWND list, const std::string& key) {
    const int rows = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
    std::string selected;
    for (int row = 0; row < rows; ++row) {
        if (Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED)
            selected += (selected.empty() ? "" : " ") + std::to_string(row);
    }
    Emit(key, selected.empty() ? "none" : selected);
}

void Automation::ListSelect(const std::string& args) {
    std::string id;
    std::string row;
    SplitFirst(args, id, row);
    const HWND list = Control(ParseInt(id));
    RemoteBuffer remote(process_);
    LVITEMA item = {};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    remote.Write(&item, sizeof(item));
    if (!Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(ParseInt(row)), remote.Item()))
        Fail("list " + id + " refused to select row " + row);
    Emit("list " + id + " select", row);
}

}  // namespace automate

int main(int argc, char** argv) {
    using namespace automate;
    _setmode(_fileno(stdout), _O_BINARY);
    std::ifstream file;
    if (argc > 1) {
        file.open(argv[1]);
        if (!file) {
            std::fprintf(stderr, "automate: cannot read %s\n", argv[1]);
            return 2;
        }
    }
    std::istream& input = argc > 1 ? static_cast<std::istream&>(file) : std::cin;

    Automation automation;
    std::string line;
    while (std::getline(input, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        try {
            automation.Run(line);
        } catch (const Failure& failure) {
            Emit("error", failure.what + " (in '" + line + "')");
            return 1;
        }
    }
    Emit("done", "ok");
    return 0;
}
