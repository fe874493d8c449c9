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
#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

// The dialogs of the test Standard TCP/IP port monitor: captions and control ids.
#include "../fixtures/win32/tcp_monitor/tcp_monitor_ui_ids.h"

namespace {

constexpr DWORD kPollMs = 5;
constexpr UINT kSendTimeoutMs = 2000;
// Without a window manager, Wine's X11 driver holds a thread that hides a
// managed window (a message box going away) for 2 s, waiting for the
// manager that never answers: a dialog owned by that thread answers late.
constexpr UINT kPatientSendTimeoutMs = 10000;

void Emit(const std::string& key, const std::string& value) {
    std::printf("%s: %s\n", key.c_str(), value.c_str());
    std::fflush(stdout);
}

struct Failure {
    std::string what;
};

[[noreturn]] void Fail(const std::string& what) {
    throw Failure{what};
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

int ParseInt(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') Fail("not a number: '" + text + "'");
    return static_cast<int>(value);
}

DWORD Seconds(const std::string& text) {
    return static_cast<DWORD>(ParseInt(text)) * 1000;
}

// Splits "<words...> <last>" where the leading text may contain blanks.
void SplitLast(const std::string& rest, std::string& head, std::string& last) {
    const std::string trimmed = Trim(rest);
    const size_t blank = trimmed.find_last_of(' ');
    if (blank == std::string::npos) Fail("missing argument in '" + rest + "'");
    head = Trim(trimmed.substr(0, blank));
    last = trimmed.substr(blank + 1);
}

// Splits "<first> <rest...>".
void SplitFirst(const std::string& rest, std::string& first, std::string& tail) {
    const std::string trimmed = Trim(rest);
    const size_t blank = trimmed.find(' ');
    first = trimmed.substr(0, blank);
    tail = blank == std::string::npos ? std::string() : Trim(trimmed.substr(blank + 1));
}

int ButtonId(const std::string& name) {
    static const struct {
        const char* name;
        int id;
    } kButtons[] = {
        {"IDOK", IDOK},
        {"IDCANCEL", IDCANCEL},
        {"IDABORT", IDABORT},
        {"IDRETRY", IDRETRY},
        {"IDIGNORE", IDIGNORE},
        {"IDYES", IDYES},
        {"IDNO", IDNO},
        {"IDCLOSE", IDCLOSE},
        {"IDTRYAGAIN", IDTRYAGAIN},
        {"IDCONTINUE", IDCONTINUE},
    };
    for (const auto& button : kButtons)
        if (name == button.name) return button.id;
    return ParseInt(name);
}

std::string ServiceStateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED: return "stopped";
        case SERVICE_START_PENDING: return "start-pending";
        case SERVICE_STOP_PENDING: return "stop-pending";
        case SERVICE_RUNNING: return "running";
        case SERVICE_CONTINUE_PENDING: return "continue-pending";
        case SERVICE_PAUSE_PENDING: return "pause-pending";
        case SERVICE_PAUSED: return "paused";
        default: return std::to_string(state);
    }
}

std::string Narrow(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(size) - 1);
    return narrow;
}

class Deadline {
public:
    explicit Deadline(DWORD milliseconds) : start_(::GetTickCount()), length_(milliseconds) {}
    bool Passed() const { return ::GetTickCount() - start_ >= length_; }

private:
    DWORD start_;
    DWORD length_;
};

// Memory in the installer's process for one list-view call: the item
// structure at the start, a text buffer after it.
class RemoteBuffer {
public:
    static constexpr SIZE_T kSize = 4096;
    static constexpr SIZE_T kTextOffset = 1024;

    explicit RemoteBuffer(HANDLE process) : process_(process) {
        base_ = ::VirtualAllocEx(process, nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (base_ == nullptr)
            Fail("VirtualAllocEx failed, error " + std::to_string(::GetLastError()));
    }
    ~RemoteBuffer() { ::VirtualFreeEx(process_, base_, 0, MEM_RELEASE); }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    LPARAM Item() const { return reinterpret_cast<LPARAM>(base_); }
    char* Text() const { return static_cast<char*>(base_) + kTextOffset; }

    void Write(const void* data, SIZE_T size, SIZE_T offset = 0) {
        SIZE_T written = 0;
        if (!::WriteProcessMemory(process_, static_cast<char*>(base_) + offset, data, size,
                                  &written) ||
            written != size)
            Fail("WriteProcessMemory failed, error " + std::to_string(::GetLastError()));
    }
    std::string ReadText() {
        std::vector<char> text(kSize - kTextOffset + 1, '\0');
        SIZE_T read = 0;
        if (!::ReadProcessMemory(process_, Text(), text.data(), kSize - kTextOffset, &read))
            Fail("ReadProcessMemory failed, error " + std::to_string(::GetLastError()));
        return std::string(text.data());
    }

private:
    HANDLE process_;
    void* base_ = nullptr;
};

class Automation {
public:
    ~Automation() {
        if (process_ != nullptr) ::CloseHandle(process_);
        for (auto& entry : programs_) ::CloseHandle(entry.second.process);
        for (HANDLE event : events_) ::CloseHandle(event);
    }

