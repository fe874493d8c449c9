// Run-time library loading with fake modules, and the archive library's
// entry points with scripted results. A module is one handle however often
// it is loaded, with a reference count, as on Windows; an entry point is
// only callable while its module is loaded.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/libraries.h"
#include "sim/sim_calls.h"

namespace sim {

// One call into the archive library, as passed.
struct ArchiveCall {
    std::string function;  // "SevenZip", "SevenZipSetOwnerWindowEx", ...
    platform::WindowHandle owner = 0;
    std::string commandLine;
    std::uint32_t outputSize = 0;
    platform::ArchiveProgress progress = nullptr;
};

class SimLibraries : public platform::Libraries {
public:
    static constexpr const char* kArchiveLibrary = "7-zip32.dll";

    platform::ModuleHandle LoadLibraryA(const std::string& fileName) override;
    bool FreeLibrary(platform::ModuleHandle module) override;
    platform::ProcAddress GetProcAddress(platform::ModuleHandle module,
                                         const std::string& name) override;
    std::int32_t CallSevenZip(platform::ProcAddress entry, platform::WindowHandle owner,
                              const std::string& commandLine, char* output,
                              std::uint32_t outputSize) override;
    std::int32_t CallSevenZipSetOwnerWindowEx(platform::ProcAddress entry,
                                              platform::WindowHandle owner,
                                              platform::ArchiveProgress progress) override;
    std::int32_t CallSevenZipKillOwnerWindowEx(platform::ProcAddress entry,
                                               platform::WindowHandle owner) override;

    // Registers a module by file name (matched without case, path ignored).
    void AddModule(const std::string& fileName, const std::vector<std::string>& exports);
    // "7-zip32.dll" with its three exports.
    void AddArchiveLibrary();
    // Loads not yet freed, over all modules; above 1 a library is held twice.
    int LoadedCount() const;

    int loadCount = 0;  // successful LoadLibraryA calls
    int freeCount = 0;  // successful FreeLibrary calls
    // What GetLastError would say after the last loader call.
    std::uint32_t lastError = 0;

    // SevenZip's result for a command line (0 when unset); a test can unpack
    // files into SimFiles from here.
    std::function<std::int32_t(const std::string& commandLine)> sevenZipResult;
    std::string sevenZipOutput;         // copied into the output buffer, cut to fit
    bool sevenZipFaults = false;        // SevenZip raises: platform::kArchiveCallFaulted
    std::vector<bool> progressAnswers;  // what the progress callback returned, per call
    // The package's unpacked size the start report gives; 0: no details.
    std::uint64_t declaredTotal = 0;

    std::vector<ArchiveCall> archiveCalls;
    // What the last SevenZip call was given.
    platform::WindowHandle lastOwner = 0;
    std::string lastCommandLine;
    std::uint32_t lastOutputSize = 0;
    // For the archive calls a planned failure's code is the value returned.
    FailurePlan failures;
    std::vector<std::string> calls;

private:
    struct Module {
        std::string fileName;
        std::vector<std::string> exports;
        platform::ModuleHandle handle = 0;
        int references = 0;
    };
    struct Entry {
        std::string moduleKey;
        std::string name;
    };

    // The export behind `entry`, or null when calling it would crash.
    const Entry* Callable(platform::ProcAddress entry, const std::string& function) const;

    std::map<std::string, Module> modules_;  // by upper-case file name
    std::map<platform::ProcAddress, Entry> entries_;
    platform::ModuleHandle nextModule_ = 0x10000000;
    platform::WindowHandle progressOwner_ = 0;
    platform::ArchiveProgress progress_ = nullptr;
};

}  // namespace sim
