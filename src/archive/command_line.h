// Parses the 7-zip32 style command line the installer sends:
//   x -y "<archive>" -o"<dest folder>" -hide
#pragma once

#include <string>
#include <vector>

namespace archive {

struct CommandLineArg {
    std::string text;     // with quotes removed
    bool quoted = false;  // any part was quoted: never a switch
};

// Splits at blanks outside quotes. A quote toggles quoting wherever it is
// (so -o"C:\dir" is one argument "-oC:\dir"); a backslash is always a plain
// character, so -o"C:\" ends at that quote.
std::vector<CommandLineArg> SplitCommandLine(const std::string& line);

struct ExtractCommand {
    std::string archivePath;
    std::string outputDir;
    bool yesToAll = false;  // -y: overwrite existing files without asking
    bool hide = false;      // -hide: no user interface (we never show one)
};

// Accepts: command "x" (case-insensitive), switches -y, -hide, -o<dir>
// (each at most once, any order), exactly one archive path. On failure
// returns false and *error says what is wrong.
bool ParseExtractCommand(const std::string& line, ExtractCommand* command, std::string* error);

}  // namespace archive