    void Run(const std::string& line);

private:
    // --- The installer's windows ---
    HWND Dialog() const {
        if (dialog_ == nullptr || !::IsWindow(dialog_))
            Fail("no installer window (wait-window first)");
        return dialog_;
    }
    HWND Control(int id) const {
        const HWND control = ::GetDlgItem(Dialog(), id);
        if (control == nullptr) Fail("no control " + std::to_string(id));
        return control;
    }
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
        return SendWith(::SendMessageTimeoutA, window, message, wParam, lParam);
    }
    LRESULT SendW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
        return SendWith(::SendMessageTimeoutW, window, message, wParam, lParam);
    }
    // A hung installer fails the run instead of hanging it.
    template <typename SendTimeout>
    LRESULT SendWith(SendTimeout send, HWND window, UINT message, WPARAM wParam,
                     LPARAM lParam) const {
        DWORD_PTR result = 0;
        const DWORD start = ::GetTickCount();
        const UINT timeout = patient_ ? kPatientSendTimeoutMs : kSendTimeoutMs;
        if (!send(window, message, wParam, lParam, SMTO_ABORTIFHUNG, timeout, &result))
            Fail("window did not answer message " + std::to_string(message) + " (error " +
                 std::to_string(::GetLastError()) + " after " +
                 std::to_string(::GetTickCount() - start) + " ms)");
        return static_cast<LRESULT>(result);
    }
    // The text may change between the length query and the copy (the
    // start-up worker keeps rewriting the status line): a full buffer is
    // read again with more room rather than reported cut short.
    std::string WindowText(HWND window) const {
        const LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
        size_t size = static_cast<size_t>(length > 0 ? length : 0) + 256;
        for (;;) {
            std::vector<char> buffer(size, '\0');
            const LRESULT copied =
                Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
            if (copied < 0 || static_cast<size_t>(copied) + 1 < size)
                return std::string(buffer.data());
            size *= 2;
        }
    }
    HWND FindMessageBox() const;
    void PrintMessageBox(HWND box) const;
    void Answer(HWND box, int button);
    std::string ListItemText(HWND list, int row, int column);

    // --- Commands ---
    void WaitWindow(const std::string& args);
    void WaitEnabled(const std::string& args);
    void WaitText(const std::string& args, bool failOnMessageBox);
    void GetText(const std::string& args) {
        const int id = ParseInt(args);
        Emit("text " + std::to_string(id), WindowText(Control(id)));
    }
    void SetText(const std::string& args);
    void ComboItems(const std::string& args);
    void ComboSelect(const std::string& args);
    void ListItems(const std::string& args);
    void ListSelected(const std::string& args);
    void ListSelect(const std::string& args);
    void IsEnabled(const std::string& args) {
        const int id = ParseInt(args);
        Emit("enabled " + std::to_string(id), ::IsWindowEnabled(Control(id)) ? "yes" : "no");
    }
    void IsChecked(const std::string& args) {
        const int id = ParseInt(args);
        Emit("checked " + std::to_string(id), std::to_string(Send(Control(id), BM_GETCHECK, 0, 0)));
    }
    void WaitChecked(const std::string& args);
    void Click(const std::string& args) {
        // Posted: the click's handler may open message boxes, and a sent
        // message would hold this program until they are answered.
        const int id = ParseInt(args);
        ::PostMessageA(Control(id), BM_CLICK, 0, 0);
        Emit("clicked", std::to_string(id));
    }
    void WaitMessageBox(const std::string& args);
    void ExpectNoMessageBox(const std::string& args);
    void AnswerMessageBox(const std::string& args);
    void DrainMessageBoxes(const std::string& args);
    void Close() {
        ::PostMessageA(Dialog(), WM_CLOSE, 0, 0);
        Emit("closed", "yes");
    }
    void WaitExit(const std::string& args);
    void CloseUntilExit(const std::string& args);
    void Screenshot(const std::string& args);
    void ServiceState(const std::string& args);
    void FileExists(const std::string& args);
    void Printers();
    void Ports();
    void DefaultPrinter();
    void Monitors();
    void Drivers(const std::string& args);
    void DriverAdd(const std::string& args);
    void DriverDelete(const std::string& args);
    void MonitorDelete(const std::string& args);
    void PrinterAdd(const std::string& args);
    void PrinterDelete(const std::string& args);
    void RegistryGet(const std::string& args);
    void RegistrySet(const std::string& args);
    void RegistryKey(const std::string& args);
    void RegistryDelete(const std::string& args);

    HWND dialog_ = nullptr;
    DWORD processId_ = 0;
    HANDLE process_ = nullptr;
    HWND messageBox_ = nullptr;

    // --- The serial port prompt (dialog template 136) ---
    bool RunPromptCommand(const std::string& command, const std::string& args);
    HWND Prompt() const {
        if (prompt_ == nullptr || !::IsWindow(prompt_))
            Fail("no serial prompt (wait-prompt first)");
        return prompt_;
    }
    HWND PromptControl(int id) const {
        const HWND control = ::GetDlgItem(Prompt(), id);
        if (control == nullptr) Fail("the serial prompt has no control " + std::to_string(id));
        return control;
    }
    void WaitPrompt(const std::string& args);
    void PromptItems();
    void PromptSelect(const std::string& args);
    void PromptClick(const std::string& args);
    void PromptKey(const std::string& args);
    void PromptGone(const std::string& args);

    HWND prompt_ = nullptr;

    // --- The port dialogs (templates 137 and 129), found by caption ---
    bool RunDialogCommand(const std::string& command, const std::string& args);
    HWND ChildDialog() const {
        if (child_ == nullptr || !::IsWindow(child_)) Fail("no port dialog (wait-dialog first)");
        return child_;
    }
    HWND ChildControl(int id) const {
        const HWND control = ::GetDlgItem(ChildDialog(), id);
        if (control == nullptr) Fail("the port dialog has no control " + std::to_string(id));
        return control;
    }
    void ReportList(HWND list, const std::string& key);
    void ReportSelected(HWND list, const std::string& key);
    void WaitDialog(const std::string& args);
    void DialogListSelect(const std::string& args);
    void DialogWaitRows(const std::string& args);
    void DialogKey(const std::string& args);
    void DialogGone(const std::string& args);
    HWND WaitDialogFocus(const Deadline& deadline) const;

    HWND child_ = nullptr;
    bool patient_ = false;  // the dialog-* commands allow for late answers

    // --- The TCP/IP port monitor's add and configure dialogs ---
    bool RunPortDialogCommand(const std::string& command, const std::string& args);
    HWND PortDialog() const {
        if (portDialog_ == nullptr || !::IsWindow(portDialog_))
            Fail("no port monitor dialog (wait-port-dialog first)");
        return portDialog_;
    }
    HWND PortDialogControl(int id) const {
        const HWND control = ::GetDlgItem(PortDialog(), id);
        if (control == nullptr)
            Fail("the port monitor dialog has no control " + std::to_string(id));
        return control;
    }
    void WaitPortDialog(const std::string& args);
    void PortDialogGone(const std::string& args);

    HWND portDialog_ = nullptr;

    // --- Programs run the way a deployment tool runs them ---
    bool RunProgramCommand(const std::string& command, const std::string& args);
    void StartProgram(const std::string& args);
    void WaitProgram(const std::string& args);
    void WaitMutex(const std::string& args);
    void SetNamedEvent(const std::string& args);
    void WindowState(const std::string& args);
    void WaitRegistry(const std::string& args);
    void PrintRaw(const std::string& args);

    struct Program {
        HANDLE process = nullptr;
        std::string output;  // the file its standard output and error went to
    };
    std::map<std::string, Program> programs_;
    std::vector<HANDLE> events_;  // kept open, so the events outlive their setting
};

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

