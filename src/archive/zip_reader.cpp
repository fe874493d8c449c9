#include "zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "safe_path.h"

namespace archive {
namespace {

constexpr uint32_t kLocalHeaderSig = 0x04034b50;
constexpr uint32_t kCentralHeaderSig = 0x02014b50;
constexpr uint32_t kEocdSig = 0x06054b50;
constexpr uint32_t kZip64EocdSig = 0x06064b50;
constexpr uint32_t kZip64LocatorSig = 0x07064b50;
constexpr size_t kEocdSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EocdSize = 56;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
// A legitimate directory of kMaxEntries entries with long names stays far
// below this; anything bigger is an attempt to make us allocate.
constexpr uint64_t kMaxCentralDirectorySize = uint64_t(64) << 20;

constexpr size_t kInputBufferSize = size_t(1) << 20;
constexpr size_t kOutputBufferSize = size_t(512) << 10;
// Bytes read past the name in the first read of a local header, so that the
// usual small extra fields arrive with the data in one read.
constexpr size_t kLocalExtraSlack = 128;

uint16_t Rd16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t Rd32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint64_t Rd64(const uint8_t* p) {
    return uint64_t(Rd32(p)) | (uint64_t(Rd32(p + 4)) << 32);
}

const char* MethodName(uint16_t method) {
    switch (method) {
        case 1: return "Shrink";
        case 6: return "Implode";
        case 9: return "Deflate64";
        case 12: return "BZip2";
        case 14: return "LZMA";
        case 93: return "Zstandard";
        case 95: return "XZ";
        case 98: return "PPMd";
        case 99: return "AES";
        default: return "unknown";
    }
}

Result Fail(Result code, std::string* error, std::string text) {
    *error = std::move(text);
    return code;
}

// Applies the ZIP64 extended-information extra field (id 1): it holds the
// 64-bit value of each header field that is saturated, in a fixed order.
bool ApplyZip64Extra(const uint8_t* extra, size_t len, uint64_t* usize, uint64_t* csize,
                     uint64_t* offset, uint32_t* disk) {
    bool needU = *usize == 0xFFFFFFFFu, needC = *csize == 0xFFFFFFFFu,
         needO = *offset == 0xFFFFFFFFu, needD = *disk == 0xFFFFu;
    if (!needU && !needC && !needO && !needD) return true;
    size_t p = 0;
    while (p + 4 <= len) {
        uint16_t id = Rd16(extra + p), size = Rd16(extra + p + 2);
        if (p + 4 + size > len) break;
        if (id == 1) {
            const uint8_t* q = extra + p + 4;
            size_t left = size;
            auto take64 = [&](uint64_t* v) {
                if (left < 8) return false;
                *v = Rd64(q);
                q += 8;
                left -= 8;
                return true;
            };
            if (needU && !take64(usize)) return false;
            if (needC && !take64(csize)) return false;
            if (needO && !take64(offset)) return false;
            if (needD) {
                if (left < 4) return false;
                *disk = Rd32(q);
            }
            return true;
        }
        p += 4 + size;
    }
    return false;
}

// A link entry would be written as a small file holding the link's target,
// which then passes for the driver file of that name: such a package is
// refused instead. Unix hosts (3) keep the mode in the attributes' upper
// half, as do 7-Zip's DOS-host entries that mark it with bit 15; Windows
// marks links and junctions as reparse points.
bool IsLink(uint16_t versionMadeBy, uint32_t external) {
    const unsigned host = versionMadeBy >> 8;
    const uint32_t mode = external >> 16;
    if ((host == 3 || (external & 0x8000)) && (mode & 0xF000) == 0xA000) return true;
    return (host == 0 || host == 10) && (external & 0x400) != 0;
}

// Each entry's header and data must end before the next entry begins: a
// real archive never shares data between entries, and a bomb that points
// many entries at one small compressed block multiplies its output. The
// local header's extra field is not known yet, so the central directory's
// name length stands for the header.
Result CheckNoSharedData(const ZipDirectory& directory, std::string* error) {
    std::vector<const ZipEntry*> byOffset;
    byOffset.reserve(directory.entries.size());
    for (const ZipEntry& e : directory.entries) byOffset.push_back(&e);
    std::sort(byOffset.begin(), byOffset.end(), [](const ZipEntry* a, const ZipEntry* b) {
        return a->localHeaderOffset < b->localHeaderOffset;
    });
    for (size_t i = 1; i < byOffset.size(); ++i) {
        const ZipEntry& prev = *byOffset[i - 1];
        const uint64_t prevEnd =
            prev.localHeaderOffset + kLocalHeaderSize + prev.rawName.size() + prev.compressedSize;
        if (prevEnd > byOffset[i]->localHeaderOffset) {
            return Fail(
                kCorruptArchive, error,
                "entries share their data: " + prev.rawName + " and " + byOffset[i]->rawName);
        }
    }
    return kOk;
}

}  // namespace

const char* ResultName(int result) {
    switch (result) {
        case kOk: return "OK";
        case kBadCommandLine: return "bad command line";
        case kCannotOpenArchive: return "cannot open archive";
        case kCorruptArchive: return "not a ZIP archive or corrupt";
        case kUnsupported: return "unsupported feature";
        case kCrcMismatch: return "CRC mismatch";
        case kUnsafePath: return "unsafe path";
        case kTooLarge: return "too large";
        case kWriteError: return "write error";
        case kCancelled: return "cancelled";
        case kSizeMismatch: return "size mismatch";
        case kInternalError: return "internal error";
        case kNoSpace: return "not enough disk space";
        default: return "unknown error";
    }
}

bool MemoryByteSource::ReadAt(uint64_t offset, void* buffer, size_t n) {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    if (n) std::memcpy(buffer, bytes_.data() + offset, n);
    return true;
}

Result ReadZipDirectory(ByteSource& source, ZipDirectory* directory, std::string* error) {
    directory->entries.clear();
    directory->totalUncompressed = 0;
    const uint64_t size = source.Size();
    if (size < kEocdSize) return Fail(kCorruptArchive, error, "not a ZIP archive (file too small)");

    // The EOCD record sits at the very end, followed only by its comment.
    const size_t span = size_t(std::min<uint64_t>(size, kEocdSearchSpan));
    const uint64_t tailStart = size - span;
    std::vector<uint8_t> tail(span);
    if (!source.ReadAt(tailStart, tail.data(), span)) {
        return Fail(kCannotOpenArchive, error, "read error");
    }
    size_t eocd = span;
    for (size_t i = span - kEocdSize + 1; i-- > 0;) {
        if (Rd32(&tail[i]) == kEocdSig && i + kEocdSize + Rd16(&tail[i + 20]) <= span) {
            eocd = i;
            break;
        }
    }
    if (eocd == span) {
        return Fail(kCorruptArchive, error,
                    "not a ZIP archive (no end of central directory record)");
    }
    const uint8_t* e = &tail[eocd];
    const uint64_t eocdPos = tailStart + eocd;
    uint32_t diskNumber = Rd16(e + 4), cdDisk = Rd16(e + 6);
    uint64_t entriesOnDisk = Rd16(e + 8), entryCount = Rd16(e + 10);
    uint64_t cdSize = Rd32(e + 12), cdOffset = Rd32(e + 16);
    uint64_t cdEnd = eocdPos;

    uint8_t locator[kZip64LocatorSize];
    if (eocdPos >= kZip64LocatorSize &&
        source.ReadAt(eocdPos - kZip64LocatorSize, locator, kZip64LocatorSize) &&
        Rd32(locator) == kZip64LocatorSig) {
        uint64_t recordPos = Rd64(locator + 8);
        uint8_t rec[kZip64EocdSize];
        if (Rd32(locator + 4) != 0 || Rd32(locator + 16) > 1) {
            return Fail(kUnsupported, error, "multi-volume archives are not supported");
        }
        if (recordPos > eocdPos - kZip64LocatorSize ||
            eocdPos - kZip64LocatorSize - recordPos < kZip64EocdSize ||
            !source.ReadAt(recordPos, rec, kZip64EocdSize) || Rd32(rec) != kZip64EocdSig) {
            return Fail(kCorruptArchive, error, "bad ZIP64 end of central directory record");
        }
        diskNumber = Rd32(rec + 16);
        cdDisk = Rd32(rec + 20);
        entriesOnDisk = Rd64(rec + 24);
        entryCount = Rd64(rec + 32);
        cdSize = Rd64(rec + 40);
        cdOffset = Rd64(rec + 48);
        cdEnd = recordPos;
    } else if (entryCount == 0xFFFF || cdSize == 0xFFFFFFFFu || cdOffset == 0xFFFFFFFFu) {
        return Fail(kCorruptArchive, error, "ZIP64 archive without ZIP64 locator");
    }

    if (diskNumber != 0 || cdDisk != 0 || entriesOnDisk != entryCount) {
        return Fail(kUnsupported, error, "multi-volume archives are not supported");
    }
    if (entryCount > kMaxEntries) {
        return Fail(kTooLarge, error,
                    "too many entries (" + std::to_string(entryCount) + ", limit " +
                        std::to_string(kMaxEntries) + ")");
    }
    if (cdSize > cdEnd || cdSize < entryCount * kCentralHeaderSize) {
        return Fail(kCorruptArchive, error, "bad central directory size");
    }
    if (cdSize > kMaxCentralDirectorySize) {
        return Fail(kTooLarge, error, "central directory too large");
    }
    // Bytes prepended to the archive (self-extractor stubs) shift every
    // offset; the real start of the directory is known from its end.
    const uint64_t cdStart = cdEnd - cdSize;
    if (cdOffset > cdStart) return Fail(kCorruptArchive, error, "bad central directory offset");
    const uint64_t shift = cdStart - cdOffset;

    std::vector<uint8_t> cd(size_t(cdSize) + 1);
    if (cdSize && !source.ReadAt(cdStart, cd.data(), size_t(cdSize))) {
        return Fail(kCannotOpenArchive, error, "read error");
    }
    directory->entries.reserve(size_t(entryCount));
    size_t p = 0;
    for (uint64_t n = 0; n < entryCount; ++n) {
        if (cdSize - p < kCentralHeaderSize || Rd32(&cd[p]) != kCentralHeaderSig) {
            return Fail(kCorruptArchive, error,
                        "bad central directory entry #" + std::to_string(n + 1));
        }
        const uint8_t* h = &cd[p];
        ZipEntry entry;
        entry.flags = Rd16(h + 8);
        entry.method = Rd16(h + 10);
        entry.crc32 = Rd32(h + 16);
        entry.compressedSize = Rd32(h + 20);
        entry.uncompressedSize = Rd32(h + 24);
        size_t nameLen = Rd16(h + 28), extraLen = Rd16(h + 30), commentLen = Rd16(h + 32);
        uint32_t diskStart = Rd16(h + 34);
        entry.localHeaderOffset = Rd32(h + 42);
        if (cdSize - p - kCentralHeaderSize < nameLen + extraLen + commentLen) {
            return Fail(kCorruptArchive, error,
                        "central directory entry #" + std::to_string(n + 1) + " overruns");
        }
        entry.rawName.assign(reinterpret_cast<const char*>(h + kCentralHeaderSize), nameLen);
        entry.utf8 = (entry.flags & 0x0800) != 0;
        if (!ApplyZip64Extra(h + kCentralHeaderSize + nameLen, extraLen, &entry.uncompressedSize,
                             &entry.compressedSize, &entry.localHeaderOffset, &diskStart)) {
            return Fail(kCorruptArchive, error, "bad ZIP64 extra field: " + entry.rawName);
        }
        p += kCentralHeaderSize + nameLen + extraLen + commentLen;

        std::string reason;
        if (!NormalizeEntryName(entry.rawName, &entry.path, &entry.isDirectory, &reason)) {
            std::string shown = entry.rawName.substr(0, entry.rawName.find('\0'));
            return Fail(kUnsafePath, error, "unsafe entry name \"" + shown + "\": " + reason);
        }
        if (IsLink(Rd16(h + 4), Rd32(h + 38))) {
            return Fail(kUnsupported, error, "symbolic link entry: " + entry.rawName);
        }
        if (entry.flags & 0x0041) {
            return Fail(kUnsupported, error, "encrypted entry: " + entry.rawName);
        }
        if (diskStart != 0) {
            return Fail(kUnsupported, error, "multi-volume archives are not supported");
        }
        if (entry.localHeaderOffset > cdOffset ||
            cdOffset - entry.localHeaderOffset < kLocalHeaderSize + uint64_t(nameLen) ||
            cdOffset - entry.localHeaderOffset - kLocalHeaderSize - nameLen <
                entry.compressedSize) {
            return Fail(kCorruptArchive, error, "entry data outside the archive: " + entry.rawName);
        }
        entry.localHeaderOffset += shift;
        if (!entry.isDirectory) {
            if (entry.method != 0 && entry.method != 8) {
                return Fail(kUnsupported, error,
                            "compression method " + std::to_string(entry.method) + " (" +
                                MethodName(entry.method) + "): " + entry.rawName);
            }
            if (entry.method == 0 && entry.compressedSize != entry.uncompressedSize) {
                return Fail(kCorruptArchive, error,
                            "stored entry sizes disagree: " + entry.rawName);
            }
            // compressedSize lies inside the archive, so the product cannot wrap.
            if (entry.uncompressedSize > kRatioCheckedAbove &&
                entry.uncompressedSize > entry.compressedSize * kMaxInflationRatio) {
                return Fail(kTooLarge, error,
                            "entry would inflate " + std::to_string(entry.compressedSize) +
                                " bytes to " + std::to_string(entry.uncompressedSize) +
                                " (more than " + std::to_string(kMaxInflationRatio) +
                                ":1): " + entry.rawName);
            }
            if (entry.uncompressedSize > kMaxTotalUncompressed - directory->totalUncompressed) {
                return Fail(kTooLarge, error,
                            "archive expands to more than " +
                                std::to_string(kMaxTotalUncompressed >> 20) + " MiB");
            }
            directory->totalUncompressed += entry.uncompressedSize;
        }
        directory->entries.push_back(std::move(entry));
    }
    directory->dataEnd = cdStart;
    return CheckNoSharedData(*directory, error);
}

struct EntryDecoder::ZState {
    z_stream stream{};
    bool ready = false;
};

EntryDecoder::EntryDecoder() : z_(new ZState) {
    z_->ready = inflateInit2(&z_->stream, -MAX_WBITS) == Z_OK;
}

EntryDecoder::~EntryDecoder() {
    if (z_->ready) inflateEnd(&z_->stream);
}

Result EntryDecoder::Decode(ByteSource& source, const ZipDirectory& directory,
                            const ZipEntry& entry, FileWriter* out, std::string* error) {
    if (in_.empty()) {
        in_.resize(kInputBufferSize);
        out_.resize(kOutputBufferSize);
    }
    const uint64_t available = directory.dataEnd > entry.localHeaderOffset
                                   ? directory.dataEnd - entry.localHeaderOffset
                                   : 0;
    // One read usually brings the header and all data of a small entry.
    uint64_t want =
        kLocalHeaderSize + entry.rawName.size() + kLocalExtraSlack + entry.compressedSize;
    want = std::min<uint64_t>({want, in_.size(), available});
    if (want < kLocalHeaderSize ||
        !source.ReadAt(entry.localHeaderOffset, in_.data(), size_t(want))) {
        return Fail(kCorruptArchive, error, "truncated local header: " + entry.rawName);
    }
    if (Rd32(in_.data()) != kLocalHeaderSig) {
        return Fail(kCorruptArchive, error, "bad local header signature: " + entry.rawName);
    }
    const uint64_t header = kLocalHeaderSize + uint64_t(Rd16(&in_[26])) + Rd16(&in_[28]);
    if (header > available || available - header < entry.compressedSize) {
        return Fail(kCorruptArchive, error, "entry data truncated: " + entry.rawName);
    }
    size_t have = 0;
    if (want > header) have = size_t(std::min<uint64_t>(want - header, entry.compressedSize));
    const uint64_t dataOffset = entry.localHeaderOffset + header;
    if (entry.method == 0) return Copy(source, entry, dataOffset, have, size_t(header), out, error);
    if (!z_->ready) return Fail(kInternalError, error, "zlib initialisation failed");
    return Inflate(source, entry, dataOffset, have, size_t(header), out, error);
}

Result EntryDecoder::Copy(ByteSource& source, const ZipEntry& entry, uint64_t dataOffset,
                          size_t have, size_t haveOffset, FileWriter* out, std::string* error) {
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t pos = dataOffset + have;
    uint64_t remaining = entry.compressedSize - have;
    if (have) {
        crc = crc32(crc, &in_[haveOffset], uInt(have));
        if (!out->Write(&in_[haveOffset], have)) {
            return Fail(kWriteError, error, "cannot write " + entry.path);
        }
    }
    while (remaining) {
        size_t n = size_t(std::min<uint64_t>(remaining, in_.size()));
        if (!source.ReadAt(pos, in_.data(), n)) {
            return Fail(kCorruptArchive, error, "read error: " + entry.rawName);
        }
        crc = crc32(crc, in_.data(), uInt(n));
        if (!out->Write(in_.data(), n))
            return Fail(kWriteError, error, "cannot write " + entry.path);
        pos += n;
        remaining -= n;
    }
    if (crc != entry.crc32) return Fail(kCrcMismatch, error, "CRC mismatch: " + entry.rawName);
    return kOk;
}

Result EntryDecoder::Inflate(ByteSource& source, const ZipEntry& entry, uint64_t dataOffset,
                             size_t have, size_t haveOffset, FileWriter* out, std::string* error) {
    z_stream& zs = z_->stream;
    if (inflateReset(&zs) != Z_OK) return Fail(kInternalError, error, "zlib reset failed");
    zs.next_in = &in_[haveOffset];
    zs.avail_in = uInt(have);
    uint64_t pos = dataOffset + have;
    uint64_t remainingIn = entry.compressedSize - have;
    const uint64_t declared = entry.uncompressedSize;
    uint64_t produced = 0;
    size_t fill = 0;
    uLong crc = crc32(0L, Z_NULL, 0);

    auto flush = [&]() {
        if (!fill) return true;
        crc = crc32(crc, out_.data(), uInt(fill));
        bool ok = out->Write(out_.data(), fill);
        fill = 0;
        return ok;
    };

    for (;;) {
        if (zs.avail_in == 0 && remainingIn > 0) {
            size_t n = size_t(std::min<uint64_t>(remainingIn, in_.size()));
            if (!source.ReadAt(pos, in_.data(), n)) {
                return Fail(kCorruptArchive, error, "read error: " + entry.rawName);
            }
            zs.next_in = in_.data();
            zs.avail_in = uInt(n);
            pos += n;
            remainingIn -= n;
        }
        // Room for at most one byte beyond the declared size: enough to notice
        // an entry that lies about its size without writing the excess.
        size_t room = out_.size() - fill;
        if (room > declared - produced + 1) room = size_t(declared - produced + 1);
        zs.next_out = &out_[fill];
        zs.avail_out = uInt(room);
        int ret = inflate(&zs, Z_NO_FLUSH);
        size_t got = room - zs.avail_out;
        fill += got;
        produced += got;
        if (produced > declared) {
            return Fail(kTooLarge, error,
                        "entry expands beyond its declared size: " + entry.rawName);
        }
        if (ret == Z_STREAM_END) break;
        if (ret == Z_BUF_ERROR && zs.avail_in == 0 && remainingIn == 0) {
            return Fail(kCorruptArchive, error, "truncated compressed data: " + entry.rawName);
        }
        if (ret != Z_OK && ret != Z_BUF_ERROR) {
            return Fail(kCorruptArchive, error,
                        std::string("compressed data error (") + (zs.msg ? zs.msg : "zlib") +
                            "): " + entry.rawName);
        }
        if (fill == out_.size() && !flush()) {
            return Fail(kWriteError, error, "cannot write " + entry.path);
        }
    }
    if (!flush()) return Fail(kWriteError, error, "cannot write " + entry.path);
    if (produced != declared) {
        return Fail(kSizeMismatch, error,
                    "entry is " + std::to_string(produced) + " bytes, declared " +
                        std::to_string(declared) + ": " + entry.rawName);
    }
    if (crc != entry.crc32) return Fail(kCrcMismatch, error, "CRC mismatch: " + entry.rawName);
    return kOk;
}

}  // namespace archive
