#include "app/command_line_options.h"

#include <algorithm>
#include <array>
#include <set>

#include "base/exit_codes.h"
#include "base/port_types.h"
#include "base/text.h"

namespace app::cli {
namespace {

enum class Switch {
    Quiet,
    Passive,
    Log,
    Model,
    Name,
    Port,
    PortName,
    Host,
    Baud,
    NoDefault,
    List,
    Uninstall,
    Check,
    Help,
    Repair,
    TestPage
};

struct SwitchInfo {
    const char* name;
    Switch id;
    const char* value;  // what the value is, for the error; null: takes none
};

constexpr std::array<SwitchInfo, 17> kSwitches = {{
    {"quiet", Switch::Quiet, nullptr},
    {"passive", Switch::Passive, nullptr},
    {"log", Switch::Log, "the log file"},
    {"model", Switch::Model, "a driver-list entry (see /list)"},
    {"name", Switch::Name, "the printer's name"},
    {"port", Switch::Port, "usb, serial, parallel or tcpip"},
    {"portname", Switch::PortName, "an existing port, such as LPT2:"},
    {"host", Switch::Host, "the printer's network address"},
    {"baud", Switch::Baud, "a baud rate or auto"},
    {"nodefault", Switch::NoDefault, nullptr},
    {"list", Switch::List, nullptr},
    {"uninstall", Switch::Uninstall, nullptr},
    {"check", Switch::Check, nullptr},
    {"?", Switch::Help, nullptr},
    {"help", Switch::Help, nullptr},
    {"repair", Switch::Repair, nullptr},
    {"testpage", Switch::TestPage, nullptr},
}};

constexpr std::array<const char*, 4> kPortWords = {"serial", "usb", "parallel", "tcpip"};
// The Standard TCP/IP Port monitor keeps an address in 49 characters with its NUL.
constexpr std::size_t kMaxHostLength = 48;

using text::Lower;

bool HasSwitchPrefix(const std::string& arg) {
    return arg.size() > 1 && (arg[0] == '/' || arg[0] == '-');
}

const SwitchInfo* Lookup(const std::string& arg) {
    if (!HasSwitchPrefix(arg)) return nullptr;
    const std::string name = Lower(arg.substr(1));
    for (const SwitchInfo& info : kSwitches) {
        if (name == info.name) return &info;
    }
    return nullptr;
}

std::string Canonical(Switch id) {
    for (const SwitchInfo& info : kSwitches) {
        if (info.id == id) return std::string("/") + info.name;
    }
    return "/?";
}

std::string RateList() {
    std::string list;
    for (int rate : ports::kBaudRates) list += std::to_string(rate) + ", ";
    return list + "or auto";
}

bool ParseRate(const std::string& value, int& rate) {
    if (value.empty() || value.size() > 6) return false;
    if (!std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    rate = std::stoi(value);
    return std::find(ports::kBaudRates.begin(), ports::kBaudRates.end(), rate) !=
           ports::kBaudRates.end();
}

bool HostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_' || c == ':';
}

// "address" or "address:number" (one colon: an IPv6 address has several
// and takes no number).
std::string ApplyHost(const std::string& value, Options& options) {
    std::string host = value;
    const std::size_t colon = value.find(':');
    if (colon != std::string::npos && value.find(':', colon + 1) == std::string::npos) {
        host = value.substr(0, colon);
        const std::string number = value.substr(colon + 1);
        const bool digits =
            !number.empty() && number.size() <= 5 &&
            std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || std::stoi(number) < 1 || std::stoi(number) > 65535) {
            return "/host " + value + ": the port number after the colon is 1 to 65535";
        }
        options.hostPort = std::stoi(number);
    }
    if (host.empty() || host.size() > kMaxHostLength ||
        !std::all_of(host.begin(), host.end(), HostCharacter)) {
        return "/host " + value +
               " is not a printer address (a host name or an IP address of "
               "at most 48 characters, with :number for another port than 9100)";
    }
    options.host = host;
    return {};
}

// Checks one value and stores it; the error, or empty.
std::string Apply(Switch id, const std::string& value, Options& options) {
    switch (id) {
        case Switch::Quiet: options.display = Display::Quiet; break;
        case Switch::Passive: options.display = Display::Passive; break;
        case Switch::Log: options.logPath = value; break;
        case Switch::Model: options.model = value; break;
        case Switch::Name:
            // The spooler keeps printers under their names in the registry,
            // and the default-printer value is "name,winspool,port".
            for (char c : value) {
                if (c == '\\' || c == ',' || static_cast<unsigned char>(c) < 0x20) {
                    return "the printer name \"" + value +
                           "\" may not contain a backslash, a comma or a control character";
                }
            }
            options.printerName = value;
            break;
        case Switch::Port: {
            const std::string word = Lower(value);
            for (std::size_t row = 0; row < kPortWords.size(); ++row) {
                if (word == kPortWords[row]) options.portType = static_cast<int>(row);
            }
            if (options.portType < 0) {
                return "/port " + value + " is not a port type: use usb, serial, parallel or tcpip";
            }
            break;
        }
        case Switch::PortName: options.portName = value; break;
        case Switch::Host: return ApplyHost(value, options);
        case Switch::Baud:
            if (Lower(value) == "auto") {
                options.autoBaud = true;
            } else if (!ParseRate(value, options.baudRate)) {
                return "/baud " + value + " is not a rate the printers use: " + RateList();
            }
            break;
        case Switch::NoDefault: options.setDefault = false; break;
        case Switch::TestPage: options.testPage = true; break;
        case Switch::Repair:
        case Switch::List:
        case Switch::Uninstall:
        case Switch::Check:
        case Switch::Help: break;
    }
    return {};
}

// The first of `forbidden` that was given, as its switch; empty for none.
std::string FirstGiven(const std::set<Switch>& given, std::initializer_list<Switch> forbidden) {
    for (Switch id : forbidden) {
        if (given.count(id) != 0) return Canonical(id);
    }
    return {};
}

std::string CheckInstall(const std::set<Switch>& given, const Options& options) {
    if (given.count(Switch::Model) == 0) {
        return "/model is missing: name the driver-list entry to install (/list shows them)";
    }
    if (given.count(Switch::Port) == 0) {
        return "/port is missing: say how the printer is connected (usb, serial, parallel or "
               "tcpip)";
    }
    const bool tcpip = options.portType == ports::kTcpIp;
    if (given.count(Switch::PortName) != 0 && !tcpip && options.portType != ports::kParallel) {
        return "/portname applies only to /port parallel and /port tcpip";
    }
    if (given.count(Switch::Host) != 0 && !tcpip) return "/host applies only to /port tcpip";
    if (given.count(Switch::Host) != 0 && given.count(Switch::PortName) != 0) {
        return "use either /host (a new port) or /portname (an existing port), not both";
    }
    if (tcpip && given.count(Switch::Host) == 0 && given.count(Switch::PortName) == 0) {
        return "/port tcpip needs /host <address> or /portname <existing TCP/IP port>";
    }
    if (given.count(Switch::Baud) != 0 && options.portType != ports::kSerial) {
        return "/baud applies only to /port serial";
    }
    return {};
}

// /check: the pre-flight check alone, of the model and port where given.
std::string CheckPreflight(const std::set<Switch>& given, Options& options) {
    options.mode = Mode::Check;
    const std::string extra =
        FirstGiven(given, {Switch::List, Switch::Uninstall, Switch::Name, Switch::Baud,
                           Switch::NoDefault, Switch::PortName});
    if (!extra.empty()) return "/check cannot be combined with " + extra;
    if (given.count(Switch::Host) != 0 && options.portType != ports::kTcpIp) {
        return "/host applies only to /port tcpip";
    }
    return {};
}

std::string CheckCombination(const std::set<Switch>& given, Options& options) {
    if (given.count(Switch::Quiet) != 0 && given.count(Switch::Passive) != 0) {
        return "use either /quiet or /passive, not both";
    }
    const bool list = given.count(Switch::List) != 0;
    const bool uninstall = given.count(Switch::Uninstall) != 0;
    if (list && uninstall) return "use either /list or /uninstall, not both";
    if (given.count(Switch::Check) != 0) return CheckPreflight(given, options);
    if (list) {
        options.mode = Mode::List;
        const std::string extra = FirstGiven(
            given, {Switch::Model, Switch::Name, Switch::Port, Switch::PortName, Switch::Host,
                    Switch::Baud, Switch::NoDefault, Switch::Repair, Switch::TestPage});
        return extra.empty() ? std::string() : "/list cannot be combined with " + extra;
    }
    if (uninstall) {
        options.mode = Mode::Uninstall;
        if (given.count(Switch::Name) == 0) return "/uninstall needs /name <printer name>";
        const std::string extra =
            FirstGiven(given, {Switch::Model, Switch::Port, Switch::PortName, Switch::Host,
                               Switch::Baud, Switch::NoDefault, Switch::Repair, Switch::TestPage});
        return extra.empty() ? std::string() : "/uninstall cannot be combined with " + extra;
    }
    if (given.count(Switch::Repair) != 0) {
        options.mode = Mode::Repair;
        if (given.count(Switch::Name) == 0) return "/repair needs /name <printer name>";
        const std::string extra = FirstGiven(given, {Switch::Model, Switch::Port, Switch::PortName,
                                                     Switch::Host, Switch::NoDefault});
        return extra.empty() ? std::string() : "/repair cannot be combined with " + extra;
    }
    if (given.count(Switch::TestPage) != 0 && given.count(Switch::Model) == 0) {
        options.mode = Mode::TestPage;
        if (given.count(Switch::Name) == 0) {
            return "/testpage needs /name <printer name>, or an installation (/model, /port) "
                   "before it";
        }
        const std::string extra = FirstGiven(
            given, {Switch::Port, Switch::PortName, Switch::Host, Switch::Baud, Switch::NoDefault});
        return extra.empty() ? std::string()
                             : "/testpage without /model cannot be combined with " + extra;
    }
    options.mode = Mode::Install;
    return CheckInstall(given, options);
}

}  // namespace