struct MessageBoxSearch {
    DWORD processId;
    HWND exclude;
    HWND excludeToo;  // the port dialog being operated, if any
    HWND found;
};

// A stdcall function, not a lambda: on i686 EnumWindows needs that
// calling convention.
BOOL CALLBACK MatchMessageBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<MessageBoxSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[32] = {};
    ::GetClassNameA(window, className, sizeof(className));
    if (owner == search->processId && window != search->exclude && window != search->excludeToo &&
        ::IsWindowVisible(window) && std::string(className) == "#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A message box is a dialog of the installer's process other than the main
// dialog (and the port dialog that wait-dialog found); the dialogs' own
// controls never use that class.
HWND Automation::FindMessageBox() const {
    const HWND portDialog = child_ != nullptr && ::IsWindow(child_) ? child_ : nullptr;
    MessageBoxSearch search{processId_, dialog_, portDialog, nullptr};
    ::EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Automation::PrintMessageBox(HWND box) const {
    std::string text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        ::GetClassNameA(child, className, sizeof(className));
        if (lstrcmpiA(className, "Static") != 0) continue;
        const std::string part = WindowText(child);
        if (!part.empty()) text += (text.empty() ? "" : " ") + part;
    }
    // One line per box: line breaks are written as \r and \n.
    std::string escaped;
    for (const char c : text) {
        if (c == '\r')
            escaped += "\\r";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    Emit("msgbox caption", WindowText(box));
    Emit("msgbox text", escaped);
}

void Automation::Answer(HWND box, int button) {
    const HWND control = ::GetDlgItem(box, button);
    if (control == nullptr) Fail("message box has no button " + std::to_string(button));
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(control));
    const Deadline deadline(10000);
    while (::IsWindow(box) && ::IsWindowVisible(box)) {
        if (deadline.Passed())
            Fail("message box stayed open after answer " + std::to_string(button));
        ::Sleep(kPollMs);
    }
    Emit("msgbox answer", std::to_string(button));
}

void Automation::WaitMessageBox(const std::string& args) {
    const Deadline deadline(Seconds(args));
    Dialog();
    while ((messageBox_ = FindMessageBox()) == nullptr) {
        if (deadline.Passed()) Fail("timeout waiting for a message box");
        ::Sleep(kPollMs);
    }
    PrintMessageBox(messageBox_);
}

void Automation::ExpectNoMessageBox(const std::string& args) {
    const Deadline deadline(Seconds(args));
    Dialog();
    while (!deadline.Passed()) {
        if (const HWND box = FindMessageBox()) {
            PrintMessageBox(box);
            Fail("unexpected message box");
        }
        ::Sleep(kPollMs);
    }
    Emit("msgbox", "none");
}

void Automation::AnswerMessageBox(const std::string& args) {
    if (messageBox_ == nullptr || !::IsWindow(messageBox_)) messageBox_ = FindMessageBox();
    if (messageBox_ == nullptr) Fail("no message box to answer");
    Answer(messageBox_, ButtonId(Trim(args)));
    messageBox_ = nullptr;
}

// Answers every message box that comes up with OK, or Cancel where there is
// no OK, until none has come for <quiet> seconds while the dialog was idle
// (answering messages), or the installer has ended; at most 5 minutes.
// With a control ID, also reports every distinct text that control shows.
void Automation::DrainMessageBoxes(const std::string& args) {
    std::string quietText;
    std::string watchText;
    SplitFirst(args, quietText, watchText);
    const DWORD quiet = Seconds(quietText);
    const HWND watched = watchText.empty() ? nullptr : Control(ParseInt(watchText));
    const Deadline overall(300000);
    std::string lastSeen;
    int answered = 0;
    auto watch = [&] {
        if (watched == nullptr || !::IsWindow(watched)) return;
        try {
            const std::string text = WindowText(watched);
            if (text != lastSeen) Emit("seen " + watchText, lastSeen = text);
        } catch (const Failure&) {}
    };
    for (;;) {
        Deadline idle(quiet);
        HWND box = nullptr;
        while ((box = FindMessageBox()) == nullptr && ::IsWindow(dialog_) && !overall.Passed()) {
            watch();
            DWORD_PTR ignored = 0;
            if (!::SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored))
                idle = Deadline(quiet);  // busy: an installation step is running
            else if (idle.Passed())
                break;
            ::Sleep(kPollMs);
        }
        if (box == nullptr) break;
        watch();
        PrintMessageBox(box);
        Screenshot("msgbox-" + std::to_string(++answered));
        Answer(box, ::GetDlgItem(box, IDOK) != nullptr ? IDOK : IDCANCEL);
    }
    watch();
    Emit("msgboxes answered", std::to_string(answered));
}

