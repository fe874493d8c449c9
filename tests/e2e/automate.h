// automate.exe's shared parts: the helpers and the Automation class, whose
// commands are defined in automate.cpp (the dispatch, the main dialog's
// controls), automate_boxes.cpp (message boxes, the end, screenshots),
// automate_spooler.cpp (the spooler's and the registry's view),
// automate_dialogs.cpp (the serial prompt, the port dialogs and the TCP/IP
// monitor's dialogs) and automate_programs.cpp (programs, events, mutexes).
#pragma once

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

namespace automate {

constexpr DWORD kPollMs = 5;
constexpr UINT kSendTimeoutMs = 2000;
// Without a window manager, Wine's X11 driver holds a thread that hides a
// managed window (a message box going away) for 2 s, waiting for the
// manager that never answers: a dialog owned by that thread answers late.
constexpr UINT kPatientSendTimeoutMs = 10000;

inline void Emit(const std::string& key, const std::string& value) {
    std::printf("%s: %s\n", key.c_str(), value.c_str());
    std::fflush(stdout);
}

struct Failure {
    std::string what;
};

[[noreturn]] inline void Fail(const std::string& what) {
    throw Failure{what};
}

inline std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

inline int ParseInt(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') Fail("not a number: '" + text + "'");
    return static_cast<int>(value);
}

inline DWORD Seconds(const std::string& text) {
    return static_cast<DWORD>(ParseInt(text)) * 1000;
}

// Splits "<words...> <last>" where the leading text may contain blanks.
inline void SplitLast(const std::string& rest, std::string& head, std::string& last) {
    const std::string trimmed = Trim(rest);
    const size_t blank = trimmed.find_last_of(' ');
    if (blank == std::string::npos) Fail("missing argument in '" + rest + "'");
    head = Trim(trimmed.substr(0, blank));
    last = trimmed.substr(blank + 1);
}

// Splits "<first> <rest...>".
inline void SplitFirst(const std::string& rest, std::string& first, std::string& tail) {
    const std::string trimmed = Trim(rest);
    const size_t blank = trimmed.find(' ');
    first = trimmed.substr(0, blank);
    tail = blank == std::string::npos ? std::string() : Trim(trimmed.substr(blank + 1));
}

inline int ButtonId(const std::string& name) {
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

inline std::string ServiceStateName(DWORD state) {
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

inline std::string Narrow(const wchar_t* text) {
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

// "a | b | c" into its trimmed parts; names of printers, keys and values
// hold blanks, so arguments that take several are split at '|'.
inline std::vector<std::string> Fields(const std::string& args, size_t count) {
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

// Registry keys as "HKLM\\..." or "HKCU\\..."; always the 64-bit view, the
// one the spooler and the reg command of a 64-bit prefix use.
inline HKEY RootOf(const std::string& path, std::string& subKey) {
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

}  // namespace automate
