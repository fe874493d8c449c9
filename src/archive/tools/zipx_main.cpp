// zipx: host build of 7-zip32.dll's command interface, for tests and the
// benchmark. Usage: zipx x -y "<archive>" -o"<dest>" -hide
//        zipx --raw '<whole command line>'
// Prints the DLL's output text; the exit code is the DLL's result code.
// ZIPX_THREADS=1 keeps everything on the calling thread (no workers).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "posix/posix_io.h"
#include "run_command.h"

int main(int argc, char** argv) {
    // Rebuild one command line the way the installer would send it, quoting
    // every argument, so the DLL's own parser is what gets exercised.
    std::string line;
    const bool raw = argc == 3 && std::string(argv[1]) == "--raw";  // exact line, for tests
    if (raw) line = argv[2];
    for (int i = 1; i < argc && !raw; ++i) {
        std::string arg = argv[i];
        if (!line.empty()) line += ' ';
        if (arg.size() > 2 && arg[0] == '-' && (arg[1] == 'o' || arg[1] == 'O')) {
            line += arg.substr(0, 2) + '"' + arg.substr(2) + '"';
        } else if (i == 1 || (!arg.empty() && arg[0] == '-')) {
            line += arg;
        } else {
            line += '"' + arg + '"';
        }
    }
    struct SingleThreaded : archive::PosixPlatform {
        archive::WorkerPool* Workers() override { return nullptr; }
    };
    archive::PosixPlatform withWorkers;
    SingleThreaded single;
    const char* threads = std::getenv("ZIPX_THREADS");
    archive::ExtractPlatform& platform = threads != nullptr && std::string(threads) == "1"
                                             ? static_cast<archive::ExtractPlatform&>(single)
                                             : withWorkers;
    std::string message;
    int rc = archive::RunCommand(line, platform, nullptr, &message);
    std::printf("%s\n", message.c_str());
    return rc;
}
