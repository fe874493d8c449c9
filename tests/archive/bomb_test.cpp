// Archive bombs: refused from the central directory alone, before a byte is
// written, by the room on the destination's drive and by the inflation
// ratio no driver file reaches.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "extract.h"
#include "memory_sink.h"
#include "zip_builder.h"
#include "zip_reader.h"

namespace {

using archive::ExtractOptions;
using archive::ExtractReport;
using archive::Result;
using ziptest::Builder;
using ziptest::Entry;
using ziptest::MemorySink;

constexpr uint64_t kMiB = uint64_t(1) << 20;

// Counts what the engine reads, to show a bomb is judged by its directory.
class CountingSource : public archive::MemoryByteSource {
public:
    using MemoryByteSource::MemoryByteSource;
    bool ReadAt(uint64_t offset, void* buffer, size_t n) override {
        bytesRead += n;
        return MemoryByteSource::ReadAt(offset, buffer, n);
    }
    std::atomic<uint64_t> bytesRead{0};
};

Result Extract(const std::vector<uint8_t>& zip, MemorySink* sink, ExtractReport* report,
               uint64_t* bytesRead = nullptr) {
    CountingSource source(zip);
    Result r = archive::ExtractZip(source, *sink, ExtractOptions(), report);
    if (bytesRead) *bytesRead = source.bytesRead;
    return r;
}

Entry Declaring(const std::string& name, const std::string& data, uint64_t declared,
                uint16_t method = 8) {
    Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    e.declaredSize = int64_t(declared);
    return e;
}

// The directory's verdict on one entry whose compressed data is `packed`
// bytes long and which claims to inflate to `declared` bytes.
Result DirectoryVerdict(size_t packed, uint64_t declared, std::string* message) {
    Entry e = Declaring("e.bin", std::string(packed, 'x'), declared, 8);
    e.alreadyPacked = true;  // only the directory is read here
    std::vector<uint8_t> zip = Builder().Add(e).Build();
    archive::MemoryByteSource source(zip);
    archive::ZipDirectory dir;
    return archive::ReadZipDirectory(source, &dir, message);
}

TEST(ArchiveBomb, RoomOnTheDriveIsCheckedAgainstTheDeclaredTotalAtTheExactMargin) {
    const std::string a(3000, 'a'), b(2000, 'b');
    const auto zip =
        Builder().File("DriverName.cfg", a).Dir("Ticket/").File("Ticket/x86/b", b).Build();
    const uint64_t total = a.size() + b.size();
    struct Case {
        bool known;
        uint64_t free;
        Result expected;
    } cases[] = {
        {true, total + archive::kFreeSpaceMargin, archive::kOk},
        {true, total + archive::kFreeSpaceMargin - 1, archive::kNoSpace},
        {true, archive::kFreeSpaceMargin - 1,
         archive::kNoSpace},  // no wrap-around below the margin
        {true, 0, archive::kNoSpace},
        {false, 0, archive::kOk},  // unknown: nothing to judge by
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.free);
        MemorySink sink;
        sink.freeSpaceKnown = c.known;
        sink.freeSpace = c.free;
        ExtractReport report;
        ASSERT_EQ(c.expected, Extract(zip, &sink, &report)) << report.message;
        if (c.expected == archive::kOk) {
            EXPECT_EQ(a, sink.files["DriverName.cfg"]);
            EXPECT_EQ(b, sink.files["Ticket/x86/b"]);
        } else {
            EXPECT_TRUE(sink.files.empty());
            EXPECT_TRUE(sink.dirs.empty());
            EXPECT_NE(std::string::npos, report.message.find("must stay free")) << report.message;
        }
    }
    // Nothing to write needs no room.
    MemorySink full;
    full.freeSpaceKnown = true;
    ExtractReport report;
    EXPECT_EQ(archive::kOk, Extract(Builder().Dir("empty/").Build(), &full, &report));
}