ParseResult Parse(const std::vector<std::string>& args) {
    ParseResult result;
    if (args.empty()) return result;
    // Asking for help is never an error, whatever else the line holds.
    for (const std::string& arg : args) {
        const SwitchInfo* info = Lookup(arg);
        if (info != nullptr && info->id == Switch::Help) {
            result.options.mode = Mode::Help;
            return result;
        }
    }
    std::set<Switch> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const SwitchInfo* info = Lookup(arg);
        if (info == nullptr) {
            result.error = HasSwitchPrefix(arg)
                               ? "unknown switch " + arg + " (/? lists the switches)"
                               : "\"" + arg + "\" is not a switch: switches start with / or -";
            return result;
        }
        if (!given.insert(info->id).second) {
            result.error = Canonical(info->id) + " is given twice";
            return result;
        }
        std::string value;
        if (info->value != nullptr) {
            // A switch where the value should be means the value is missing.
            if (i + 1 >= args.size() || args[i + 1].empty() || Lookup(args[i + 1]) != nullptr) {
                result.error = Canonical(info->id) + " needs a value: " + info->value;
                return result;
            }
            value = args[++i];
        }
        result.error = Apply(info->id, value, result.options);
        if (!result.Ok()) return result;
    }
    result.error = CheckCombination(given, result.options);
    return result;
}

