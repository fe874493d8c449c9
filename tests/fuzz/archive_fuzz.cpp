// libFuzzer target: any bytes as a driver package. Extraction must end with
// a result code, never a crash, a hang or a read outside the input, and
// what it writes must obey its own promises: safe relative names, nothing
// beyond the declared sizes, nothing at all when the drive is too small.
// The last input byte picks the options (workers, overwrite, progress, free
// space, a link planted in the destination), so the threaded and the
// callback paths are fuzzed too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "extract.h"
#include "memory_sink.h"
#include "posix/posix_io.h"
#include "zip_reader.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool SafeName(const std::string& path) {
    if (path.empty() || path[0] == '/' || path.find('\\') != std::string::npos ||
        path.find(':') != std::string::npos) {
        return false;
    }
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(pos, end - pos);
        if (part.empty() || part.find_first_not_of(". ") == std::string::npos) return false;
        pos = end + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t knobs = size ? data[size - 1] : 0;
    std::vector<std::uint8_t> bytes(data, data + size);
    archive::MemoryByteSource source(bytes);
    ziptest::MemorySink sink;
    static archive::StdThreadPool pool;
    archive::ExtractOptions options;
    if (knobs & 1) {
        options.threads = 2;
        options.workers = &pool;
    }
    options.overwrite = (knobs & 2) == 0;
    int calls = 0;
    if (knobs & 4) {
        options.progress = [&calls, knobs](archive::ProgressState, const archive::ProgressInfo&) {
            return ++calls < 3 + (knobs >> 5);
        };
    }
    if (knobs & 8) {
        sink.freeSpaceKnown = true;
        sink.freeSpace = archive::kFreeSpaceMargin + (std::uint64_t(knobs >> 4) << 12);
    }
    // A link where the sample packages put their folders and their list:
    // nothing may be written at it or below it.
    if (knobs & 0x40) sink.links = {"Ticket", "Barcode/x86", "DriverName.cfg"};
    archive::ExtractReport report;
    const archive::Result result = archive::ExtractZip(source, sink, options, &report);
    Check(result >= archive::kOk && result <= archive::kNoSpace);
    Check((result == archive::kOk) == report.message.empty());

    archive::ZipDirectory directory;
    std::string error;
    if (archive::ReadZipDirectory(source, &directory, &error) != archive::kOk) {
        Check(sink.files.empty() && sink.dirs.empty());  // refused before any write
        return 0;
    }
    if (result == archive::kNoSpace) Check(sink.files.empty() && sink.dirs.empty());
    std::uint64_t written = 0;
    for (const auto& [path, content] : sink.files) {
        Check(SafeName(path));
        written += content.size();
    }
    for (const std::string& dir : sink.dirs) Check(SafeName(dir));
    auto throughLink = [&sink](const std::string& path) {
        for (const std::string& link : sink.links) {
            if (path == link || path.compare(0, link.size() + 1, link + "/") == 0) return true;
        }
        return false;
    };
    for (const auto& entry : sink.files) Check(!throughLink(entry.first));
    for (const std::string& dir : sink.dirs) Check(!throughLink(dir));
    Check(written <= directory.totalUncompressed);
    return 0;
}
