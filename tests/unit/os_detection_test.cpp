#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "base/os_detection.h"
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
        {w9x, 4, 0, 1}, {w9x, 4, 10, 2}, {w9x, 4, 90, 3}, {w9x, 4, 20, -1}, {w9x, 5, 0, -1},
        {nt, 3, 51, 4}, {nt, 4, 0, 4},   {nt, 5, 0, 5},   {nt, 5, 1, 6},    {nt, 5, 2, 7},
        {nt, 5, 3, -1}, {nt, 6, 0, 8},   {nt, 6, 1, 9},   {nt, 6, 2, 10},   {nt, 6, 3, 11},
        {nt, 6, 4, -1}, {nt, 7, 0, -1},  {nt, 10, 0, 12}, {nt, 10, 7, 12},  {nt, 11, 0, -1},
        {0, 6, 1, -1},  {3, 10, 0, -1},
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

// Windows 11 still reports 10.0: its name comes from the build, its code stays.
TEST(WindowsVersionName, Windows11FromBuild22000OnClientEditionsOnly) {
    platform::OsVersionInfo info;
    info.platformId = platform::os::kPlatformNt;
    info.majorVersion = 10;
    info.productType = 1;  // workstation
    const std::pair<std::uint32_t, const char*> builds[] = {{19045, "Microsoft Windows 10 "},
                                                            {21999, "Microsoft Windows 10 "},
                                                            {22000, "Microsoft Windows 11 "},
                                                            {22631, "Microsoft Windows 11 "}};
    for (const auto& [build, name] : builds) {
        info.buildNumber = build;
        EXPECT_EQ(app::WindowsVersionName(info), name) << build;
        EXPECT_EQ(app::WindowsVersionCode(info), 12) << build;
    }
    // Servers (Server 2025 is build 26100) and a record without a product type.
    for (std::uint8_t type : {2, 3, 0}) {
        info.productType = type;
        EXPECT_EQ(app::WindowsVersionName(info), "Microsoft Windows 10 ") << int(type);
    }
    // A build number alone makes no other version Windows 11.
    info.productType = 1;
    info.majorVersion = 6;
    info.minorVersion = 3;
    EXPECT_EQ(app::WindowsVersionName(info), "Microsoft Windows 8.1 ");
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

TEST_F(DetectOperatingSystemTest, Windows11IsNamedWhileEveryBranchStillSeesCode12) {
    machine.system.majorVersion = 10;
    machine.system.minorVersion = 0;
    machine.system.wow64 = 1;
    machine.system.buildNumber = 22631;
    EXPECT_EQ(Detect(), "Current System is Microsoft Windows 11  64 bit");
    EXPECT_EQ(dialog->GetWindowsVersionCode(), 12);
    machine.system.buildNumber = 19045;
    EXPECT_EQ(Detect(), "Current System is Microsoft Windows 10  64 bit");
    // Windows Server 2022 and later: as before.
    machine.system.buildNumber = 26100;
    machine.system.productType = 3;
    EXPECT_EQ(Detect(), "Current System is Microsoft Windows 10  64 bit");
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
