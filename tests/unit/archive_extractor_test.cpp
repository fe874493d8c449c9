#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "package/archive_extractor.h"

namespace {

using package::ArchiveExtractor;

class ArchiveExtractorTest : public ::testing::Test {
protected:
    ArchiveExtractorTest() {
        machine.libraries.AddModule(
            "7-zip32.dll", {"SevenZip", "SevenZipSetOwnerWindowEx", "SevenZipKillOwnerWindowEx"});
        machine.files.WriteFile("C:\\Program Files\\Vendor Kit\\DriverData.Drv", "PK");
        extractor.SetOwnerWindow(0x4242);
    }
    bool Extract() { return extractor.Extract(kPackage, "C:\\"); }

    static constexpr const char* kPackage = "C:\\Program Files\\Vendor Kit\\DriverData.Drv";
    sim::SimMachine machine;
    ArchiveExtractor extractor{machine.libraries, machine.files, machine.threads};
};

TEST_F(ArchiveExtractorTest, RunsOneQuotedExtractionBetweenOwnerRegistrations) {
    ASSERT_TRUE(Extract());
    const auto names = sim::CallNames(machine.libraries.calls);
    EXPECT_EQ(names, (std::vector<std::string>{"LoadLibraryA", "GetProcAddress", "GetProcAddress",
                                               "GetProcAddress", "SevenZipSetOwnerWindowEx",
                                               "SevenZip", "SevenZipKillOwnerWindowEx"}));
    EXPECT_EQ(machine.libraries.lastCommandLine,
              "x -y \"C:\\Program Files\\Vendor Kit\\DriverData.Drv\" -o\"C:\\\" -hide");
    EXPECT_EQ(machine.libraries.lastOwner, 0x4242u);
    EXPECT_EQ(machine.libraries.lastOutputSize, 16384u);
    EXPECT_EQ(machine.threads.Sleeps(), (std::vector<std::uint32_t>{10, 100, 10}));
    EXPECT_TRUE(ArchiveExtractor::ExtractionProgress(0, 0, 0, nullptr));
    // Held after the extraction until unloaded.
    EXPECT_EQ(machine.libraries.LoadedCount(), 1);
    extractor.Unload();
    EXPECT_EQ(machine.libraries.LoadedCount(), 0);
}

TEST_F(ArchiveExtractorTest, FailuresNeverCallTheLibraryWithoutItsEntryPoints) {
    sim::SimMachine other;
    other.libraries.AddModule("7-zip32.dll", {"SevenZip", "SevenZipSetOwnerWindowEx"});
    other.files.WriteFile(kPackage, "PK");
    ArchiveExtractor lacking(other.libraries, other.files, other.threads);
    EXPECT_FALSE(lacking.Extract(kPackage, "C:\\"));
    EXPECT_EQ(sim::CountCalls(other.libraries.calls, "SevenZipSetOwnerWindowEx"), 0);
    EXPECT_EQ(sim::CountCalls(other.libraries.calls, "SevenZip"), 0);
}

TEST_F(ArchiveExtractorTest, MissingLibraryOrPackageGivesFalseQuietly) {
    (void)machine.files.DeleteFileA(kPackage);
    EXPECT_FALSE(Extract());
    EXPECT_EQ(sim::CountCalls(machine.libraries.calls, "LoadLibraryA"), 1);
    EXPECT_EQ(sim::CountCalls(machine.libraries.calls, "SevenZip"), 0);

    sim::SimMachine bare;
    ArchiveExtractor without(bare.libraries, bare.files, bare.threads);
    EXPECT_FALSE(without.Load());
    EXPECT_FALSE(without.Extract(kPackage, "C:\\"));
    EXPECT_FALSE(without.IsLoaded());
}

TEST_F(ArchiveExtractorTest, NonZeroOrFaultedResultIsAFailureAfterTheOwnerIsRemoved) {
    machine.libraries.sevenZipResult = [](const std::string&) { return 2; };
    EXPECT_FALSE(Extract());
    EXPECT_EQ(sim::CountCalls(machine.libraries.calls, "SevenZipKillOwnerWindowEx"), 1);
    machine.libraries.sevenZipResult = nullptr;
    machine.libraries.sevenZipFaults = true;
    EXPECT_FALSE(Extract());
    EXPECT_EQ(sim::CountCalls(machine.libraries.calls, "SevenZipKillOwnerWindowEx"), 2);
}

TEST_F(ArchiveExtractorTest, LoadingAgainNeverHoldsTheLibraryTwice) {
    ASSERT_TRUE(extractor.Load());
    ASSERT_TRUE(extractor.Load());
    EXPECT_EQ(machine.libraries.LoadedCount(), 1);
    {
        ArchiveExtractor scoped(machine.libraries, machine.files, machine.threads);
        ASSERT_TRUE(scoped.Load());
        EXPECT_EQ(machine.libraries.LoadedCount(), 2);
    }
    EXPECT_EQ(machine.libraries.LoadedCount(), 1);  // the destructor unloads
}

TEST_F(ArchiveExtractorTest, CommandsOf1023BytesFitTheBufferAndOf1024DoNot) {
    // x -y "<archive>" -o"C:\" -hide: 21 bytes around the archive path.
    EXPECT_EQ(ArchiveExtractor::CommandLine(std::string(1002, 'a'), "C:\\").size(), 1023u);
    EXPECT_EQ(ArchiveExtractor::CommandLine(std::string(1003, 'a'), "C:\\"), "");
}

TEST_F(ArchiveExtractorTest, PathsTooLongForTheCommandBufferAreRefused) {
    EXPECT_EQ(ArchiveExtractor::CommandLine(std::string(1010, 'a'), "C:\\"), "");
    EXPECT_FALSE(ArchiveExtractor::CommandLine(std::string(990, 'a'), "C:\\").empty());
    const std::string longPath = "C:\\" + std::string(1100, 'd') + "\\DriverData.Drv";
    machine.files.WriteFile(longPath, "PK");
    EXPECT_FALSE(extractor.Extract(longPath, "C:\\"));
    EXPECT_EQ(sim::CountCalls(machine.libraries.calls, "SevenZip"), 0);
}

class UnpackDriverPackageTest : public testing_support::DialogTest {};

TEST_F(UnpackDriverPackageTest, UnpacksThePackageOfTheCurrentFolderIntoDriveC) {
    machine.libraries.AddModule(
        "7-zip32.dll", {"SevenZip", "SevenZipSetOwnerWindowEx", "SevenZipKillOwnerWindowEx"});
    machine.files.SetCurrentDirectory("C:\\Work Dir");
    machine.files.WriteFile("C:\\Work Dir\\DriverData.Drv", "PK");
    dialog->UnpackDriverPackage();
    EXPECT_EQ(window.Control(IDC_STATUS).text, "Reading driver file...");
    EXPECT_EQ(machine.libraries.lastCommandLine,
              "x -y \"C:\\Work Dir\\DriverData.Drv\" -o\"C:\\\" -hide");
    EXPECT_EQ(machine.libraries.lastOwner, window.handle);
    EXPECT_EQ(machine.libraries.LoadedCount(), 0);
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(UnpackDriverPackageTest, NothingToUnpackShowsNothing) {
    dialog->UnpackDriverPackage();
    EXPECT_EQ(window.Control(IDC_STATUS).text, "Reading driver file...");
    EXPECT_TRUE(window.messageBoxes.empty());
}

}  // namespace