const char* PortWord(int portType) {
    if (portType < 0 || portType >= static_cast<int>(kPortWords.size())) return "";
    return kPortWords[static_cast<std::size_t>(portType)];
}

std::string UsageText() {
    std::string text =
        "DriverInstaller: installs the printer drivers of the driver package DriverData.Drv\r\n"
        "in the current folder. Without switches it opens the installer's dialog.\r\n"
        "\r\n"
        "Install:    /model <entry> /port usb|serial|parallel|tcpip [switches]\r\n"
        "Uninstall:  /uninstall /name <printer name> [/quiet] [/log <file>]\r\n"
        "List:       /list   (the package's driver-list entries and the driver each installs)\r\n"
        "Check:      /check [/model <entry>] [/port <type> [/host <address>]]\r\n"
        "            (can this machine take the installation? nothing is installed)\r\n"
        "Repair:     /repair /name <printer name> [/baud <rate>|auto] [/testpage]\r\n"
        "Test page:  /testpage /name <printer name>, or /testpage with an installation\r\n"
        "\r\n"
        "  /quiet              no window at all\r\n"
        "  /passive            the dialog shows the progress but asks nothing (the default)\r\n"
        "  /log <file>         append every status line and message to <file>\r\n"
        "  /model <entry>      the driver-list entry to install\r\n"
        "  /name <name>        the printer's name (receipt models; default: the entry)\r\n"
        "  /port <type>        usb, serial, parallel or tcpip\r\n"
        "  /portname <port>    parallel or TCP/IP: an existing port, such as LPT2:\r\n"
        "  /host <address>     TCP/IP: create a Standard TCP/IP port for that address\r\n"
        "                      (address:number for another raw port than 9100)\r\n"
        "  /baud <rate>|auto   serial: look for the printer at that rate; auto tries every\r\n"
        "                      rate from 115200 down and keeps the one that answered\r\n"
        "  /nodefault          do not make the printer the default printer\r\n"
        "  /repair             find a USB or serial printer of this installer again after\r\n"
        "                      its port moved, and move it there (nothing else changes)\r\n"
        "  /testpage           print a test page on a receipt printer and wait up to 30 s\r\n"
        "                      for it to leave the queue (label printers get none)\r\n"
        "  /?                  this text\r\n"
        "\r\n"
        "Exit codes:\r\n";
    for (const exitcode::Row& row : exitcode::kTable) {
        std::string code = std::to_string(row.code);
        code.resize(6, ' ');
        text += "  " + code + row.meaning + "\r\n";
    }
    return text;
}

}  // namespace app::cli
