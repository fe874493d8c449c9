#include "extract.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "memory_sink.h"
#include "posix/posix_io.h"
#include "zip_builder.h"
#include "zip_reader.h"

using archive::ExtractOptions;
using archive::ExtractReport;
using archive::MemoryByteSource;
using archive::ProgressInfo;
using archive::ProgressState;
using archive::Result;
using ziptest::Builder;
using ziptest::Entry;
using ziptest::MemorySink;

namespace {

Result Extract(const std::vector<uint8_t>& zip, MemorySink* sink, ExtractOptions options = {},
               ExtractReport* reportOut = nullptr) {
    MemoryByteSource source(zip);
    ExtractReport report;
    Result r = archive::ExtractZip(source, *sink, options, &report);
    if (reportOut) *reportOut = report;
    if (r == archive::kOk) {
        EXPECT_TRUE(report.message.empty()) << report.message;
    } else {
        EXPECT_FALSE(report.message.empty()) << "failure without a message";
    }
    return r;
}

std::string Text(size_t n, unsigned seed) {
    static const char* words[] = {"driver ", "printer ", "port ", "queue ", "ink\n", "0x1F "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += words[rng() % 6];
    s.resize(n);
    return s;
}

std::string Random(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

Entry Make(const std::string& name, const std::string& data, uint16_t method = 8) {
    Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

}  // namespace

// --- Well-formed archives -------------------------------------------------

TEST(ExtractZip, StoredDeflatedFoldersAndEmptyFiles) {
    auto zip = Builder()
                   .Dir("drv/")
                   .File("drv/x86/ink.inf", Text(5000, 1), 8)
                   .File("drv/x64/big.bin", Random(3 << 20, 2), 0)
                   .File("deep/a/b/c/file with blanks.txt", Text(70, 3), 8)
                   .File("empty.txt", "", 0)
                   .File("empty-deflated.txt", "", 8)
                   .Dir("only/folder/")
                   .Build();
    MemorySink sink;
    ExtractReport report;
    ASSERT_EQ(archive::kOk, Extract(zip, &sink, {}, &report));
    EXPECT_EQ(Text(5000, 1), sink.files["drv/x86/ink.inf"]);
    EXPECT_EQ(Random(3 << 20, 2), sink.files["drv/x64/big.bin"]);
    EXPECT_EQ(Text(70, 3), sink.files["deep/a/b/c/file with blanks.txt"]);
    EXPECT_EQ("", sink.files.at("empty.txt"));
    EXPECT_EQ("", sink.files.at("empty-deflated.txt"));
    EXPECT_EQ(5u, sink.files.size());
    // Parents are created for files even without folder entries.
    for (const char* d : {"drv", "drv/x86", "drv/x64", "deep", "deep/a", "deep/a/b", "deep/a/b/c",
                          "only", "only/folder"}) {
        EXPECT_TRUE(sink.dirs.count(d)) << d;
    }
    EXPECT_EQ(5u, report.files);
    EXPECT_EQ(2u, report.directories);
}

TEST(ExtractZip, BackslashesAreSeparatorsAndRedundantPartsDrop) {
    auto zip = Builder()
                   .File("win\\style\\name.txt", "a")
                   .File("./dot//double.txt", "b")
                   .Dir("win\\dir\\")
                   .Build();
    MemorySink sink;
    ASSERT_EQ(archive::kOk, Extract(zip, &sink));
    EXPECT_EQ("a", sink.files["win/style/name.txt"]);
    EXPECT_EQ("b", sink.files["dot/double.txt"]);
    EXPECT_TRUE(sink.dirs.count("win/dir"));
}

TEST(ExtractZip, EmptyArchiveSucceedsWithNothingWritten) {
    MemorySink sink;
    ASSERT_EQ(archive::kOk, Extract(Builder().Build(), &sink));
    EXPECT_TRUE(sink.files.empty());
    EXPECT_TRUE(sink.dirs.empty());
}

TEST(ExtractZip, ReaderVariantsOfTheSameContent) {
    std::string data = Text(100000, 9);
    Entry descriptor = Make("dd.txt", data);
    descriptor.dataDescriptor = true;
    Entry utf8 = Make("\xC3\xA9t\xC3\xA9.txt", data);
    utf8.flags = 0x0800;
    const std::vector<std::vector<uint8_t>> variants = {
        Builder().File("f.txt", data).Zip64().Build(),
        Builder().File("f.txt", data).Prefix(std::string(4096, 'M')).Build(),
        Builder().File("f.txt", data).Comment("PK\x05\x06 fake record in a comment").Build(),
        Builder().File("f.txt", data).Comment(std::string(65535, 'c')).Build(),
    };
    for (size_t i = 0; i < variants.size(); ++i) {
        MemorySink sink;
        ASSERT_EQ(archive::kOk, Extract(variants[i], &sink)) << "variant " << i;
        EXPECT_EQ(data, sink.files["f.txt"]) << "variant " << i;
    }
    MemorySink sink;
    ASSERT_EQ(archive::kOk, Extract(Builder().Add(descriptor).Add(utf8).Build(), &sink));
    EXPECT_EQ(data, sink.files["dd.txt"]);
    EXPECT_EQ(data, sink.files["\xC3\xA9t\xC3\xA9.txt"]);
}

archive::StdThreadPool pool;

// A pool whose extra threads never start: the caller's run must do it all.
class StartlessPool : public archive::WorkerPool {
public:
    unsigned Concurrency() const override { return 2; }
    void Run(unsigned, const std::function<void()>& work) override { work(); }
};

TEST(ExtractZip, TwoWorkersGiveTheSameResultAsOne) {
    Builder b;
    for (int i = 0; i < 200; ++i) {
        b.File("d" + std::to_string(i % 7) + "/f" + std::to_string(i),
               i % 3 ? Text(20000 + i, i) : Random(50000, i), i % 5 ? 8 : 0);
    }
    auto zip = b.Build();
    MemorySink one, two;
    ExtractOptions o1, o2;
    o1.threads = 1;
    o2.threads = 2;
    o2.workers = &pool;
    ASSERT_EQ(archive::kOk, Extract(zip, &one, o1));
    ASSERT_EQ(archive::kOk, Extract(zip, &two, o2));
    EXPECT_EQ(one.files, two.files);
    EXPECT_EQ(one.dirs, two.dirs);
    EXPECT_EQ(200u, two.files.size());

    StartlessPool startless;
    MemorySink alone;
    o2.workers = &startless;
    ASSERT_EQ(archive::kOk, Extract(zip, &alone, o2));
    EXPECT_EQ(one.files, alone.files);
}

TEST(ExtractZip, DuplicateNamesKeepTheLastEvenWithWorkers) {
    auto zip = Builder()
                   .File("a.txt", "first")
                   .File("dir/x", "x")
                   .File("A.TXT", "second")
                   .File("a.txt", "third")
                   .Build();
    ExtractOptions options;
    options.threads = 2;
    options.workers = &pool;
    MemorySink sink;
    ASSERT_EQ(archive::kOk, Extract(zip, &sink, options));
    EXPECT_EQ("third", sink.files["a.txt"]);
}

// --- Hostile names: rejected before anything is written -------------------

TEST(ExtractZip, UnsafeNamesFailTheWholeArchiveUpFront) {
    // One of each kind; the full list is in safe_path_test.cpp.
    const char* names[] = {"../evil", "/abs", "C:\\x", "a/../../b", "file:ads", "sub/NUL.txt"};
    for (const char* bad : names) {
        auto zip = Builder().File("good/first.txt", "fine").File(bad, "payload").Build();
        MemorySink sink;
        EXPECT_EQ(archive::kUnsafePath, Extract(zip, &sink)) << bad;
        EXPECT_TRUE(sink.files.empty()) << bad;
        EXPECT_TRUE(sink.dirs.empty()) << bad;
    }
    Entry nul = Make(std::string("safe.txt\0../../x", 16), "x");
    MemorySink sink;
    EXPECT_EQ(archive::kUnsafePath, Extract(Builder().Add(nul).Build(), &sink));
}

TEST(ExtractZip, SystemFoldersAreRefusedBeforeAnythingIsWritten) {
    auto zip = Builder()
                   .File("DriverName.cfg", "[S0]")
                   .File("Ticket/x86/a.dll", "fine")
                   .File("Program Files/Common Files/evil.dll", "payload")
                   .Build();
    MemorySink sink;
    ExtractReport report;
    EXPECT_EQ(archive::kUnsafePath, Extract(zip, &sink, {}, &report));
    EXPECT_TRUE(sink.files.empty());
    EXPECT_TRUE(sink.dirs.empty());
    EXPECT_NE(report.message.find("Program Files/Common Files/evil.dll"), std::string::npos)
        << report.message;
    EXPECT_NE(report.message.find("Windows system folder ('Program Files')"), std::string::npos)
        << report.message;
}

// --- Damaged data -----------------------------------------------------------

TEST(ExtractZip, CrcMismatchIsReportedForStoredAndDeflated) {
    for (uint16_t method : {0, 8}) {
        Entry e = Make("f.bin", Text(3000, 4), method);
        e.crc = 0x12345678;
        MemorySink sink;
        EXPECT_EQ(archive::kCrcMismatch, Extract(Builder().Add(e).Build(), &sink)) << method;
    }
    // Corrupt payload byte with the true CRC still in the headers.
    auto zip = Builder().File("s.bin", Random(1000, 5), 0).Build();
    zip[30 + 5 + 500] ^= 0x40;
    MemorySink sink;
    EXPECT_EQ(archive::kCrcMismatch, Extract(zip, &sink));
}

TEST(ExtractZip, WrongDeclaredSizes) {
    std::string data = Text(100000, 6);
    Entry longer = Make("f", data);
    longer.declaredSize = int64_t(data.size()) + 1;
    MemorySink sink1;
    EXPECT_EQ(archive::kSizeMismatch, Extract(Builder().Add(longer).Build(), &sink1));

    Entry shorter = Make("f", data);
    shorter.declaredSize = 1000;
    MemorySink sink2;
    EXPECT_EQ(archive::kTooLarge, Extract(Builder().Add(shorter).Build(), &sink2));
    EXPECT_LE(sink2.files["f"].size(), 1000u) << "wrote past the declared size";

    // A stored entry's two sizes must agree.
    Entry stored = Make("s", data, 0);
    stored.declaredSize = 10;
    MemorySink sink3;
    EXPECT_EQ(archive::kCorruptArchive, Extract(Builder().Add(stored).Build(), &sink3));
}

TEST(ExtractZip, BombsAreStopped) {
    // By actual size: 64 MiB of zeros that claims to be 1 KiB.
    Entry actual = Make("bomb", std::string(64 << 20, '\0'));
    actual.declaredSize = 1024;
    MemorySink sink1;
    EXPECT_EQ(archive::kTooLarge, Extract(Builder().Add(actual).Build(), &sink1));
    EXPECT_LE(sink1.files["bomb"].size(), 1024u);

    // By declared size: refused before any output.
    Entry declared = Make("huge", "x");
    declared.declaredSize = 0xF0000000;
    MemorySink sink2;
    EXPECT_EQ(archive::kTooLarge,
              Extract(Builder().File("first", "1").Add(declared).Build(), &sink2));
    EXPECT_TRUE(sink2.files.empty());

    Entry half = Make("half", "x");
    half.declaredSize = 0x40000001;  // two of these pass 2 GiB together
    Entry half2 = half;
    half2.name = "half2";
    MemorySink sink3;
    EXPECT_EQ(archive::kTooLarge, Extract(Builder().Add(half).Add(half2).Build(), &sink3));
}

TEST(ExtractZip, TooManyEntries) {
    Builder b;
    for (uint64_t i = 0; i <= archive::kMaxEntries; ++i) b.Dir("d/");
    MemorySink sink;
    // More than 65535 entries needs ZIP64 records to be counted at all.
    EXPECT_EQ(archive::kTooLarge, Extract(b.Zip64().Build(), &sink));
    EXPECT_TRUE(sink.dirs.empty());
}

TEST(ExtractZip, NotAZipOrStructurallyBroken) {
    MemorySink sink;
    EXPECT_EQ(archive::kCorruptArchive, Extract({}, &sink));
    EXPECT_EQ(archive::kCorruptArchive, Extract(std::vector<uint8_t>(100000, 'x'), &sink));

    auto zip = Builder().File("a.txt", Text(5000, 7)).Build();
    auto noEocd = zip;
    noEocd.resize(zip.size() - 22);
    EXPECT_EQ(archive::kCorruptArchive, Extract(noEocd, &sink));

    auto badLocal = zip;
    badLocal[0] = 'X';
    EXPECT_EQ(archive::kCorruptArchive, Extract(badLocal, &sink));

    auto badDeflate = Builder().File("a.txt", Text(5000, 7)).Build();
    for (size_t i = 40; i < 60; ++i) badDeflate[i] = 0xFF;
    Result r = Extract(badDeflate, &sink);
    EXPECT_TRUE(r == archive::kCorruptArchive || r == archive::kCrcMismatch) << r;
}

TEST(ExtractZip, CentralDirectoryLengthsThatOverrunTheDirectoryAreCorrupt) {
    Entry first = Make("first.txt", "one");
    first.comment = "a comment";
    Entry second = Make("second.txt", "two");
    second.comment = "another";
    {
        MemorySink sink;
        ASSERT_EQ(archive::kOk, Extract(Builder().Add(first).Add(second).Build(), &sink));
        EXPECT_EQ("one", sink.files["first.txt"]);
        EXPECT_EQ("two", sink.files["second.txt"]);
    }
    // One byte more than the directory holds after the first entry's own fields.
    const uint16_t overrun = uint16_t(46 + second.name.size() + second.comment.size() + 1);
    for (uint16_t Entry::*lie :
         {&Entry::nameLengthLie, &Entry::extraLengthLie, &Entry::commentLengthLie}) {
        Entry lying = first;
        lying.*lie = overrun;
        MemorySink sink;
        ExtractReport report;
        EXPECT_EQ(archive::kCorruptArchive,
                  Extract(Builder().Add(lying).Add(second).Build(), &sink, {}, &report));
        EXPECT_NE(report.message.find("entry #1 overruns"), std::string::npos) << report.message;
        EXPECT_TRUE(sink.files.empty());
        EXPECT_TRUE(sink.dirs.empty());
    }
}

TEST(ExtractZip, UnsupportedFeatures) {
    Entry encrypted = Make("secret", "x", 0);
    encrypted.flags = 1;
    Entry bzip2 = Make("b", "x", 0);
    bzip2.method = 12;
    for (const Entry& e : {encrypted, bzip2}) {
        MemorySink sink;
        EXPECT_EQ(archive::kUnsupported, Extract(Builder().File("ok", "ok").Add(e).Build(), &sink));
        EXPECT_TRUE(sink.files.empty());
    }
}

TEST(ExtractZip, EveryTruncationAndByteFlipFailsCleanly) {
    auto zip =
        Builder().Dir("d/").File("d/t.txt", Text(3000, 8)).File("r", Random(500, 8), 0).Build();
    for (size_t n = 0; n < zip.size(); ++n) {
        MemorySink sink;
        std::vector<uint8_t> cut(zip.begin(), zip.begin() + n);
        EXPECT_NE(archive::kOk, Extract(cut, &sink)) << "length " << n;
    }
    // Flipped bytes may or may not be detected (e.g. in unused header
    // fields), but must never crash or read out of bounds.
    for (size_t i = 0; i < zip.size(); ++i) {
        auto bad = zip;
        bad[i] ^= 0xA5;
        MemorySink sink;
        Extract(bad, &sink);
    }
}

// --- Output and progress ----------------------------------------------------

TEST(ExtractZip, WriteFailuresAndNoOverwrite) {
    auto zip = Builder().File("a", "1").File("b", "2").Build();
    MemorySink failing;
    failing.failCreate.insert("b");
    EXPECT_EQ(archive::kWriteError, Extract(zip, &failing));

    MemorySink existing;
    existing.files["b"] = "old";
    ExtractOptions keep;
    keep.overwrite = false;
    EXPECT_EQ(archive::kWriteError, Extract(zip, &existing, keep));
    EXPECT_EQ("old", existing.files["b"]);
    EXPECT_EQ(archive::kOk, Extract(zip, &existing));
    EXPECT_EQ("2", existing.files["b"]);
}

TEST(ExtractZip, ProgressSequenceAndCancel) {
    auto zip =
        Builder().Dir("d/").File("d/1", "one").File("d/2", "two").File("d/3", "three").Build();
    std::vector<std::string> seen;
    ExtractOptions options;
    options.threads = 2;  // a callback forces the calling thread anyway
    options.workers = &pool;
    options.progress = [&](ProgressState s, const ProgressInfo& info) {
        EXPECT_EQ(4u, info.entryCount);
        EXPECT_EQ(11u, info.totalUncompressed);
        seen.push_back(std::to_string(unsigned(s)) + ":" + (info.entryName ? info.entryName : ""));
        return true;
    };
    MemorySink sink;
    ASSERT_EQ(archive::kOk, Extract(zip, &sink, options));
    EXPECT_EQ((std::vector<std::string>{"0:", "1:d/", "1:d/1", "1:d/2", "1:d/3", "2:"}), seen);

    // Stop when asked about the second file: the first is written, no more.
    MemorySink partial;
    options.progress = [&](ProgressState s, const ProgressInfo& info) {
        if (s == ProgressState::kEntry && info.entryName && std::string(info.entryName) == "d/2") {
            EXPECT_TRUE(partial.files.count("d/1")) << "callback must come before the write";
            return false;
        }
        return true;
    };
    EXPECT_EQ(archive::kCancelled, Extract(zip, &partial, options));
    EXPECT_EQ(1u, partial.files.size());

    MemorySink none;
    options.progress = [](ProgressState, const ProgressInfo&) { return false; };
    EXPECT_EQ(archive::kCancelled, Extract(zip, &none, options));
    EXPECT_TRUE(none.files.empty() && none.dirs.empty());
}

TEST(ExtractZip, ParallelRunReportsAFailingEntry) {
    Builder b;
    for (int i = 0; i < 50; ++i) {
        Entry e = Make("f" + std::to_string(i), Text(200000, i));
        if (i == 37) e.crc = 1;
        b.Add(e);
    }
    ExtractOptions options;
    options.threads = 2;
    options.workers = &pool;
    MemorySink sink;
    ExtractReport report;
    EXPECT_EQ(archive::kCrcMismatch, Extract(b.Build(), &sink, options, &report));
    EXPECT_NE(std::string::npos, report.message.find("f37")) << report.message;
}
