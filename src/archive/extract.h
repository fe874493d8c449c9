// Extracts a whole ZIP archive into an OutputSink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive_result.h"
#include "io.h"

namespace archive {

// Room the extraction leaves on the destination's drive: Windows, its page
// file and the spooler's own copies of the drivers need it afterwards.
constexpr uint64_t kFreeSpaceMargin = uint64_t(64) << 20;  // 64 MiB

enum class ProgressState : unsigned { kStart = 0, kEntry = 1, kEnd = 2 };

struct ProgressInfo {
    uint32_t entryIndex = 0;          // kEntry: index in the central directory
    uint32_t entryCount = 0;          // entries in the archive
    const char* entryName = nullptr;  // kEntry: name as stored; otherwise null
    uint64_t compressedSize = 0;      // kEntry: sizes of this entry
    uint64_t uncompressedSize = 0;
    uint64_t totalUncompressed = 0;  // sum over all file entries
    uint64_t bytesDone = 0;          // uncompressed bytes written before this call
};

// Return false to stop extraction (the result is then kCancelled).
using ProgressFn = std::function<bool(ProgressState, const ProgressInfo&)>;

struct ExtractOptions {
    bool overwrite = true;  // false: an existing file is a write error
    // 0 = choose: two workers for larger archives when there is no progress
    // callback. With a callback everything runs on the calling thread, so a
    // Windows callback that touches its window cannot deadlock.
    unsigned threads = 0;
    ProgressFn progress;
    // Without a pool everything runs on the calling thread.
    WorkerPool* workers = nullptr;
};

struct ExtractReport {
    uint64_t files = 0;
    uint64_t directories = 0;
    uint64_t bytes = 0;
    std::string message;  // failure detail; empty on success
};

Result ExtractZip(ByteSource& source, OutputSink& sink, const ExtractOptions& options,
                  ExtractReport* report);

}  // namespace archive
