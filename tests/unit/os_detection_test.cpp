#include <gtest/gtest.h>

#include <tuple>

#include "app/os_detection.h"
#include "dialog_fixture.h"

namespace {

int Code(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
    platform::OsVersionInfo info;
    info.platformId = platformId;
    info.majorVersion = major;
    info.minorVersion = minor;
    return app::WindowsVersionCode(info);
}

TEST(WindowsVersionCode, ClassifiesEveryKnownVersionAndNothingElse) {
    const std::uint32_t nt = platform::os::kPlatformNt;
    const std::uint32_t w9x = platform::os::kPlatformWindows;
    const std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, int> cases[] = {
        {w9x, 4, 0, 1},  {w9x, 4, 10, 2}, {w9x, 4, 90, 3}, {w9x, 4, 20, -1}, {w9x, 5, 0, -1},
        {nt, 3, 51, 4},  {nt, 4, 0, 4},   {nt, 5, 0, 5},   {nt, 5, 1, 6},    {nt, 5, 2, 7},
        {nt, 5, 3, -1},  {nt, 6, 0, 8},   {nt, 6, 1, 9},   {nt, 6, 2, 10},   {nt, 6, 3, 11},
        {nt, 6, 4, -1},  {nt, 7, 0, -1},  {nt, 10, 0, 12}, {nt, 10, 7, 12},  {nt, 11, 0, -1},
        {0, 6, 1, -1},   {3, 10, 0, -1},
    };
    for (const auto& [id, major, minor, code] : cases) {
        EXPECT_EQ(Code(id, major, minor), code) << id << " " << major << "." << minor;
    }
}

TEST(WindowsVersionName, EveryNameEndsWithOneSpace) {
    EXPECT_EQ(app::WindowsVersionName(1), "Microsoft Windows 95 ");
    EXPECT_EQ(app::WindowsVersionName(11), "Microsoft Windows 8.1 ");
    EXPECT_EQ(app::WindowsVersionName(12), "Microsoft Windows 10 ");
    EXPECT_EQ(app::WindowsVersionName(-1), "");
    EXPECT_EQ(app::WindowsVersionName(0), "");
    EXPECT_EQ(app::WindowsVersionName(13), "");
}

class DetectOperatingSystemTest : public testing_support::DialogTest {
protected:
    std::string Detect() {
        dialog->DetectOperatingSystem();
        return window.Control(IDC_STATUS).text;
    }
};

TEST_F(DetectOperatingSystemTest, ReportsNameAndWordSizeWithTwoSpacesBetween) {
    machine.system.majorVersion = 10;
    machine.system.minorVersion = 0;
    machine.system.wow64 = 1;
    EXPECT_EQ(Detect(), "Current System is Microsoft Windows 10  64 bit");
    EXPECT_EQ(dialog->isWow64, 1);

    machine.system.majorVersion = 6;
    machine.system.minorVersion = 3;
    machine.system.wow64 = 0;
    dialog->isWow64 = 0;
    EXPECT_EQ(Detect(), "Current System is Microsoft Windows 8.1  32 bit");
    EXPECT_EQ(dialog->isWow64, 0);
}

TEST_F(DetectOperatingSystemTest, FallsBackToTheBasicRecordThenToUnknown) {
    machine.system.majorVersion = 5;
    machine.system.minorVersion = 1;
    machine.system.failExtended = true;
    EXPECT_EQ(Detect(), "Current System is Microsoft Windows XP  32 bit");
    machine.system.failBasic = true;
    EXPECT_EQ(Detect(), "Current System is  32 bit");
    EXPECT_EQ(dialog->GetWindowsVersionCode(), -1);
}

TEST_F(DetectOperatingSystemTest, WithoutIsWow64ProcessTheSystemIs32Bit) {
    machine.system.hasIsWow64 = false;
    machine.system.wow64 = 1;
    EXPECT_EQ(Detect(), "Current System is Microsoft Windows 7  32 bit");
    EXPECT_EQ(dialog->isWow64, 0);
}

}  // namespace
