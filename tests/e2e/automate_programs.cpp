// automate.exe: programs started as a deployment tool starts them, events,
// mutexes and raw print jobs.
#include "automate.h"

namespace automate {

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

}  // namespace automate
