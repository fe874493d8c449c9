// Byte-level I/O seams of the archive engine. The engine only sees these
// interfaces so it stays free of platform headers; the host tool uses POSIX
// implementations and 7-zip32.dll uses Win32 ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace archive {

// Random-access read-only view of the archive file. ReadAt must be safe to
// call from several threads at once (extraction may use two workers).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly n bytes at offset; false on short read or I/O error.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t n) = 0;
};

// Archive held in memory (tests, and archives embedded in resources).
class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) override;

private:
    std::vector<uint8_t> bytes_;
};

class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual bool Write(const void* data, size_t n) = 0;
    // Flushes and closes; false if anything failed. Called once.
    virtual bool Close() = 0;
};

// Where extracted entries go. Paths are relative to the destination,
// already validated, components separated by '/'. `utf8Name` tells whether
// the bytes are UTF-8 (ZIP flag bit 11) or the system's ANSI code page.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    // Creates one folder whose parent exists; succeeds if it already exists.
    // On failure, *error gets a short reason. Must be thread-safe.
    virtual bool MakeDirectory(const std::string& relPath, bool utf8Name, std::string* error) = 0;
    // Creates (or, with overwrite, truncates) a file; nullptr on failure.
    // Must be thread-safe.
    virtual std::unique_ptr<FileWriter> Create(const std::string& relPath, bool utf8Name,
                                               bool overwrite, std::string* error) = 0;
    // Whether an item already stands at relPath as a link: a symbolic link,
    // a junction or any other reparse point, or a file with more than one
    // name. Nothing is ever written through one. Must be thread-safe.
    virtual bool IsLink(const std::string& relPath, bool utf8Name) = 0;
    // Removes a file this extraction created whose content turned out bad,
    // so that no damaged driver file is left to be installed. Best effort.
    virtual bool Remove(const std::string& relPath, bool utf8Name) = 0;
    // Bytes the destination's drive can still take for this user. False when
    // that cannot be known; the room check is then skipped.
    virtual bool FreeSpace(uint64_t* bytes) {
        (void)bytes;
        return false;
    }
};

// Threads for parallel extraction. The engine starts none of its own: the
// host tool runs std::thread, while 7-zip32.dll uses CreateThread so that it
// needs no thread runtime and still loads on systems older than Vista.
class WorkerPool {
public:
    virtual ~WorkerPool() = default;
    // How many threads can usefully run at once; at least 1.
    virtual unsigned Concurrency() const = 0;
    // Runs `work` on `count` threads at once, the caller's among them, and
    // returns when every run has returned. A thread that cannot be started
    // is simply missing; the work must cope with fewer runs.
    virtual void Run(unsigned count, const std::function<void()>& work) = 0;
};

}  // namespace archive
