// The simulated disk must answer like Windows where the clean-up walk and
// the copy steps depend on it: separators, case, find order, error codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_files.h"

namespace {

using platform::BoolResult;
using platform::FindData;

class SimFilesTest : public ::testing::Test {
protected:
    // Every name a find over `pattern` yields, or the last error when none.
    std::vector<std::string> FindAll(const std::string& pattern) {
        std::vector<std::string> names;
        FindData data;
        platform::FindHandle handle = files.FindFirstFileA(pattern, data);
        if (handle == platform::kInvalidFindHandle)
            return {"error " + std::to_string(files.lastError)};
        do {
            names.push_back(data.fileName);
        } while (files.FindNextFileA(handle, data));
        EXPECT_EQ(files.lastError, 18u);  // ERROR_NO_MORE_FILES ends the walk
        EXPECT_TRUE(files.FindClose(handle));
        return names;
    }

    sim::SimFiles files;
};

TEST_F(SimFilesTest, PathsIgnoreCaseAndAcceptEitherOrDoubledSeparators) {
    ASSERT_TRUE(files.WriteFile("C:\\Ticket\\x86\\QZ4720.GPD", "gpd"));
    EXPECT_TRUE(files.Exists("c:/ticket//X86\\qz4720.gpd"));
    EXPECT_TRUE(files.IsDirectory("c:\\Ticket//x86"));
    EXPECT_EQ(files.GetFileAttributesA("C:\\TICKET\\x86"), platform::file::kAttributeDirectory);
    EXPECT_EQ(files.ReadFile("C:\\Ticket\\X86\\..\\x86\\qz4720.gpd"), std::string("gpd"));
    // The first spelling stays.
    EXPECT_EQ(files.FullPath("c:\\ticket\\x86\\qz4720.gpd"), "C:\\Ticket\\x86\\QZ4720.GPD");
}

TEST_F(SimFilesTest, MissingPathsReportFileOrPathNotFound) {
    files.MakeDirectories("C:\\Ticket");
    EXPECT_EQ(files.GetFileAttributesA("C:\\Ticket\\none.dll"), platform::file::kInvalidAttributes);
    EXPECT_EQ(files.lastError, 2u);
    EXPECT_EQ(files.GetFileAttributesA("C:\\Nowhere\\none.dll"),
              platform::file::kInvalidAttributes);
    EXPECT_EQ(files.lastError, 3u);
}

TEST_F(SimFilesTest, FindYieldsDotsThenEntriesInNameOrder) {
    files.WriteFile("C:\\Ticket\\b.dll", "");
    files.WriteFile("C:\\Ticket\\A.gpd", "");
    files.MakeDirectories("C:\\Ticket\\x64");
    EXPECT_EQ(FindAll("c:\\Ticket//*.*"),
              (std::vector<std::string>{".", "..", "A.gpd", "b.dll", "x64"}));
    EXPECT_EQ(FindAll("C:\\Ticket\\*"), FindAll("C:\\Ticket\\*.*"));
    EXPECT_EQ(FindAll("C:\\Ticket\\*.dll"), (std::vector<std::string>{"b.dll"}));
    EXPECT_EQ(FindAll("C:\\Ticket\\B.DLL"), (std::vector<std::string>{"b.dll"}));
    EXPECT_EQ(files.OpenFindHandleCount(), 0);

    FindData data;
    platform::FindHandle handle = files.FindFirstFileA("C:\\Ticket\\x64", data);
    EXPECT_EQ(data.attributes, platform::file::kAttributeDirectory);
    EXPECT_EQ(files.OpenFindHandleCount(), 1);  // an unclosed find is visible to leak checks
    EXPECT_TRUE(files.FindClose(handle));
    EXPECT_FALSE(files.FindClose(handle));
    EXPECT_EQ(files.lastError, 6u);
}

TEST_F(SimFilesTest, FindWithNothingToYieldFails) {
    files.MakeDirectories("C:\\Empty");
    EXPECT_EQ(FindAll("C:\\Missing//*.*"), (std::vector<std::string>{"error 3"}));
    EXPECT_EQ(FindAll("C:\\Empty\\*.txt"), (std::vector<std::string>{"error 2"}));
    EXPECT_EQ(FindAll("C:\\Empty\\*.*"), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(files.OpenFindHandleCount(), 0);
}

TEST_F(SimFilesTest, DeleteRefusesReadOnlyFilesAndFolders) {
    files.WriteFile("C:\\Barcode\\locked.dat", "x");
    files.SetReadOnly("C:\\Barcode\\locked.dat");
    BoolResult result = files.DeleteFileA("C:\\Barcode\\locked.dat");
    EXPECT_EQ(result.value, 0);
    EXPECT_EQ(result.lastError, 5u);
    EXPECT_TRUE(files.Exists("C:\\Barcode\\locked.dat"));
    EXPECT_EQ(files.DeleteFileA("C:\\Barcode").lastError, 5u);
    EXPECT_EQ(files.DeleteFileA("C:\\Barcode\\gone.dat").lastError, 2u);
    EXPECT_EQ(files.DeleteFileA("C:\\Gone\\gone.dat").lastError, 3u);
}

TEST_F(SimFilesTest, RemoveDirectoryNeedsAnEmptyFolder) {
    files.WriteFile("C:\\Ticket\\x86\\a.dll", "");
    EXPECT_EQ(files.RemoveDirectoryA("C:\\Ticket").lastError, 145u);
    EXPECT_EQ(files.DeleteFileA("c:\\Ticket//x86//a.dll").value, 1);
    EXPECT_EQ(files.RemoveDirectoryA("c:\\Ticket//x86").value, 1);
    EXPECT_EQ(files.RemoveDirectoryA("C:\\Ticket").value, 1);
    EXPECT_EQ(files.RemoveDirectoryA("C:\\Ticket").lastError, 2u);
    EXPECT_EQ(files.RemoveDirectoryA("C:\\Ticket\\x86").lastError, 3u);
}

TEST_F(SimFilesTest, CopyFollowsTheWin32Errors) {
    files.WriteFile("C:\\Ticket\\x86\\a.dll", "bytes");
    files.MakeDirectories("C:\\Out");
    EXPECT_EQ(files.CopyFileA("C:\\Ticket\\x86\\a.dll", "C:\\Out\\a.dll", false).value, 1);
    EXPECT_EQ(files.ReadFile("C:\\Out\\a.dll"), std::string("bytes"));
    EXPECT_EQ(files.CopyFileA("C:\\Ticket\\x86\\a.dll", "C:\\Out\\a.dll", true).lastError, 80u);
    EXPECT_EQ(files.CopyFileA("C:\\Ticket\\x86\\a.dll", "C:\\Out\\a.dll", false).value, 1);
    EXPECT_EQ(files.CopyFileA("C:\\Ticket\\x86\\b.dll", "C:\\Out\\b.dll", false).lastError, 2u);
    EXPECT_EQ(files.CopyFileA("C:\\Ticket\\x86\\a.dll", "C:\\NoDir\\a.dll", false).lastError, 3u);
}

TEST_F(SimFilesTest, FoldersOfTheMachineAndTheirBufferRule) {
    EXPECT_EQ(files.GetSystemDirectoryA(260), "C:\\windows\\system32");
    EXPECT_EQ(files.GetWindowsDirectoryA(260), "C:\\windows");
    EXPECT_TRUE(files.IsDirectory("C:\\windows\\SysWOW64"));
    files.SetCurrentDirectory("C:\\Work Dir");
    EXPECT_EQ(files.GetCurrentDirectoryA(260), "C:\\Work Dir");
    EXPECT_EQ(files.GetCurrentDirectoryA(12), "C:\\Work Dir");
    EXPECT_EQ(files.GetCurrentDirectoryA(11), "");  // no room for the NUL
    files.WriteFile("DriverData.Drv", "PK");        // relative to the current folder
    EXPECT_TRUE(files.Exists("C:\\Work Dir\\DriverData.Drv"));
}

TEST_F(SimFilesTest, AThirtyTwoBitProgramOnSixtyFourBitWindowsReachesSysWow64) {
    bool wow64 = false;
    files.wow64Process = [&wow64] { return wow64; };
    files.WriteFile("C:\\Src\\a.dll", "a");
    EXPECT_EQ(files.CopyFileA("C:\\Src\\a.dll", "C:\\windows\\system32\\a.dll", false).value, 1);
    EXPECT_TRUE(files.Exists("C:\\windows\\system32\\a.dll"));  // 32-bit Windows: no redirection

    wow64 = true;
    EXPECT_EQ(files.GetSystemDirectoryA(260), "C:\\windows\\system32");  // still named so
    EXPECT_EQ(files.CopyFileA("C:\\Src\\a.dll", "c:/WINDOWS/System32/b.dll", false).value, 1);
    EXPECT_EQ(files.ReadFile("C:\\windows\\SysWOW64\\b.dll"), std::string("a"));
    EXPECT_FALSE(files.Exists("C:\\windows\\system32\\b.dll"));
    // The program sees SysWOW64's files under system32, and only those.
    EXPECT_NE(files.GetFileAttributesA("C:\\windows\\system32\\b.dll"),
              platform::file::kInvalidAttributes);
    EXPECT_EQ(files.GetFileAttributesA("C:\\windows\\system32\\a.dll"),
              platform::file::kInvalidAttributes);
    EXPECT_EQ(FindAll("C:\\windows\\system32\\*.dll"), (std::vector<std::string>{"b.dll"}));
    EXPECT_EQ(files.DeleteFileA("C:\\windows\\system32\\b.dll").value, 1);
    EXPECT_FALSE(files.Exists("C:\\windows\\SysWOW64\\b.dll"));

    // Exempt folders are the machine's own, spool among them.
    for (const char* folder : {"spool\\drivers\\x64", "catroot", "catroot2", "DriverStore",
                               "drivers\\etc", "LogFiles"}) {
        const std::string path = std::string("C:\\windows\\system32\\") + folder;
        files.MakeDirectories(path);
        EXPECT_EQ(files.CopyFileA("C:\\Src\\a.dll", path + "\\c.dll", false).value, 1) << folder;
        EXPECT_TRUE(files.Exists(path + "\\c.dll")) << folder;
    }
    // drivers itself is not exempt, only its etc folder.
    files.MakeDirectories("C:\\windows\\SysWOW64\\drivers");
    EXPECT_EQ(
        files.CopyFileA("C:\\Src\\a.dll", "C:\\windows\\system32\\drivers\\d.sys", false).value, 1);
    EXPECT_TRUE(files.Exists("C:\\windows\\SysWOW64\\drivers\\d.sys"));
    EXPECT_EQ(files.ProcessPath("C:\\windows\\system32"), "C:\\windows\\SysWOW64");
    EXPECT_EQ(files.ProcessPath("C:\\windows\\system32x\\a"), "C:\\windows\\system32x\\a");
}

}  // namespace