void Automation::WaitExit(const std::string& args) {
    if (process_ == nullptr) Fail("no installer process (wait-window first)");
    if (::WaitForSingleObject(process_, Seconds(args)) != WAIT_OBJECT_0)
        Fail("timeout waiting for the installer to exit");
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    Emit("exited", std::to_string(code));
}

// close-until-exit <seconds>: the close box, then whatever the installer
// still asks is answered the way that ends soonest (Cancel, else No, else
// OK, else the box's own close), until the installer is gone. Fails if it
// is still there after <seconds>.
void Automation::CloseUntilExit(const std::string& args) {
    if (process_ == nullptr) Fail("no installer process (wait-window first)");
    const Deadline deadline(Seconds(args));
    ::PostMessageA(dialog_, WM_CLOSE, 0, 0);
    int answered = 0;
    HWND lastBox = nullptr;
    while (::WaitForSingleObject(process_, kPollMs) == WAIT_TIMEOUT) {
        if (deadline.Passed()) Fail("the installer did not end after the close box");
        const HWND box = FindMessageBox();
        if (box == nullptr || box == lastBox) {
            lastBox = box != nullptr && ::IsWindow(box) ? lastBox : nullptr;
            continue;
        }
        // A box that has just come up after a long step counts as hung
        // until its thread first looks for messages: read it next time.
        try {
            PrintMessageBox(box);
        } catch (const Failure&) {
            continue;
        }
        int button = 0;
        for (const int candidate : {IDCANCEL, IDNO, IDOK}) {
            if (::GetDlgItem(box, candidate) != nullptr) {
                button = candidate;
                break;
            }
        }
        if (button != 0)
            ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
        else
            ::PostMessageA(box, WM_CLOSE, 0, 0);
        lastBox = box;
        ++answered;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    Emit("answered", std::to_string(answered));
    Emit("exited", std::to_string(code));
}

// Prints a marker for the harness, which takes the picture; with
// AUTOMATE_SCREENSHOT_ACK set, waits (at most 30 s) for the harness to drop
// "<name>.ack" into the current folder before going on.
void Automation::Screenshot(const std::string& args) {
    const std::string name = Trim(args);
    Emit("screenshot", name);
    if (std::getenv("AUTOMATE_SCREENSHOT_ACK") == nullptr) return;
    const std::string ack = name + ".ack";
    const Deadline deadline(30000);
    while (::GetFileAttributesA(ack.c_str()) == INVALID_FILE_ATTRIBUTES && !deadline.Passed())
        ::Sleep(20);
    ::DeleteFileA(ack.c_str());
}

void Automation::ServiceState(const std::string& args) {
    const std::string name = Trim(args);
    const SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr)
        Fail("OpenSCManagerA failed, error " + std::to_string(::GetLastError()));
    const SC_HANDLE service = ::OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    const bool queried = service != nullptr && ::QueryServiceStatus(service, &status);
    const DWORD error = ::GetLastError();
    if (service != nullptr) ::CloseServiceHandle(service);
    ::CloseServiceHandle(manager);
    if (!queried) Fail("service " + name + " cannot be queried, error " + std::to_string(error));
    Emit("service " + name, ServiceStateName(status.dwCurrentState));
}

