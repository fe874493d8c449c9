#include "run_command.h"

#include <cstring>
#include <new>

#include "command_line.h"

namespace archive {
namespace {

std::string ErrorText(Result r, const std::string& detail) {
    std::string text = "Error " + std::to_string(int(r)) + " (" + ResultName(r) + ")";
    if (!detail.empty()) text += ": " + detail;
    return text;
}

Result Run(const std::string& commandLine, ExtractPlatform& platform, const ProgressFn& progress,
           std::string* message) {
    ExtractCommand cmd;
    std::string error;
    if (!ParseExtractCommand(commandLine, &cmd, &error)) {
        *message = ErrorText(kBadCommandLine, error);
        return kBadCommandLine;
    }
    std::unique_ptr<ByteSource> source = platform.OpenArchive(cmd.archivePath, &error);
    if (!source) {
        *message = ErrorText(kCannotOpenArchive, cmd.archivePath + ": " + error);
        return kCannotOpenArchive;
    }
    std::unique_ptr<OutputSink> sink = platform.OpenDestination(cmd.outputDir, &error);
    if (!sink) {
        *message = ErrorText(kWriteError, "cannot create " + cmd.outputDir + ": " + error);
        return kWriteError;
    }
    ExtractOptions options;
    options.overwrite = cmd.yesToAll;
    options.progress = progress;
    options.workers = platform.Workers();
    ExtractReport report;
    Result r = ExtractZip(*source, *sink, options, &report);
    if (r != kOk) {
        *message = ErrorText(r, report.message);
        return r;
    }
    *message = "Extracted " + std::to_string(report.files) + " files and " +
               std::to_string(report.directories) + " folders (" + std::to_string(report.bytes) +
               " bytes) to " + cmd.outputDir;
    return kOk;
}

}  // namespace

Result RunCommand(const std::string& commandLine, ExtractPlatform& platform,
                  const ProgressFn& progress, std::string* message) {
    try {
        return Run(commandLine, platform, progress, message);
    } catch (const std::bad_alloc&) {
        *message = ErrorText(kInternalError, "out of memory");
    } catch (...) {
        *message = ErrorText(kInternalError, "unexpected failure");
    }
    return kInternalError;
}

void CopyToBuffer(const std::string& text, char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace archive
