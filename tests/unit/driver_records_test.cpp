// The driver and monitor records handed to the spooler, for every model and
// both word sizes, against a table written out by hand from the model
// resolution rules (not computed from the catalogue code).
#include <gtest/gtest.h>

#include "install_fixture.h"

namespace {

struct ReceiptRow {
    int section;
    const char* entry;  // the text chosen in the driver list
    const char* driver;
    const char* gpd;
    const char* rendering;
    bool plugin;
};

// Sections 11 to 14 reach no table row and are refused (tested elsewhere).
const ReceiptRow kReceiptRows[] = {
    {0, "Entry 0", "KV6X", "KV6X", "PKV", true},
    {1, "Entry 1", "KV6XA", "KV6XA", "PKV", true},
    {2, "Entry 2", "KV7X", "KV7X", "PKV", true},
    {3, "Entry 3", "KV719E", "KV719E", "PKV", true},
    {4, "Entry 4", "KV719SU", "KV719SU", "PKV", true},
    {5, "Entry 5", "KV734X", "KV734X", "PKV", true},
    {6, "Entry 6", "KV720X", "KV720X", "PKV", true},
    {7, "Entry 7", "WX6X", "WX6X", "PKV", true},
    {8, "Entry 8", "WX6XA", "WX6XA", "PKV", true},
    {9, "Entry 9", "WX7X", "WX7X", "PKV", true},
    {10, "Entry 10", "WX720X", "WX720X", "PKV", true},
    {15, "Entry 15", "6924K Series", "KV719SU", "QZ70N", false},
    {15, "PKV Series", "6924K Series", "KV719SU", "PKV", false},
    {16, "Entry 16", "lyn4(No Cut) Series", "KV734X", "QZ70N", false},
    {17, "Entry 17", "lyn4(Cut) Series", "KV720X", "QZ70N", false},
    {17, "PKV Series", "lyn4(Cut) Series", "KV720X", "PKV", false},
    {18, "Entry 18", "6954BM", "QZ6954BM", "QZ70N", false},
    {19, "Entry 19", "6954IIBM", "QZ6954IIBM", "QZ70N", false},
    {20, "Entry 20", "6954IIIBM", "QZ6954IIIBM", "QZ70N", false},
    {21, "Entry 21", "lyn4BM", "lyn4BM", "QZ70N", false},
    {22, "KV6X", "KV6X", "KV6X", "QZ70N", true},
    {23, "Entry 23", "KV6XA", "KV6XA", "QZ70N", true},
    {24, "Entry 24", "KV7X", "KV7X", "QZ70N", true},
    {25, "Entry 25", "KV719E", "KV719E", "QZ70N", true},
    {26, "Entry 26", "KV719SU", "KV719SU", "QZ70N", true},
    {27, "KV6X", "KV6X", "KV6X", "PKV", true},
    {27, "Entry 27", "KV6X", "KV6X", "QZ70N", true},
    {28, "KV6XA", "KV6XA", "KV6XA", "QZ70N", true},
    {29, "Entry 29", "KV7X", "KV7X", "QZ70N", true},
    {30, "Entry 30", "KV719E", "KV719E", "QZ70N", true},
    {31, "Entry 31", "KV719SU", "KV719SU", "QZ70N", true},
    {32, "Entry 32", "KV734X", "KV734X", "QZ70N", true},
    {33, "Entry 33", "KV720X", "KV720X", "QZ70N", true},
    {34, "Entry 34", "WX6X", "WX6X", "QZ70N", true},
    {35, "Entry 35", "WX6XA", "WX6XA", "QZ70N", true},
    {36, "Entry 36", "WX7X", "WX7X", "QZ70N", true},
    {37, "Entry 37", "WX720X", "WX720X", "QZ70N", true},
};

struct LabelRow {
    int section;
    const char* driver;
    const char* base;
};

const LabelRow kLabelRows[] = {
    {38, "3130TF(Label)", "QZ313TF"}, {39, "3130T(Label)", "QZ313T"}, {40, "47T(Label)", "QZ47T"},
    {41, "3130TL(Label)", "QZ313TL"}, {42, "A72I(Label)", "QZA72I"},
};

const char* const kLanguages[] = {"ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA", "FIN",
                                  "DUT", "CZE", "POL", "HUN", "RUS", "TUR", "SWE", "HEB", "SVK",
                                  "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR", "PBR"};

class RecordsTest : public testing_support::InstallTest {
protected:
    void InstallOnUsb(int section, const std::string& entry, bool x64) {
        machine.system.wow64 = x64;
        Ports({"USB001"});
        machine.spooler.SetPrinterAttached("USB001");
        ListOffering(section, entry);
        StartAndInstall(ports::kUsb);
    }
};

class ReceiptRecords : public RecordsTest,
                       public ::testing::WithParamInterface<std::tuple<ReceiptRow, bool>> {};

TEST_P(ReceiptRecords, DriverRecordIsExactlyAsTabled) {
    const ReceiptRow row = std::get<0>(GetParam());
    const bool x64 = std::get<1>(GetParam());
    InstallOnUsb(row.section, row.entry, x64);
    const std::string dir = x64 ? testing_support::kDirX64 : testing_support::kDirX86;
    const std::string env = x64 ? "Windows x64" : "Windows NT x86";

    ASSERT_TRUE(machine.spooler.lastDriverInfo.has_value());
    const platform::DriverInfo3& info = *machine.spooler.lastDriverInfo;
    EXPECT_EQ(info.version, 3u);
    EXPECT_EQ(info.name, std::string(row.driver));
    EXPECT_EQ(info.environment, env);
    EXPECT_EQ(info.driverPath, dir + "\\uniDRV.DLL");
    EXPECT_EQ(info.dataFile, dir + "\\" + row.gpd + ".GPD");
    EXPECT_EQ(info.configFile, dir + "\\uniDRVui.DLL");
    EXPECT_EQ(info.helpFile, dir + "\\uniDRV.HLP");
    std::vector<std::string> dependents = {"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD"};
    if (row.plugin) {
        dependents.push_back("\\QOEMUNI.ini");
        dependents.push_back("\\QOEMUNI.dll");
    }
    dependents.push_back(std::string(row.rendering) + ".DLL");
    EXPECT_EQ(info.dependentFiles, dependents);
    EXPECT_EQ(info.monitorName, std::string(""));  // empty, not absent
    EXPECT_EQ(info.defaultDataType, std::string("RAW"));
    EXPECT_EQ(machine.spooler.lastCopyFlags, 4u);
    EXPECT_FALSE(machine.spooler.lastMonitorInfo.has_value());

    // Registered, and the printer made under the edited-name field's text.
    EXPECT_NE(machine.spooler.Driver(row.driver, env), nullptr);
    const platform::PrinterInfo2* printer = machine.spooler.Printer(row.entry);
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->driverName, std::string(row.driver));
    EXPECT_EQ(Status(), "The installation is completed.");
    // The copies went into the driver directory from the word size's folder.
    EXPECT_EQ(machine.files.ReadFile(dir + "\\QOEMUNI.dll"),
              std::string(x64 ? "x64 " : "x86 ") + "QOEMUNI.dll");
}