// --- The spooler's and the registry's view --------------------------------

std::string Field(const char* text) {
    return text != nullptr ? text : "(null)";
}

// "a | b | c" into its trimmed parts; names of printers, keys and values
// hold blanks, so arguments that take several are split at '|'.
std::vector<std::string> Fields(const std::string& args, size_t count) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = args.find('|', start);
        parts.push_back(Trim(args.substr(start, bar == std::string::npos ? bar : bar - start)));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    if (parts.size() != count)
        Fail("expected " + std::to_string(count) + " arguments separated by '|' in '" + args + "'");
    return parts;
}

// The spooler's Enum* calls: asked once for the size, then for the records.
template <typename Enumerate>
std::vector<BYTE> EnumRecords(const char* what, DWORD& count, Enumerate enumerate) {
    DWORD needed = 0;
    count = 0;
    enumerate(nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!enumerate(buffer.data(), needed, &needed, &count))
        Fail(std::string(what) + " failed, error " + std::to_string(::GetLastError()));
    return buffer;
}

void Automation::FileExists(const std::string& args) {
    const std::string path = Trim(args);
    Emit("file " + path,
         ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? "yes" : "no");
}

void Automation::Printers() {
    DWORD count = 0;
    const std::vector<BYTE> buffer =
        EnumRecords("EnumPrintersA", count, [](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, got);
        });
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("printer", Field(printers[i].pPrinterName) + " | " + Field(printers[i].pPortName) +
                            " | " + Field(printers[i].pDriverName));
    Emit("printers", std::to_string(count));
}

// The spooler's ports, in its order, with their descriptions.
void Automation::Ports() {
    DWORD count = 0;
    const std::vector<BYTE> buffer =
        EnumRecords("EnumPortsA", count, [](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumPortsA(nullptr, 2, data, size, needed, got);
        });
    const auto* ports = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("port", Field(ports[i].pPortName) + " | " + Field(ports[i].pDescription));
    Emit("ports", std::to_string(count));
}

void Automation::DefaultPrinter() {
    char name[512] = {};
    DWORD size = sizeof(name);
    if (::GetDefaultPrinterA(name, &size))
        Emit("default printer", name);
    else
        Emit("default printer", "none (error " + std::to_string(::GetLastError()) + ")");
}

void Automation::Monitors() {
    DWORD count = 0;
    const std::vector<BYTE> buffer =
        EnumRecords("EnumMonitorsA", count, [](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumMonitorsA(nullptr, 2, data, size, needed, got);
        });
    const auto* monitors = reinterpret_cast<const MONITOR_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("monitor", Field(monitors[i].pName) + " | " + Field(monitors[i].pEnvironment) + " | " +
                            Field(monitors[i].pDLLName));
    Emit("monitors", std::to_string(count));
}

