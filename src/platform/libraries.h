// Run-time library loading, and the calls into the archive library's entry
// points. The Win32 adapter casts the addresses to the library's stdcall
// signatures; the simulator hands out fake modules with scripted results.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

// What the archive library's progress report says, as the adapter reads it
// from the library's own record.
struct ArchiveProgressDetails {
    std::uint32_t entryCount = 0;
    std::uint64_t totalOriginalSize = 0;  // every file of the archive, unpacked
};

namespace archive_state {
constexpr std::uint32_t kStart = 0;
}  // namespace archive_state

// The progress callback handed to the archive library: window, message,
// state and the details (an ArchiveProgressDetails, or null when the
// library gave none). True lets it go on.
using ArchiveProgress = bool (*)(WindowHandle window, std::uint32_t message, std::uint32_t state,
                                 const void* details);

// Result reported when a call into the library raised an exception.
constexpr std::int32_t kArchiveCallFaulted = 100;

class Libraries {
public:
    virtual ~Libraries() = default;
    virtual ModuleHandle LoadLibraryA(const std::string& fileName) = 0;
    virtual bool FreeLibrary(ModuleHandle module) = 0;
    virtual ProcAddress GetProcAddress(ModuleHandle module, const std::string& name) = 0;

    virtual std::int32_t CallSevenZip(ProcAddress entry, WindowHandle owner,
                                      const std::string& commandLine, char* output,
                                      std::uint32_t outputSize) = 0;
    virtual std::int32_t CallSevenZipSetOwnerWindowEx(ProcAddress entry, WindowHandle owner,
                                                      ArchiveProgress progress) = 0;
    virtual std::int32_t CallSevenZipKillOwnerWindowEx(ProcAddress entry, WindowHandle owner) = 0;
};

}  // namespace platform
