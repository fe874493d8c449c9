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
  std::string zip = WriteZip("Driver Data.Drv", ziptest::Builder()
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

TEST_F(RunCommandTest, PlantedSymlinkIsReplacedNotFollowed) {
  std::string zip = WriteZip("p.zip", ziptest::Builder().File("link", "payload").Build());
  std::string dest = dir_ + "/d", outside = dir_ + "/outside.txt";
  mkdir(dest.c_str(), 0777);
  std::ofstream(outside) << "untouched";
  ASSERT_EQ(0, symlink(outside.c_str(), (dest + "/link").c_str()));
  ASSERT_EQ(0, Run("x -y \"" + zip + "\" -o\"" + dest + "\" -hide")) << message_;
  EXPECT_EQ("untouched", Read(outside));
  EXPECT_EQ("payload", Read(dest + "/link"));
}

TEST_F(RunCommandTest, FailuresCarryCodeAndMessage) {
  EXPECT_EQ(archive::kBadCommandLine, Run("l \"a.zip\" -o\"" + dir_ + "\""));
  EXPECT_NE(std::string::npos, message_.find("Error 1")) << message_;

  EXPECT_EQ(archive::kCannotOpenArchive, Run("x -y \"" + dir_ + "/missing.zip\" -o\"" + dir_ +
                                             "/o\" -hide"));
  EXPECT_NE(std::string::npos, message_.find("missing.zip")) << message_;
  EXPECT_EQ(archive::kCannotOpenArchive, Run("x -y \"" + dir_ + "\" -o\"" + dir_ + "/o\""));

  std::string evil = WriteZip("e.zip", ziptest::Builder().File("../evil", "x").Build());
  EXPECT_EQ(archive::kUnsafePath, Run("x -y \"" + evil + "\" -o\"" + dir_ + "/o\" -hide"));
  EXPECT_NE(std::string::npos, message_.find("../evil")) << message_;
  EXPECT_NE(0, access((dir_ + "/evil").c_str(), F_OK));
}

}  // namespace
