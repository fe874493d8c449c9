// Hostile and broken driver packages, extracted the way the installer asks
// for it (x -y "<package>" -o"<destination>" -hide) onto real files: each
// ends with its expected result and exactly the expected files in the
// destination, and nothing outside the destination changes.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "posix/posix_io.h"
#include "run_command.h"
#include "zip_builder.h"

namespace {

using Tree = std::map<std::string, std::string>;  // relative path -> content, "<dir>" for folders
using ziptest::Builder;
using ziptest::Entry;

Tree Snapshot(const std::string& root, const std::string& rel = "") {
    Tree tree;
    DIR* dir = opendir((root + "/" + rel).c_str());
    if (!dir) return tree;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = rel.empty() ? name : rel + "/" + name;
        struct stat st;
        if (lstat((root + "/" + path).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            tree[path] = "<dir>";
            for (const auto& child : Snapshot(root, path)) tree.insert(child);
        } else if (S_ISLNK(st.st_mode)) {
            tree[path] = "<link>";
        } else {
            std::ifstream in(root + "/" + path, std::ios::binary);
            std::stringstream s;
            s << in.rdbuf();
            tree[path] = s.str();
        }
    }
    closedir(dir);
    return tree;
}

Entry Named(const std::string& name, const std::string& data) {
    Entry e;
    e.name = name;
    e.data = data;
    return e;
}

// A Unix symbolic link as zip -y stores it: the target is the data.
Entry Link(const std::string& name, const std::string& target, uint16_t madeBy,
           uint32_t attributes) {
    Entry e = Named(name, target);
    e.method = 0;
    e.versionMadeBy = madeBy;
    e.externalAttributes = attributes;
    return e;
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> WithBadCrc() {
    Entry bad = Named("Ticket/x86/bad.dll", std::string(4000, 'q'));
    bad.crc = 0x1234;
    return Builder()
        .File("DriverName.cfg", "[S0]\r\n")
        .Add(bad)
        .File("Ticket/x86/after.dll", "after")
        .Build();
}

// The end record still names the full directory, whose last bytes are gone.
std::vector<uint8_t> WithTruncatedDirectory() {
    auto zip = Builder().File("DriverName.cfg", "[S0]\r\n").File("Ticket/x86/a.dll", "a").Build();
    std::vector<uint8_t> eocd(zip.end() - 22, zip.end());
    zip.resize(zip.size() - 22 - 10);
    zip.insert(zip.end(), eocd.begin(), eocd.end());
    return zip;
}

struct Case {
    std::string label;
    std::vector<uint8_t> package;
    int result;
    Tree written;  // the destination afterwards
};

std::vector<Case> Corpus() {
    const Tree none;
    const std::string cfg = "[S0]\r\nPrintName1=KV6X\r\n";
    auto escaping = [&](const std::string& name) {
        return Builder().File("DriverName.cfg", cfg).File(name, "payload").Build();
    };
    std::vector<Case> cases = {
        {"parent folder", escaping("../escape.dll"), archive::kUnsafePath, none},
        {"parent below a folder", escaping("Ticket/../../escape.dll"), archive::kUnsafePath, none},
        {"absolute", escaping("/tmp/escape.dll"), archive::kUnsafePath, none},
        {"drive letter", escaping("C:\\Windows\\escape.dll"), archive::kUnsafePath, none},
        {"drive relative", escaping("C:escape.dll"), archive::kUnsafePath, none},
        {"UNC", escaping("\\\\server\\share\\escape.dll"), archive::kUnsafePath, none},
        {"backslash parent", escaping("Ticket\\..\\..\\escape.dll"), archive::kUnsafePath, none},
        {"mixed separators", escaping("Ticket/..\\../escape.dll"), archive::kUnsafePath, none},
        {"dots and blank", escaping("Ticket/.. /escape.dll"), archive::kUnsafePath, none},
        {"device", escaping("Ticket/x86/NUL.dll"), archive::kUnsafePath, none},
        {"device port", escaping("Barcode/COM1"), archive::kUnsafePath, none},
        {"stream", escaping("Ticket/x86/a.dll:hidden"), archive::kUnsafePath, none},
        {"Unix link",
         Builder().Add(Link("Ticket/x86/a.dll", "/etc/passwd", 0x031E, 0120777u << 16)).Build(),
         archive::kUnsupported, none},
        {"7-Zip link",
         Builder()
             .Add(Link("Ticket/x86/a.dll", "../../x", 0x0014, (0120777u << 16) | 0x8000))
             .Build(),
         archive::kUnsupported, none},
        {"reparse point", Builder().Add(Link("Barcode/x86", "C:\\Windows", 0x0A3F, 0x410)).Build(),
         archive::kUnsupported, none},
        {"same name twice",
         Builder().File("Ticket/x86/a.dll", "one").File("Ticket/x86/a.dll", "two").Build(),
         archive::kOk,
         {{"Ticket", "<dir>"}, {"Ticket/x86", "<dir>"}, {"Ticket/x86/a.dll", "two"}}},
        {"truncated directory", WithTruncatedDirectory(), archive::kCorruptArchive, none},
        {"wrong CRC",
         WithBadCrc(),
         archive::kCrcMismatch,
         {{"DriverName.cfg", "[S0]\r\n"}, {"Ticket", "<dir>"}, {"Ticket/x86", "<dir>"}}},
        {"zero-byte entry",
         Builder().File("DriverName.cfg", "").Dir("Ticket/").Build(),
         archive::kOk,
         {{"DriverName.cfg", ""}, {"Ticket", "<dir>"}}},
        {"zero-byte package", {}, archive::kCorruptArchive, none},
        {"not a ZIP", Bytes("MSCF\0\0\0\0 a cabinet, not a zip" + std::string(2000, 'c')),
         archive::kCorruptArchive, none},
        {"no driver-name list",
         Builder().File("Ticket/x86/a.dll", "a").Build(),
         archive::kOk,
         {{"Ticket", "<dir>"}, {"Ticket/x86", "<dir>"}, {"Ticket/x86/a.dll", "a"}}},
    };
    return cases;
}

class BadPackage : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/bad-package-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        sandbox_ = tmpl;
        // What lies around the destination, and must stay as it is.
        mkdir((sandbox_ + "/outside").c_str(), 0777);
        std::ofstream(sandbox_ + "/outside/keep.txt") << "keep";
        std::ofstream(sandbox_ + "/escape.dll") << "old";
    }
    void TearDown() override { std::system(("rm -rf '" + sandbox_ + "'").c_str()); }