// drivers <environment>: the drivers registered for it, with their version.
void Automation::Drivers(const std::string& args) {
    std::string environment = Trim(args);
    DWORD count = 0;
    const std::vector<BYTE> buffer = EnumRecords(
        "EnumPrinterDriversA", count, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* got) {
            return ::EnumPrinterDriversA(nullptr, &environment[0], 2, data, size, needed, got);
        });
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        Emit("driver", Field(drivers[i].pName) + " | " + Field(drivers[i].pEnvironment) + " | " +
                           std::to_string(drivers[i].cVersion));
    Emit("drivers " + environment, std::to_string(count));
}

// driver-add <name>: a driver record whose files are placeholders, in the
// environment of this program's spooler (under Wine the spooler runs inside
// the calling program: "Windows NT x86" for a 32-bit one). The spooler keeps
// the names and skips the copies that fail.
void Automation::DriverAdd(const std::string& args) {
    std::string name = Trim(args);
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = &name[0];
    driver.pDriverPath = const_cast<char*>("e2edrv.dll");
    driver.pDataFile = const_cast<char*>("e2edrv.gpd");
    driver.pConfigFile = const_cast<char*>("e2eui.dll");
    driver.pDefaultDataType = const_cast<char*>("RAW");
    if (!::AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES))
        Fail("AddPrinterDriverExA failed, error " + std::to_string(::GetLastError()));
    Emit("driver added", name);
}

// driver-delete <environment> | <name>: gone afterwards, whether it was
// there or not. Wine answers an unknown name with 1801, Windows with 1797.
void Automation::DriverDelete(const std::string& args) {
    std::vector<std::string> parts = Fields(args, 2);
    if (!::DeletePrinterDriverA(nullptr, &parts[0][0], &parts[1][0]) &&
        ::GetLastError() != ERROR_UNKNOWN_PRINTER_DRIVER &&
        ::GetLastError() != ERROR_INVALID_PRINTER_NAME)
        Fail("DeletePrinterDriverA failed, error " + std::to_string(::GetLastError()));
    Emit("driver deleted", parts[1] + " | " + parts[0]);
}

// monitor-delete <environment> | <name>: gone afterwards, whether it was
// there or not.
void Automation::MonitorDelete(const std::string& args) {
    std::vector<std::string> parts = Fields(args, 2);
    if (!::DeleteMonitorA(nullptr, &parts[0][0], &parts[1][0]) &&
        ::GetLastError() != ERROR_UNKNOWN_PRINT_MONITOR)
        Fail("DeleteMonitorA failed, error " + std::to_string(::GetLastError()));
    Emit("monitor deleted", parts[1]);
}

// printer-add <name> | <port> | <driver>
void Automation::PrinterAdd(const std::string& args) {
    std::vector<std::string> parts = Fields(args, 3);
    PRINTER_INFO_2A info = {};
    info.pPrinterName = &parts[0][0];
    info.pPortName = &parts[1][0];
    info.pDriverName = &parts[2][0];
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    const HANDLE printer = ::AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (printer == nullptr) Fail("AddPrinterA failed, error " + std::to_string(::GetLastError()));
    ::ClosePrinter(printer);
    Emit("printer added", parts[0]);
}

// printer-delete <name>: gone afterwards, whether it was there or not.
void Automation::PrinterDelete(const std::string& args) {
    std::string name = Trim(args);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!::OpenPrinterA(&name[0], &printer, &defaults)) {
        Emit("printer deleted", name + " (was not there)");
        return;
    }
    const BOOL deleted = ::DeletePrinter(printer);
    const DWORD error = ::GetLastError();
    ::ClosePrinter(printer);
    if (!deleted) Fail("DeletePrinter " + name + " failed, error " + std::to_string(error));
    Emit("printer deleted", name);
}

// Registry keys as "HKLM\\..." or "HKCU\\..."; always the 64-bit view, the
// one the spooler and the reg command of a 64-bit prefix use.
HKEY RootOf(const std::string& path, std::string& subKey) {
    static const struct {
        const char* name;
        HKEY root;
    } kRoots[] = {{"HKLM\\", HKEY_LOCAL_MACHINE},
                  {"HKCU\\", HKEY_CURRENT_USER},
                  {"HKCC\\", HKEY_CURRENT_CONFIG}};
    for (const auto& root : kRoots) {
        const size_t length = std::strlen(root.name);
        if (path.size() > length && lstrcmpiA(path.substr(0, length).c_str(), root.name) == 0) {
            subKey = path.substr(length);
            return root.root;
        }
    }
    Fail("registry key must start with HKLM\\, HKCU\\ or HKCC\\: '" + path + "'");
}

