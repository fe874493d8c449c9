// The driver-name scan walks the raw buffers of the profile calls, so the
// simulated reader must cut and count exactly as Windows does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/sim_files.h"
#include "sim/sim_profile.h"

namespace {

constexpr const char* kFile = "C:\\DriverName.cfg";

class SimProfileTest : public ::testing::Test {
protected:
    std::string Names(std::uint32_t size, std::uint32_t& result) {
        std::string buffer(size + 4, '#');
        result = profile.GetPrivateProfileSectionNamesA(buffer.data(), size, kFile);
        return buffer;
    }
    std::uint32_t String(const std::string& section, const std::string& key,
                         const char* defaultValue, std::uint32_t size, std::string& value) {
        std::string buffer(size + 4, '#');
        std::uint32_t result = profile.GetPrivateProfileStringA(section, key, defaultValue,
                                                                buffer.data(), size, kFile);
        value = size > 0 ? std::string(buffer.c_str()) : buffer;
        return result;
    }

    sim::SimFiles files;
    sim::SimProfileReader profile{files};
};

TEST_F(SimProfileTest, SectionNamesComeInFileOrderEndedByTwoNuls) {
    files.WriteFile(kFile, "; comment\r\n[Zeta]\r\nPrintName1=a\r\n[Alpha]\r\n[ Beta ]\r\n");
    std::uint32_t result = 0;
    std::string buffer = Names(100, result);
    EXPECT_EQ(result, 16u);  // the names and their NULs, not the final NUL
    EXPECT_EQ(buffer.substr(0, 17), std::string("Zeta\0Alpha\0Beta\0\0", 17));
}

TEST_F(SimProfileTest, SectionNamesThatDoNotFitAreCutAndReturnSizeMinusTwo) {
    files.WriteFile(kFile, "[Alpha]\r\n[Beta]\r\n");
    std::uint32_t result = 0;
    std::string buffer = Names(10, result);
    EXPECT_EQ(result, 8u);
    EXPECT_EQ(buffer.substr(0, 11), std::string("Alpha\0Be\0\0#", 11));
    // Windows counts an exact fit of the last name as cut, too.
    buffer = Names(12, result);
    EXPECT_EQ(buffer.substr(0, 12), std::string("Alpha\0Beta\0\0", 12));
    EXPECT_EQ(result, 10u);
    Names(13, result);
    EXPECT_EQ(result, 11u);
}

TEST_F(SimProfileTest, MissingFileAndZeroSize) {
    std::uint32_t result = 1;
    std::string buffer = Names(50, result);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(buffer[0], '\0');
    buffer = Names(0, result);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(buffer[0], '#');  // nothing written

    std::string value;
    EXPECT_EQ(String("S", "PrintName1", nullptr, 128, value), 0u);
    EXPECT_EQ(value, "");
    EXPECT_EQ(String("S", "PrintName1", "dflt", 128, value), 4u);
    EXPECT_EQ(value, "dflt");
}

TEST_F(SimProfileTest, ValuesAreTrimmedUnquotedAndFoundWithoutCase) {
    files.WriteFile(
        kFile,
        "[Models]\r\n  printname1 =  4720 Series  \r\nPrintName2=\"6954(Cut) Series\"\r\n"
        "PrintName3=\r\n;PrintName4=hidden\r\n");
    std::string value;
    EXPECT_EQ(String("MODELS", "PrintName1", nullptr, 128, value), 11u);
    EXPECT_EQ(value, "4720 Series");
    EXPECT_EQ(String("Models", "PRINTNAME2", nullptr, 128, value), 16u);
    EXPECT_EQ(value, "6954(Cut) Series");
    EXPECT_EQ(String("Models", "PrintName3", "x", 128, value), 0u);  // empty beats the default
    EXPECT_EQ(String("Models", ";PrintName4", nullptr, 128, value), 0u);
    EXPECT_EQ(String("Models", "PrintName5", nullptr, 128, value), 0u);
    EXPECT_EQ(String("Other", "PrintName1", nullptr, 128, value), 0u);
}

TEST_F(SimProfileTest, LongValueIsCutToSizeMinusOne) {
    files.WriteFile(kFile, "[S]\r\nKey=" + std::string(200, 'v') + "\r\n");
    std::string value;
    EXPECT_EQ(String("S", "Key", nullptr, 128, value), 127u);
    EXPECT_EQ(value, std::string(127, 'v'));
    EXPECT_EQ(String("S", "Key", nullptr, 0, value), 0u);
    EXPECT_EQ(value[0], '#');
}

TEST_F(SimProfileTest, FirstOfDuplicateSectionsAnswersAndEveryAskIsLogged) {
    files.WriteFile(kFile, "[S]\r\nA=first\r\n[S]\r\nA=second\r\nB=only-in-second\r\n");
    std::string value;
    String("S", "A", nullptr, 128, value);
    EXPECT_EQ(value, "first");
    EXPECT_EQ(String("S", "B", nullptr, 128, value), 0u);
    std::uint32_t result = 0;
    std::string names = Names(100, result);
    EXPECT_EQ(names.substr(0, 5), std::string("S\0S\0\0", 5));  // both listed
    EXPECT_EQ(profile.asked.size(), 2u);
    EXPECT_TRUE(profile.WasAsked("b"));
    EXPECT_FALSE(profile.WasAsked("PrintName51"));
}

}  // namespace