INSTANTIATE_TEST_SUITE_P(EveryReceiptModel, ReceiptRecords,
                         ::testing::Combine(::testing::ValuesIn(kReceiptRows), ::testing::Bool()));

class LabelRecords : public RecordsTest,
                     public ::testing::WithParamInterface<std::tuple<LabelRow, bool>> {};

TEST_P(LabelRecords, DriverAndMonitorRecordsAreExactlyAsTabled) {
    const LabelRow row = std::get<0>(GetParam());
    const bool x64 = std::get<1>(GetParam());
    InstallOnUsb(row.section, "Entry " + std::to_string(row.section), x64);
    const std::string dir = x64 ? testing_support::kDirX64 : testing_support::kDirX86;
    const std::string env = x64 ? "Windows x64" : "Windows NT x86";
    const std::string suffix = x64 ? "56.DLL" : "50.DLL";

    ASSERT_TRUE(machine.spooler.lastMonitorInfo.has_value());
    const platform::MonitorInfo2& monitor = *machine.spooler.lastMonitorInfo;
    EXPECT_EQ(monitor.name, std::string("Advanced Language Monitor"));
    EXPECT_EQ(monitor.environment, env);
    EXPECT_EQ(monitor.dllName, x64 ? std::string("C:\\windows\\SysWOW64\\zqaNLM64.dll")
                                   : std::string("C:\\windows\\system32\\zqaNLMNT.dll"));
    EXPECT_NE(machine.spooler.Monitor("Advanced Language Monitor"), nullptr);

    ASSERT_TRUE(machine.spooler.lastDriverInfo.has_value());
    const platform::DriverInfo3& info = *machine.spooler.lastDriverInfo;
    EXPECT_EQ(info.version, 3u);
    EXPECT_EQ(info.name, std::string(row.driver));
    EXPECT_EQ(info.environment, env);
    EXPECT_EQ(info.driverPath, dir + "\\VLTDRV" + suffix);
    EXPECT_EQ(info.dataFile, dir + "\\" + row.base + ".DAT");
    EXPECT_EQ(info.configFile, dir + "\\VLTUI" + suffix);
    EXPECT_EQ(info.helpFile, dir + "\\THERMAL.chm");
    std::vector<std::string> dependents;
    for (const char* language : kLanguages)
        dependents.push_back(std::string("\\VLT") + language + suffix);
    dependents.push_back(std::string("\\") + row.base + ".BA0");
    dependents.push_back(std::string(row.base) + ".PP0");
    EXPECT_EQ(info.dependentFiles, dependents);
    EXPECT_EQ(info.monitorName, std::string("Advanced Language Monitor"));
    EXPECT_EQ(info.defaultDataType, std::string("RAW"));
    EXPECT_EQ(machine.spooler.lastCopyFlags, 4u);

    // Named after the driver-list entry, whatever the name field says.
    EXPECT_NE(machine.spooler.Printer("Entry " + std::to_string(row.section)), nullptr);
    EXPECT_EQ(Status(), "The installation is completed.");
}

INSTANTIATE_TEST_SUITE_P(EveryLabelModel, LabelRecords,
                         ::testing::Combine(::testing::ValuesIn(kLabelRows), ::testing::Bool()));

TEST(MultiString, EachEntryEndsWithItsNulAndTheListWithAnEmptyOne) {
    EXPECT_EQ(platform::MultiString({"\\ttfsub.GPD", "PKV.DLL"}),
              std::string("\\ttfsub.GPD\0PKV.DLL\0\0", 21));
    EXPECT_EQ(platform::MultiString({}), std::string("\0", 1));
}

}  // namespace
