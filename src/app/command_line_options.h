// The installer's command line, for deployment tools and scripts. Without
// any argument the program is the interactive dialog it always was; with
// switches it installs, uninstalls or lists without asking anyone.
//
// Windows conventions: switches start with '/' or '-', their names are
// case-insensitive, a value is the next argument. Parsing only reads the
// text; whether the package offers the model or the machine has the port
// is decided once the package is unpacked and the ports are known.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app::cli {

// The named mutex an installation holds while it runs, in every session.
constexpr const char* kInstallationMutex = "Global\\DriverInstaller.Installation";

enum class Mode { Interactive, Install, Uninstall, List, Check, Help, Repair, TestPage };
enum class Display { Quiet, Passive };

struct Options {
    Mode mode = Mode::Interactive;
    // Passive unless /quiet: a person who starts an installation from a
    // prompt sees its progress.
    Display display = Display::Passive;
    std::string logPath;  // empty: no log file
    std::string model;    // the driver-list entry
    std::optional<std::string> printerName;
    int portType = -1;  // ports::PortType; -1 when not given
    std::string portName;
    std::string host;
    int hostPort = 9100;  // the printer's raw port, from "/host address:number"
    int baudRate = 0;     // 0 when not given
    bool autoBaud = false;
    bool setDefault = true;
    // A test page after the installation or repair, or alone (Mode::TestPage).
    bool testPage = false;
};

struct ParseResult {
    Options options;
    std::string error;  // what is wrong; empty for a good command line
    bool Ok() const { return error.empty(); }
};

// `args` are the arguments after the program's name.
ParseResult Parse(const std::vector<std::string>& args);

// The text /? prints: every switch, examples and the exit codes.
std::string UsageText();

// The port-type word of the command line for a ports::PortType row.
const char* PortWord(int portType);

}  // namespace app::cli
