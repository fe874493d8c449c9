#include "extract.h"
#include "ascii.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "zip_reader.h"

namespace archive {
namespace {

// Below this much data a second thread costs more than it saves.
constexpr uint64_t kParallelMinBytes = uint64_t(4) << 20;
constexpr unsigned kMaxThreads = 2;

std::string ParentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Whatever a link in the destination leads to lies outside it.
constexpr const char* kLinkReason =
    "a link (reparse point or second name of a file) stands there in the destination, and "
    "nothing is written through a link";

// Creates a folder and its missing ancestors, remembering what exists so
// each folder costs one system call per extraction.
class DirectoryMaker {
public:
    explicit DirectoryMaker(OutputSink& sink) : sink_(sink) {}

    bool Ensure(const std::string& path, bool utf8, std::string* error) {
        if (path.empty() || made_.count(path)) return true;
        if (!Ensure(ParentOf(path), utf8, error)) return false;
        if (sink_.IsLink(path, utf8)) {
            *error = "cannot create folder " + path + ": " + kLinkReason;
            return false;
        }
        std::string why;
        if (!sink_.MakeDirectory(path, utf8, &why)) {
            *error = "cannot create folder " + path + (why.empty() ? "" : ": " + why);
            return false;
        }
        made_.insert(path);
        return true;
    }

private:
    OutputSink& sink_;
    std::unordered_set<std::string> made_;
};

Result WriteFile(ByteSource& source, OutputSink& sink, const ZipDirectory& dir,
                 const ZipEntry& entry, bool overwrite, EntryDecoder& decoder, std::string* error) {
    if (sink.IsLink(entry.path, entry.utf8)) {
        *error = "cannot create " + entry.path + ": " + kLinkReason;
        return kWriteError;
    }
    std::string why;
    std::unique_ptr<FileWriter> writer = sink.Create(entry.path, entry.utf8, overwrite, &why);
    if (!writer) {
        *error = "cannot create " + entry.path + (why.empty() ? "" : ": " + why);
        return kWriteError;
    }
    Result r = decoder.Decode(source, dir, entry, writer.get(), error);
    if (!writer->Close() && r == kOk) {
        *error = "cannot write " + entry.path;
        r = kWriteError;
    }
    // A file cut short or failing its CRC must not pass for a good one.
    if (r != kOk) (void)sink.Remove(entry.path, entry.utf8);
    return r;
}

bool HasDuplicatePaths(const ZipDirectory& dir) {
    // Windows folds case, so "A.txt" and "a.txt" are the same file there.
    std::unordered_set<std::string> seen;
    for (const ZipEntry& e : dir.entries) {
        if (!e.isDirectory && !seen.insert(AsciiLower(e.path)).second) return true;
    }
    return false;
}

std::string Mebibytes(uint64_t bytes) {
    return std::to_string((bytes + (uint64_t(1) << 20) - 1) >> 20) + " MiB";
}

// Refuses, before anything is written, a package the drive cannot take
// while keeping its margin.
Result CheckRoom(OutputSink& sink, uint64_t needed, std::string* error) {
    uint64_t free = 0;
    if (needed == 0 || !sink.FreeSpace(&free)) return kOk;
    if (free >= kFreeSpaceMargin && free - kFreeSpaceMargin >= needed) return kOk;
    *error = "the package unpacks to " + Mebibytes(needed) + " but its destination has " +
             std::to_string(free >> 20) + " MiB" + " free, and " + Mebibytes(kFreeSpaceMargin) +
             " of it must stay free";
    return kNoSpace;
}

}  // namespace

Result ExtractZip(ByteSource& source, OutputSink& sink, const ExtractOptions& options,
                  ExtractReport* report) {
    *report = ExtractReport();
    ZipDirectory dir;
    Result r = ReadZipDirectory(source, &dir, &report->message);
    if (r != kOk) return r;
    r = CheckRoom(sink, dir.totalUncompressed, &report->message);
    if (r != kOk) return r;

    ProgressInfo info;
    info.entryCount = uint32_t(dir.entries.size());
    info.totalUncompressed = dir.totalUncompressed;
    if (options.progress && !options.progress(ProgressState::kStart, info)) {
        report->message = "cancelled";
        return kCancelled;
    }

    DirectoryMaker folders(sink);
    unsigned threads = options.threads;
    if (threads == 0) {
        threads = (options.progress || dir.totalUncompressed < kParallelMinBytes) ? 1 : kMaxThreads;
        if (options.workers)
            threads = std::min(threads, std::max(1u, options.workers->Concurrency()));
    }
    threads = std::min(threads, kMaxThreads);
    if (!options.workers) threads = 1;
    // Workers must never race on the same file; duplicates keep archive order.
    if (threads > 1 && (options.progress || HasDuplicatePaths(dir))) threads = 1;

    if (threads <= 1) {
        EntryDecoder decoder;
        for (size_t i = 0; i < dir.entries.size(); ++i) {
            const ZipEntry& e = dir.entries[i];
            if (options.progress) {
                info.entryIndex = uint32_t(i);
                info.entryName = e.rawName.c_str();
                info.compressedSize = e.compressedSize;
                info.uncompressedSize = e.isDirectory ? 0 : e.uncompressedSize;
                info.bytesDone = report->bytes;
                if (!options.progress(ProgressState::kEntry, info)) {
                    report->message = "cancelled at " + e.rawName;
                    return kCancelled;
                }
            }
            if (e.isDirectory) {
                if (!folders.Ensure(e.path, e.utf8, &report->message)) return kWriteError;
                ++report->directories;
                continue;
            }
            if (!folders.Ensure(ParentOf(e.path), e.utf8, &report->message)) return kWriteError;
            r = WriteFile(source, sink, dir, e, options.overwrite, decoder, &report->message);
            if (r != kOk) return r;
            ++report->files;
            report->bytes += e.uncompressedSize;
        }
    } else {
        // All folders first (cheap, and parents must precede children), then
        // the files are shared out to the workers entry by entry.
        std::vector<const ZipEntry*> files;
        for (const ZipEntry& e : dir.entries) {
            const std::string& folder = e.isDirectory ? e.path : ParentOf(e.path);
            if (!folders.Ensure(folder, e.utf8, &report->message)) return kWriteError;
            if (e.isDirectory) {
                ++report->directories;
            } else {
                files.push_back(&e);
            }
        }
        std::atomic<size_t> next{0};
        std::atomic<bool> failed{false};
        std::atomic<unsigned> slots{0};
        // Each run keeps its own first failure; no lock is needed to compare them.
        struct Failure {
            size_t index = SIZE_MAX;
            Result result = kOk;
            std::string message;
        };
        std::vector<Failure> failures(threads);
        auto work = [&]() {
            const unsigned slot = slots.fetch_add(1);
            if (slot >= failures.size()) return;
            Failure& mine = failures[slot];
            EntryDecoder decoder;
            for (;;) {
                if (failed.load(std::memory_order_relaxed)) return;
                size_t i = next.fetch_add(1);
                if (i >= files.size()) return;
                std::string message;
                Result wr;
                try {
                    wr = WriteFile(source, sink, dir, *files[i], options.overwrite, decoder,
                                   &message);
                } catch (...) {
                    wr = kInternalError;
                    message = "out of memory";
                }
                if (wr != kOk) {
                    mine = Failure{i, wr, message};
                    failed = true;
                    return;
                }
            }
        };
        options.workers->Run(threads, work);
        // Report the earliest failing entry, as a sequential run would.
        Result firstError = kOk;
        size_t errorIndex = SIZE_MAX;
        for (const Failure& f : failures) {
            if (f.result != kOk && f.index < errorIndex) {
                errorIndex = f.index;
                firstError = f.result;
                report->message = f.message;
            }
        }
        if (firstError != kOk) return firstError;
        report->files = files.size();
        for (const ZipEntry* e : files) report->bytes += e->uncompressedSize;
    }

    info.entryName = nullptr;
    info.entryIndex = info.entryCount;
    info.compressedSize = info.uncompressedSize = 0;
    info.bytesDone = report->bytes;
    if (options.progress && !options.progress(ProgressState::kEnd, info)) {
        report->message = "cancelled";
        return kCancelled;
    }
    return kOk;
}

}  // namespace archive
