// Run-time loading of the archive library and calls into its entry points.
#pragma once

#include "platform/libraries.h"

namespace win32 {

class Win32Libraries : public platform::Libraries {
public:
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
};

}  // namespace win32
