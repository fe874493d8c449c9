// Reads the central directory of a ZIP archive and streams entry data.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive_result.h"
#include "io.h"

namespace archive {

// Limits that keep a hostile archive from filling the disk or memory.
constexpr uint64_t kMaxEntries = 65536;
constexpr uint64_t kMaxTotalUncompressed = uint64_t(2) << 30;  // 2 GiB
// Deflate reaches about 1032:1 on a run of one byte; real driver files
// (DLLs, GPD text, help, resources) stay below 30:1. An entry that claims
// more than 200:1 is a bomb, not a driver; small entries may (a table of
// zeros compresses to nothing and can do no harm).
constexpr uint64_t kMaxInflationRatio = 200;
constexpr uint64_t kRatioCheckedAbove = uint64_t(1) << 20;  // 1 MiB
// EOCD is 22 bytes followed by a comment of at most 64 KiB - 1.
constexpr uint64_t kEocdSearchSpan = 0xFFFF + 22;

struct ZipEntry {
    std::string rawName;  // bytes as stored in the central directory
    std::string path;     // validated relative path, '/'-separated
    bool isDirectory = false;
    bool utf8 = false;  // general purpose flag bit 11
    uint16_t flags = 0;
    uint16_t method = 0;  // 0 stored, 8 deflate
    uint32_t crc32 = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint64_t localHeaderOffset = 0;  // already corrected for any prefix bytes
};

struct ZipDirectory {
    std::vector<ZipEntry> entries;
    uint64_t totalUncompressed = 0;
    uint64_t dataEnd = 0;  // entry data must lie before this offset
};

// Parses and validates the whole central directory before anything is
// written: structure, limits, supported methods, safe names, inflation
// ratios, and entry data that no two entries share.
// On failure returns the code and a message naming the culprit.
Result ReadZipDirectory(ByteSource& source, ZipDirectory* directory, std::string* error);

// Decodes entry data into a FileWriter. One instance per thread: it owns
// large I/O buffers and a zlib stream that are reused across entries.
class EntryDecoder {
public:
    EntryDecoder();
    ~EntryDecoder();
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;

    // Verifies the local header, decodes, checks size and CRC-32. Stops as
    // soon as output would exceed the declared size (kTooLarge).
    Result Decode(ByteSource& source, const ZipDirectory& directory, const ZipEntry& entry,
                  FileWriter* out, std::string* error);

private:
    Result Inflate(ByteSource& source, const ZipEntry& entry, uint64_t dataOffset, size_t have,
                   size_t haveOffset, FileWriter* out, std::string* error);
    Result Copy(ByteSource& source, const ZipEntry& entry, uint64_t dataOffset, size_t have,
                size_t haveOffset, FileWriter* out, std::string* error);

    std::vector<uint8_t> in_;
    std::vector<uint8_t> out_;
    struct ZState;
    std::unique_ptr<ZState> z_;
};

}  // namespace archive
