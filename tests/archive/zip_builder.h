// Minimal ZIP writer for tests: builds well-formed archives and, through the
// per-entry overrides, the malformed and hostile ones no real tool writes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ziptest {

struct Entry {
    std::string name;
    std::string data;
    uint16_t method = 8;
    uint16_t flags = 0;
    // Overrides; -1 keeps the true value.
    int64_t crc = -1;
    int64_t declaredSize = -1;    // uncompressed size in both headers
    bool dataDescriptor = false;  // zero CRC/sizes in the local header
    bool alreadyPacked = false;   // data goes in as given, whatever the method
    uint16_t versionMadeBy = 45;  // high byte: host system (0 DOS, 3 Unix, 10 NTFS)
    uint32_t externalAttributes = 0;
    std::string comment;  // the entry's comment in the central directory
    // Added to the true name, extra-field and comment lengths in the central
    // directory only, so that the entry claims bytes it does not have.
    uint16_t nameLengthLie = 0;
    uint16_t extraLengthLie = 0;
    uint16_t commentLengthLie = 0;
};

inline std::string Deflate(const std::string& in) {
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(in.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = uInt(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

class Builder {
public:
    Builder& Add(Entry e) {
        entries_.push_back(std::move(e));
        return *this;
    }
    Builder& File(const std::string& name, const std::string& data, uint16_t method = 8) {
        Entry e;
        e.name = name;
        e.data = data;
        e.method = method;
        return Add(e);
    }
    Builder& Dir(const std::string& name) { return File(name, "", 0); }
    Builder& Zip64(bool on = true) {
        zip64_ = on;
        return *this;
    }
    Builder& Prefix(const std::string& bytes) {
        prefix_ = bytes;
        return *this;
    }
    Builder& Comment(const std::string& text) {
        comment_ = text;
        return *this;
    }

    std::vector<uint8_t> Build() const {
        std::string out = prefix_, cd;
        for (const Entry& e : entries_) {
            std::string packed = e.method == 8 && !e.alreadyPacked ? Deflate(e.data) : e.data;
            uint32_t crc = e.crc >= 0
                               ? uint32_t(e.crc)
                               : uint32_t(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                uInt(e.data.size())));
            uint64_t usize = e.declaredSize >= 0 ? uint64_t(e.declaredSize) : e.data.size();
            uint64_t offset = out.size() - prefix_.size();
            uint16_t flags = uint16_t(e.flags | (e.dataDescriptor ? 8 : 0));
            Put32(out, 0x04034b50);
            Put16(out, 45);
            Put16(out, flags);
            Put16(out, e.method);
            Put32(out, 0);  // DOS time/date
            Put32(out, e.dataDescriptor ? 0 : crc);
            Put32(out, e.dataDescriptor ? 0 : uint32_t(packed.size()));
            Put32(out, e.dataDescriptor ? 0 : uint32_t(usize));
            Put16(out, uint16_t(e.name.size()));
            Put16(out, 0);
            out += e.name;
            out += packed;
            if (e.dataDescriptor) {
                Put32(out, 0x08074b50);
                Put32(out, crc);
                Put32(out, uint32_t(packed.size()));
                Put32(out, uint32_t(usize));
            }
            std::string extra;
            if (zip64_) {
                Put16(extra, 1);
                Put16(extra, 24);
                Put64(extra, usize);
                Put64(extra, packed.size());
                Put64(extra, offset);
            }
            Put32(cd, 0x02014b50);
            Put16(cd, e.versionMadeBy);
            Put16(cd, 45);
            Put16(cd, flags);
            Put16(cd, e.method);
            Put32(cd, 0);
            Put32(cd, crc);
            Put32(cd, zip64_ ? 0xFFFFFFFFu : uint32_t(packed.size()));
            Put32(cd, zip64_ ? 0xFFFFFFFFu : uint32_t(usize));
            Put16(cd, uint16_t(e.name.size() + e.nameLengthLie));
            Put16(cd, uint16_t(extra.size() + e.extraLengthLie));
            Put16(cd, uint16_t(e.comment.size() + e.commentLengthLie));
            Put16(cd, 0);  // disk
            Put16(cd, 0);  // internal attributes
            Put32(cd, e.externalAttributes);
            Put32(cd, zip64_ ? 0xFFFFFFFFu : uint32_t(offset));
            cd += e.name;
            cd += extra;
            cd += e.comment;
        }
        uint64_t cdOffset = out.size() - prefix_.size();
        out += cd;
        if (zip64_) {
            uint64_t recordOffset = out.size() - prefix_.size();
            Put32(out, 0x06064b50);
            Put64(out, 44);
            Put16(out, 45);
            Put16(out, 45);
            Put32(out, 0);
            Put32(out, 0);
            Put64(out, entries_.size());
            Put64(out, entries_.size());
            Put64(out, cd.size());
            Put64(out, cdOffset);
            Put32(out, 0x07064b50);
            Put32(out, 0);
            Put64(out, recordOffset + prefix_.size());
            Put32(out, 1);
        }
        Put32(out, 0x06054b50);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, zip64_ ? 0xFFFF : uint16_t(entries_.size()));
        Put16(out, zip64_ ? 0xFFFF : uint16_t(entries_.size()));
        Put32(out, zip64_ ? 0xFFFFFFFFu : uint32_t(cd.size()));
        Put32(out, zip64_ ? 0xFFFFFFFFu : uint32_t(cdOffset));
        Put16(out, uint16_t(comment_.size()));
        out += comment_;
        return std::vector<uint8_t>(out.begin(), out.end());
    }

private:
    static void Put16(std::string& s, uint32_t v) {
        s.push_back(char(v & 0xFF));
        s.push_back(char((v >> 8) & 0xFF));
    }
    static void Put32(std::string& s, uint32_t v) {
        Put16(s, v & 0xFFFF);
        Put16(s, v >> 16);
    }
    static void Put64(std::string& s, uint64_t v) {
        Put32(s, uint32_t(v));
        Put32(s, uint32_t(v >> 32));
    }

    std::vector<Entry> entries_;
    bool zip64_ = false;
    std::string prefix_;
    std::string comment_;
};

}  // namespace ziptest
