// End-to-end through the command interface on real files.
#include "run_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "posix/posix_io.h"
#include "zip_builder.h"

namespace {

class RunCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/archive-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir_ = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string WriteZip(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int Run(const std::string& line) {
        archive::PosixPlatform platform;
        return archive::RunCommand(line, platform, nullptr, &message_);
    }

    std::string dir_;
    std::string message_;
};

TEST_F(RunCommandTest, BlanksInPathsAndMissingDestinationFolders) {
    std::string zip =
        WriteZip("Driver Data.Drv", ziptest::Builder()
                                        .File("x86/a b.inf", "inf")
                                        .File("x64/deep/c.dll", std::string(70000, 'z'))
                                        .Build());
    std::string dest = dir_ + "/out dir/new sub/";
    ASSERT_EQ(0, Run("x -y \"" + zip + "\" -o\"" + dest + "\" -hide")) << message_;
    EXPECT_EQ("inf", Read(dest + "x86/a b.inf"));
    EXPECT_EQ(std::string(70000, 'z'), Read(dest + "x64/deep/c.dll"));
    EXPECT_NE(std::string::npos, message_.find("Extracted 2 files")) << message_;
}

TEST_F(RunCommandTest, OverwriteNeedsYesToAll) {
    std::string zip = WriteZip("p.zip", ziptest::Builder().File("f.txt", "new").Build());
    std::string dest = dir_ + "/d";
    mkdir(dest.c_str(), 0777);
    std::ofstream(dest + "/f.txt") << "old content that is longer";

    EXPECT_EQ(archive::kWriteError, Run("x \"" + zip + "\" -o\"" + dest + "\" -hide"));
    EXPECT_EQ("old content that is longer", Read(dest + "/f.txt"));

    ASSERT_EQ(0, Run("x -y \"" + zip + "\" -o\"" + dest + "\" -hide")) << message_;
    EXPECT_EQ("new", Read(dest + "/f.txt"));  // truncated, not patched
}

// A link standing in the destination, to a folder or a file, or a second
// name of a file elsewhere: the entry that meets it is refused, and what it
// leads to keeps its bytes.
TEST_F(RunCommandTest, NothingIsWrittenThroughALinkInTheDestination) {
    struct Planted {
        const char* entry;
        int (*plant)(const char* target, const char* at);
        const char* at;
        const char* target;
    };
    const std::string outsideDir = dir_ + "/outside", outsideFile = outsideDir + "/f.dll";
    mkdir(outsideDir.c_str(), 0777);
    const Planted cases[] = {
        {"Ticket/x86/f.dll", symlink, "Ticket", outsideDir.c_str()},
        {"Ticket/x86/f.dll", symlink, "Ticket/x86", outsideDir.c_str()},
        {"Ticket/x86/f.dll", symlink, "Ticket/x86/f.dll", outsideFile.c_str()},
        {"Ticket/x86/f.dll", link, "Ticket/x86/f.dll", outsideFile.c_str()},
    };
    for (const Planted& c : cases) {
        SCOPED_TRACE(c.at);
        std::ofstream(outsideFile) << "untouched";
        const std::string dest = dir_ + "/d";
        ASSERT_EQ(0, std::system(("rm -rf '" + dest + "' && mkdir -p '" + dest + "'").c_str()));
        if (std::string(c.at) != "Ticket") mkdir((dest + "/Ticket").c_str(), 0777);
        if (std::string(c.at) == "Ticket/x86/f.dll") mkdir((dest + "/Ticket/x86").c_str(), 0777);
        ASSERT_EQ(0, c.plant(c.target, (dest + "/" + c.at).c_str()));
        std::string zip = WriteZip("p.zip", ziptest::Builder().File(c.entry, "payload").Build());
        EXPECT_EQ(archive::kWriteError, Run("x -y \"" + zip + "\" -o\"" + dest + "\" -hide"));
        EXPECT_NE(std::string::npos, message_.find("nothing is written through a link"))
            << message_;
        EXPECT_EQ("untouched", Read(outsideFile));
        struct stat st;
        EXPECT_EQ(-1, stat((outsideDir + "/x86").c_str(), &st));  // nothing made behind it
    }
}

TEST_F(RunCommandTest, FailuresCarryCodeAndMessage) {
    EXPECT_EQ(archive::kBadCommandLine, Run("l \"a.zip\" -o\"" + dir_ + "\""));
    EXPECT_NE(std::string::npos, message_.find("Error 1")) << message_;

    EXPECT_EQ(archive::kCannotOpenArchive,
              Run("x -y \"" + dir_ + "/missing.zip\" -o\"" + dir_ + "/o\" -hide"));
    EXPECT_NE(std::string::npos, message_.find("missing.zip")) << message_;
    EXPECT_EQ(archive::kCannotOpenArchive, Run("x -y \"" + dir_ + "\" -o\"" + dir_ + "/o\""));

    std::string evil = WriteZip("e.zip", ziptest::Builder().File("../evil", "x").Build());
    EXPECT_EQ(archive::kUnsafePath, Run("x -y \"" + evil + "\" -o\"" + dir_ + "/o\" -hide"));
    EXPECT_NE(std::string::npos, message_.find("../evil")) << message_;
    EXPECT_NE(0, access((dir_ + "/evil").c_str(), F_OK));
}

}  // namespace