TEST(ArchiveBomb, TheMessageSaysWhatIsNeededAndWhatIsFree) {
    const auto zip =
        Builder().Add(Declaring("big", std::string(kMiB * 3, 'z'), 3 * kMiB, 0)).Build();
    MemorySink sink;
    sink.freeSpaceKnown = true;
    sink.freeSpace = 66 * kMiB + 5;
    ExtractReport report;
    ASSERT_EQ(archive::kNoSpace, Extract(zip, &sink, &report));
    EXPECT_EQ(
        "the package unpacks to 3 MiB but its destination has 66 MiB free, and 64 MiB of it "
        "must stay free",
        report.message);
    EXPECT_STREQ("not enough disk space", archive::ResultName(archive::kNoSpace));
}

TEST(ArchiveBomb, InflationRatioBoundsAtTheExactLimits) {
    std::string message;
    // Above 1 MiB an entry may claim 200 times its compressed size, no more.
    EXPECT_EQ(archive::kOk, DirectoryVerdict(10000, 10000 * archive::kMaxInflationRatio, &message))
        << message;
    EXPECT_EQ(archive::kTooLarge,
              DirectoryVerdict(10000, 10000 * archive::kMaxInflationRatio + 1, &message));
    EXPECT_NE(std::string::npos, message.find("more than 200:1")) << message;
    EXPECT_NE(std::string::npos, message.find("e.bin")) << message;
    // Up to 1 MiB any ratio passes: a small table of zeros is harmless.
    EXPECT_EQ(archive::kOk, DirectoryVerdict(1, archive::kRatioCheckedAbove, &message)) << message;
    EXPECT_EQ(archive::kTooLarge, DirectoryVerdict(1, archive::kRatioCheckedAbove + 1, &message));
    EXPECT_EQ(archive::kTooLarge, DirectoryVerdict(0, archive::kRatioCheckedAbove + 1, &message));
}

TEST(ArchiveBomb, ARealBombIsRefusedFromItsDirectoryAlone) {
    // 256 MiB of zeros deflate to about 250 KiB: 1000:1, as bombs are made.
    const std::string zeros(256 * kMiB, '\0');
    const auto zip =
        Builder().File("DriverName.cfg", "[S]\r\n").File("Ticket/x86/pad.bin", zeros).Build();
    MemorySink sink;
    ExtractReport report;
    uint64_t bytesRead = 0;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(archive::kTooLarge, Extract(zip, &sink, &report, &bytesRead));
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_TRUE(sink.files.empty());
    EXPECT_TRUE(sink.dirs.empty());
    // Only the end record and the directory were read, never the data.
    EXPECT_LT(bytesRead, uint64_t(70000)) << "of " << zip.size();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 1000);
}

TEST(ArchiveBomb, EntriesSharingOneCompressedBlockAreRefused) {
    // Two names over one block of data, the way overlapping bombs multiply a
    // small kernel: the second central record points at the first's header.
    auto zip = Builder()
                   .File("a.bin", std::string(5000, 'k'))
                   .File("b.bin", std::string(5000, 'k'))
                   .Build();
    size_t second = 0;
    for (size_t i = 0, seen = 0; i + 4 <= zip.size(); ++i) {
        if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == 1 && zip[i + 3] == 2 &&
            ++seen == 2) {
            second = i;
            break;
        }
    }
    ASSERT_NE(0u, second);
    for (int k = 0; k < 4; ++k) zip[second + 42 + k] = 0;  // local header offset 0
    MemorySink sink;
    ExtractReport report;
    EXPECT_EQ(archive::kCorruptArchive, Extract(zip, &sink, &report));
    EXPECT_NE(std::string::npos, report.message.find("share")) << report.message;
    EXPECT_TRUE(sink.files.empty());
}