// registry <key> | <value>: one line per string of a REG_MULTI_SZ, the
// number of a REG_DWORD, the text of a REG_SZ, "(missing)" when absent.
void Automation::RegistryGet(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 2);
    std::string subKey;
    const HKEY root = RootOf(parts[0], subKey);
    const std::string key = "registry " + parts[1];
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &handle) !=
        ERROR_SUCCESS) {
        Emit(key, "(missing)");
        return;
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(handle, parts[1].c_str(), nullptr, &type, nullptr, &size);
    std::vector<char> data(size + 2, '\0');
    if (result == ERROR_SUCCESS)
        result = ::RegQueryValueExA(handle, parts[1].c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &size);
    ::RegCloseKey(handle);
    if (result != ERROR_SUCCESS) {
        Emit(key, "(missing)");
        return;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof(number));
        Emit(key, std::to_string(number));
    } else if (type == REG_MULTI_SZ) {
        int strings = 0;
        for (const char* text = data.data(); text < data.data() + size && *text != '\0';
             text += std::strlen(text) + 1) {
            Emit(key, text);
            ++strings;
        }
        Emit(key + " strings", std::to_string(strings));
    } else {
        Emit(key, data.data());
    }
}

// registry-set <key> | <value> | <text>: a REG_SZ, the key made if need be.
void Automation::RegistrySet(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 3);
    std::string subKey;
    const HKEY root = RootOf(parts[0], subKey);
    HKEY handle = nullptr;
    LONG result = ::RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0,
                                    KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &handle, nullptr);
    if (result == ERROR_SUCCESS) {
        result = ::RegSetValueExA(handle, parts[1].c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(parts[2].c_str()),
                                  static_cast<DWORD>(parts[2].size() + 1));
        ::RegCloseKey(handle);
    }
    if (result != ERROR_SUCCESS)
        Fail("cannot set " + parts[0] + " " + parts[1] + ", error " + std::to_string(result));
    Emit("registry set", parts[0] + " | " + parts[1]);
}

// registry-key <key>: the key, made if need be.
void Automation::RegistryKey(const std::string& args) {
    const std::string path = Trim(args);
    std::string subKey;
    const HKEY root = RootOf(path, subKey);
    HKEY handle = nullptr;
    const LONG result =
        ::RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                          nullptr, &handle, nullptr);
    if (result != ERROR_SUCCESS) Fail("cannot make " + path + ", error " + std::to_string(result));
    ::RegCloseKey(handle);
    Emit("registry key", path);
}

// registry-delete <key> | <value>: gone afterwards, whether it was there or not.
void Automation::RegistryDelete(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 2);
    std::string subKey;
    const HKEY root = RootOf(parts[0], subKey);
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &handle) ==
        ERROR_SUCCESS) {
        const LONG result = ::RegDeleteValueA(handle, parts[1].c_str());
        ::RegCloseKey(handle);
        if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
            Fail("cannot delete " + parts[0] + " " + parts[1] + ", error " +
                 std::to_string(result));
    }
    Emit("registry deleted", parts[0] + " | " + parts[1]);
}

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

// start <name> | <command line>: starts a program as a deployment tool
// does (from this program's current folder, standard output and error into
// the file <name>.out there), without waiting for it.
//   wait-program <name> <seconds>: waits for it to end; prints its exit code
//   as the system reports it (all 32 bits) and every line it wrote.
//   run <name> <seconds> | <command line>: both at once.
bool Automation::RunProgramCommand(const std::string& command, const std::string& args) {
    if (command == "start")
        StartProgram(args);
    else if (command == "wait-program")
        WaitProgram(args);
    else if (command == "run") {
        const size_t bar = args.find('|');
        if (bar == std::string::npos) Fail("run needs '<name> <seconds> | <command line>'");
        std::string name;
        std::string seconds;
        SplitFirst(args.substr(0, bar), name, seconds);
        StartProgram(name + " |" + args.substr(bar + 1));
        WaitProgram(name + " " + seconds);
    } else if (command == "wait-mutex")
        WaitMutex(args);
    else if (command == "event-set")
        SetNamedEvent(args);
    else if (command == "window-state")
        WindowState(args);
    else if (command == "wait-registry")
        WaitRegistry(args);
    else if (command == "print-raw")
        PrintRaw(args);
    else
        return false;
    return true;
}

void Automation::StartProgram(const std::string& args) {
    const size_t bar = args.find('|');
    if (bar == std::string::npos) Fail("start needs '<name> | <command line>'");
    const std::string name = Trim(args.substr(0, bar));
    std::string commandLine = Trim(args.substr(bar + 1));
    if (name.empty() || commandLine.empty()) Fail("start needs '<name> | <command line>'");
    if (programs_.count(name) != 0) Fail("a program '" + name + "' was started already");
    Program program;
    program.output = name + ".out";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    const HANDLE output = ::CreateFileA(program.output.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE input = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) Fail("cannot create " + program.output);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info = {};
    const BOOL created = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &startup, &info);
    const DWORD error = ::GetLastError();
    ::CloseHandle(output);
    if (input != INVALID_HANDLE_VALUE) ::CloseHandle(input);
    if (!created) Fail("cannot start '" + commandLine + "', error " + std::to_string(error));
    ::CloseHandle(info.hThread);
    program.process = info.hProcess;
    programs_[name] = program;
    Emit("started " + name, commandLine);
}

