// Runs one 7-zip32 style command line: the shared core of 7-zip32.dll and
// the zipx host tool.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "archive_result.h"
#include "extract.h"
#include "io.h"

namespace archive {

class ExtractPlatform {
public:
    virtual ~ExtractPlatform() = default;
    virtual std::unique_ptr<ByteSource> OpenArchive(const std::string& path,
                                                    std::string* error) = 0;
    // Creates the destination folder and its parents when missing.
    virtual std::unique_ptr<OutputSink> OpenDestination(const std::string& dir,
                                                        std::string* error) = 0;
    // Threads for larger archives; none by default.
    virtual WorkerPool* Workers() { return nullptr; }
};

// Never throws. *message gets a one-line summary or error text.
Result RunCommand(const std::string& commandLine, ExtractPlatform& platform,
                  const ProgressFn& progress, std::string* message);

// Copies text into a caller's buffer: truncated to fit, always terminated,
// nothing written when buffer is null or size is 0.
void CopyToBuffer(const std::string& text, char* buffer, size_t size);

}  // namespace archive
