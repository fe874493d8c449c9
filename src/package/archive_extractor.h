// Wraps the archive library "7-zip32.dll": loads it for one extraction,
// runs the extraction command, and unloads it again. A library that lacks
// one of its three entry points counts as a failed extraction: nothing is
// called through a missing address.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/threads.h"

namespace package {

constexpr const char* kArchiveLibrary = "7-zip32.dll";
constexpr const char* kPackageFileName = "DriverData.Drv";
constexpr std::uint32_t kCommandBufferSize = 1024;
constexpr std::uint32_t kOutputBufferSize = 16384;

class ArchiveExtractor {
public:
    ArchiveExtractor(platform::Libraries& libraries, platform::Files& files,
                     platform::Threads& threads);
    virtual ~ArchiveExtractor();
    ArchiveExtractor(const ArchiveExtractor&) = delete;
    ArchiveExtractor& operator=(const ArchiveExtractor&) = delete;

    bool Load();
    bool Extract(const std::string& archive, const std::string& destination);
    void Unload();

    void SetOwnerWindow(platform::WindowHandle window) { owner_ = window; }
    // What the library said about the last extraction that it refused or
    // could not finish; empty after a success or when it was never reached.
    const std::string& FailureText() const { return failureText_; }
    bool IsLoaded() const { return library_ != 0; }
    // The unpacked size of every file the last extraction's package
    // declared; 0 when the library did not say.
    std::uint64_t DeclaredTotal() const { return declaredTotal_; }

    // Handed to the library; never cancels and shows nothing.
    static bool ExtractionProgress(platform::WindowHandle window, std::uint32_t message,
                                   std::uint32_t state, const void* details);

    // The command line for one extraction, or empty when it does not fit
    // the library's command buffer.
    static std::string CommandLine(const std::string& archive, const std::string& destination);

private:
    platform::Libraries& libraries_;
    platform::Files& files_;
    platform::Threads& threads_;
    platform::ModuleHandle library_ = 0;
    platform::ProcAddress sevenZip_ = 0;
    platform::ProcAddress setOwnerWindowEx_ = 0;
    platform::ProcAddress killOwnerWindowEx_ = 0;
    platform::WindowHandle owner_ = 0;
    std::string failureText_;
    std::uint64_t declaredTotal_ = 0;
};

}  // namespace package