void Automation::WaitProgram(const std::string& args) {
    std::string name;
    std::string seconds;
    SplitLast(args, name, seconds);
    auto found = programs_.find(name);
    if (found == programs_.end()) Fail("no program '" + name + "' was started");
    if (::WaitForSingleObject(found->second.process, Seconds(seconds)) != WAIT_OBJECT_0)
        Fail("timeout waiting for program '" + name + "' to end");
    DWORD code = 0;
    ::GetExitCodeProcess(found->second.process, &code);
    std::ifstream output(found->second.output, std::ios::binary);
    std::string line;
    while (std::getline(output, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Emit("program " + name + " out", line);
    }
    Emit("program " + name + " exit", std::to_string(code));
}

void Automation::WaitMutex(const std::string& args) {
    std::string name;
    std::string seconds;
    SplitLast(args, name, seconds);
    const Deadline deadline(Seconds(seconds));
    for (;;) {
        const HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
        if (mutex != nullptr) {
            ::CloseHandle(mutex);
            Emit("mutex", name);
            return;
        }
        if (deadline.Passed()) Fail("timeout waiting for the mutex '" + name + "'");
        ::Sleep(kPollMs);
    }
}

void Automation::SetNamedEvent(const std::string& args) {
    const std::string name = Trim(args);
    const HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    if (event == nullptr)
        Fail("cannot make the event '" + name + "', error " + std::to_string(::GetLastError()));
    ::SetEvent(event);
    events_.push_back(event);
    Emit("event set", name);
}

// window-state <caption>: "none", "hidden" or "visible" for the dialog of
// that caption (hidden windows are found as well).
void Automation::WindowState(const std::string& args) {
    const std::string caption = Trim(args);
    const HWND found = ::FindWindowA("#32770", caption.c_str());
    Emit("window " + caption, found == nullptr           ? "none"
                              : ::IsWindowVisible(found) ? "visible"
                                                         : "hidden");
}

// wait-registry <key> | <value> | <text> <seconds>: until the REG_SZ value reads <text>.
void Automation::WaitRegistry(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 3);
    std::string text;
    std::string seconds;
    SplitLast(parts[2], text, seconds);
    std::string subKey;
    const HKEY root = RootOf(parts[0], subKey);
    const Deadline deadline(Seconds(seconds));
    for (;;) {
        HKEY handle = nullptr;
        char data[512] = {};
        DWORD size = sizeof(data) - 1;
        DWORD type = 0;
        if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &handle) ==
            ERROR_SUCCESS) {
            const LONG result = ::RegQueryValueExA(handle, parts[1].c_str(), nullptr, &type,
                                                   reinterpret_cast<BYTE*>(data), &size);
            ::RegCloseKey(handle);
            if (result == ERROR_SUCCESS && type == REG_SZ && text == data) {
                Emit("registry " + parts[1], text);
                return;
            }
        }
        if (deadline.Passed()) Fail("timeout waiting for " + parts[1] + " to read '" + text + "'");
        ::Sleep(kPollMs);
    }
}

// print-raw <printer> | <text>: a RAW job of the text and a line end, as a
// test page from the spooler's side; prints each step's result.
void Automation::PrintRaw(const std::string& args) {
    const std::vector<std::string> parts = Fields(args, 2);
    std::string name = parts[0];
    const std::string bytes = parts[1] + "\r\n";
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA defaults = {const_cast<char*>("RAW"), nullptr, PRINTER_ACCESS_USE};
    if (!::OpenPrinterA(&name[0], &printer, &defaults))
        Fail("OpenPrinterA " + name + " failed, error " + std::to_string(::GetLastError()));
    DOC_INFO_1A doc = {const_cast<char*>("test page"), nullptr, const_cast<char*>("RAW")};
    const DWORD job = ::StartDocPrinterA(printer, 1, reinterpret_cast<BYTE*>(&doc));
    DWORD written = 0;
    const BOOL wrote = job != 0 && ::WritePrinter(printer, const_cast<char*>(bytes.data()),
                                                  static_cast<DWORD>(bytes.size()), &written);
    const BOOL ended = job != 0 && ::EndDocPrinter(printer);
    const DWORD error = ::GetLastError();
    ::ClosePrinter(printer);
    if (!job || !wrote || !ended)
        Fail("printing to " + name + " failed, error " + std::to_string(error));
    Emit("printed " + name, std::to_string(written) + " bytes");
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

}  // namespace

int main(int argc, char** argv) {
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