    std::string sandbox_;
};

TEST_F(BadPackage, EachEndsAsExpectedAndNothingOutsideTheDestinationChanges) {
    for (const Case& c : Corpus()) {
        SCOPED_TRACE(c.label);
        const std::string work = sandbox_ + "/outside/work";
        mkdir(work.c_str(), 0777);
        const std::string package = work + "/DriverData.Drv";
        std::ofstream(package, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.package.data()),
                   std::streamsize(c.package.size()));
        const std::string dest = work + "/C";
        mkdir(dest.c_str(), 0777);
        Tree before = Snapshot(sandbox_);

        archive::PosixPlatform platform;
        std::string message;
        const int result = archive::RunCommand("x -y \"" + package + "\" -o\"" + dest + "\" -hide",
                                               platform, nullptr, &message);
        EXPECT_EQ(c.result, result) << message;
        if (c.result != archive::kOk) {
            EXPECT_EQ(0u, message.find("Error " + std::to_string(c.result) + " (")) << message;
        }
        EXPECT_EQ(c.written, Snapshot(dest));
        Tree after = Snapshot(sandbox_);
        for (Tree* t : {&before, &after}) {
            for (auto it = t->begin(); it != t->end();) {
                it = it->first.rfind("outside/work/C/", 0) == 0 ? t->erase(it) : std::next(it);
            }
        }
        EXPECT_EQ(before, after);
        std::system(("rm -rf '" + work + "'").c_str());
    }
}

TEST(PosixSink, ReportsTheFreeSpaceOfItsFolderAndRemovesFiles) {
    char tmpl[] = "/tmp/posix-sink-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    auto sink = archive::MakePosixSink(tmpl);
    uint64_t free = 0;
    ASSERT_TRUE(sink->FreeSpace(&free));
    EXPECT_GT(free, 0u);
    std::string error;
    auto writer = sink->Create("f", false, true, &error);
    ASSERT_TRUE(writer && writer->Write("x", 1) && writer->Close());
    EXPECT_TRUE(sink->Remove("f", false));
    EXPECT_FALSE(sink->Remove("f", false));
    EXPECT_EQ(0, rmdir(tmpl));  // empty again
}

}  // namespace
