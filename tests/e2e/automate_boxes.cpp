// automate.exe: message boxes, the installer's end, screenshots, services.
#include "automate.h"

namespace automate {

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

}  // namespace automate