TEST(ArchiveBomb, AnEntryLyingAboutItsSizeLeavesNothingBehind) {
    // Declared 1 KiB, inflates to 64 KiB: stopped at the declared size, and
    // the cut file is removed rather than left to pass for a driver file.
    Entry liar = Declaring("Ticket/x86/liar.dll", std::string(64 * 1024, '\0'), 1024);
    MemorySink sink;
    ExtractReport report;
    EXPECT_EQ(archive::kTooLarge,
              Extract(Builder().File("first", "1").Add(liar).Build(), &sink, &report));
    EXPECT_EQ(0u, sink.files.count("Ticket/x86/liar.dll"));
    EXPECT_EQ(1u, sink.removed.count("Ticket/x86/liar.dll"));
    EXPECT_EQ("1", sink.files["first"]);  // the good entry before it stays
}

}  // namespace

namespace {

TEST(ArchiveBomb, TheTotalLimitHoldsAtExactlyTwoGibibytes) {
    // Two entries of 1 GiB each, each from 5.5 MB of data (under 200:1).
    auto verdict = [](uint64_t second) {
        Entry a = Declaring("a.bin", std::string(5500000, 'x'), uint64_t(1) << 30);
        Entry b = Declaring("b.bin", std::string(5500000, 'y'), second);
        a.alreadyPacked = b.alreadyPacked = true;
        std::vector<uint8_t> zip = Builder().Add(a).Add(b).Build();
        archive::MemoryByteSource source(zip);
        archive::ZipDirectory dir;
        std::string message;
        return archive::ReadZipDirectory(source, &dir, &message);
    };
    EXPECT_EQ(archive::kOk, verdict(uint64_t(1) << 30));
    EXPECT_EQ(archive::kTooLarge, verdict((uint64_t(1) << 30) + 1));
}

TEST(ArchiveBomb, EntriesOverlappingByOneByteAreRefusedAndAdjacentOnesAreNot) {
    auto zip = Builder()
                   .File("a.bin", std::string(300, 'a'), 0)
                   .File("b.bin", std::string(300, 'b'), 0)
                   .Build();
    size_t second = 0;
    for (size_t i = 0, seen = 0; i + 4 <= zip.size(); ++i) {
        if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == 1 && zip[i + 3] == 2 &&
            ++seen == 2) {
            second = i;
            break;
        }
    }
    ASSERT_NE(0u, second);
    const uint32_t offset = uint32_t(zip[second + 42]) | uint32_t(zip[second + 43]) << 8;
    ASSERT_EQ(30u + 5 + 300, offset);  // right after a.bin's header and data
    zip[second + 42] = uint8_t(offset - 1);
    MemorySink sink;
    ExtractReport report;
    EXPECT_EQ(archive::kCorruptArchive, Extract(zip, &sink, &report));
    EXPECT_NE(std::string::npos, report.message.find("share")) << report.message;
}

// Records how the engine would share out its work.
class CountingPool : public archive::WorkerPool {
public:
    unsigned Concurrency() const override { return 2; }
    void Run(unsigned count, const std::function<void()>& work) override {
        largest = std::max(largest, count);
        work();
    }
    unsigned largest = 0;
};

TEST(ArchiveBomb, NamesThatWindowsFoldsToOneFileAreNeverWrittenByTwoWorkers) {
    // On Windows "a.dll" and "A.DLL" are one file: two workers writing it at
    // once would interleave their bytes.
    std::string big(3 << 20, '\0');  // over the size that brings in the workers
    uint32_t seed = 7;
    for (char& c : big) c = char('a' + (seed = seed * 1103515245u + 12345u) % 26);
    for (const auto& names :
         {std::make_pair("Ticket/a.dll", "TICKET/A.DLL"), std::make_pair("x/a", "x/b")}) {
        CountingPool pool;
        ExtractOptions options;
        options.threads = 2;
        options.workers = &pool;
        MemorySink sink;
        archive::MemoryByteSource source(
            Builder().File(names.first, big).File(names.second, big).Build());
        ExtractReport report;
        ASSERT_EQ(archive::kOk, archive::ExtractZip(source, sink, options, &report));
        EXPECT_EQ(std::string(names.first) == "x/a" ? 2u : 0u, pool.largest) << names.first;
    }
}

}  // namespace
