// libFuzzer target: any bytes as the installer's command line, split into
// arguments at NUL bytes as the C runtime hands them over. Parsing must
// either accept the line with options in their ranges or refuse it with a
// reason, and never both or neither.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line_options.h"

namespace {

void Fail(int line) {
    std::fprintf(stderr, "command line check failed at line %d\n", line);
    std::abort();
}

}  // namespace

#define Check(condition) ((condition) ? (void)0 : Fail(__LINE__))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;  // a Windows command line stops at 32,767 characters anyway
    std::vector<std::string> args;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (!current.empty() || size == 0) args.push_back(current);

    const app::cli::ParseResult result = app::cli::Parse(args);
    if (!result.Ok()) return 0;
    const app::cli::Options& options = result.options;
    Check(options.portType >= -1 && options.portType <= 3);
    Check(options.baudRate >= 0);
    Check(options.hostPort > 0 && options.hostPort <= 65535);
    Check(app::cli::PortWord(options.portType) != nullptr);
    if (options.mode == app::cli::Mode::Uninstall || options.mode == app::cli::Mode::Repair ||
        options.mode == app::cli::Mode::TestPage) {
        Check(options.printerName.has_value());
    }
    Check(!app::cli::UsageText().empty());
    return 0;
}
