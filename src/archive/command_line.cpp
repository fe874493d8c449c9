#include "command_line.h"
#include "ascii.h"

#include <cctype>

namespace archive {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::vector<CommandLineArg> SplitCommandLine(const std::string& line) {
    std::vector<CommandLineArg> args;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        CommandLineArg arg;
        bool inQuotes = false;
        while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
            if (line[i] == '"') {
                inQuotes = !inQuotes;
                // Only a leading quote makes the whole argument non-switch text:
                // -o"C:\x" is still the -o switch.
                if (arg.text.empty()) arg.quoted = true;
            } else {
                arg.text.push_back(line[i]);
            }
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

bool ParseExtractCommand(const std::string& line, ExtractCommand* command, std::string* error) {
    *command = ExtractCommand();
    std::vector<CommandLineArg> args = SplitCommandLine(line);
    if (args.empty()) {
        *error = "empty command line";
        return false;
    }
    std::string verb = AsciiLower(args[0].text);
    if (args[0].quoted || verb != "x") {
        *error = "unsupported command \"" + args[0].text + "\" (only \"x\" is supported)";
        return false;
    }
    bool haveArchive = false, haveOutput = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const CommandLineArg& a = args[i];
        if (!a.quoted && !a.text.empty() && a.text[0] == '-') {
            std::string sw = AsciiLower(a.text);
            bool* seen = nullptr;
            if (sw == "-y") {
                seen = &command->yesToAll;
            } else if (sw == "-hide") {
                seen = &command->hide;
            } else if (sw.compare(0, 2, "-o") == 0) {
                seen = &haveOutput;
                command->outputDir = a.text.substr(2);
                if (command->outputDir.empty()) {
                    *error = "-o needs a folder";
                    return false;
                }
            } else {
                *error = "unsupported switch \"" + a.text + "\"";
                return false;
            }
            if (*seen) {
                *error = "switch given twice: \"" + a.text + "\"";
                return false;
            }
            *seen = true;
            continue;
        }
        if (haveArchive) {
            *error = "unexpected argument \"" + a.text + "\" (file selection is not supported)";
            return false;
        }
        if (a.text.empty()) {
            *error = "empty archive name";
            return false;
        }
        command->archivePath = a.text;
        haveArchive = true;
    }
    if (!haveArchive) {
        *error = "no archive given";
        return false;
    }
    if (!haveOutput) {
        *error = "no output folder given (-o\"<folder>\")";
        return false;
    }
    return true;
}

}  // namespace archive
