// The driver-name list at its exact limits: the last length that fits and
// the first that does not.
#include <gtest/gtest.h>

#include "app/driver_list.h"
#include "dialog_fixture.h"

namespace {

using Names = std::vector<std::string>;

class DriverListLimitsTest : public testing_support::DialogTest {
protected:
    Names Load() {
        dialog->LoadDriverNames();
        return window.Control(IDC_DRIVER_COMBO).items;
    }
};

TEST_F(DriverListLimitsTest, SectionNamesOf99BytesAreReadAndOf100AreNot) {
    WriteDriverList("[" + std::string(99, 'a') + "]\r\nPrintName1=fits\r\n[" +
                    std::string(100, 'b') + "]\r\nPrintName1=too long\r\n[C]\r\nPrintName1=c\r\n");
    EXPECT_EQ(Load(), (Names{"fits", "c"}));
    // The long one still takes its number.
    EXPECT_EQ(dialog->FindModelIndex("c", -1), 2);
    EXPECT_EQ(dialog->FindModelIndex("too long", -1), -1);
}

TEST_F(DriverListLimitsTest, ValuesOf127BytesAreWholeAndLongerOnesAreCut) {
    const std::string fits(127, 'v'), over(128, 'w');
    WriteDriverList("[A]\r\nPrintName1=" + fits + "\r\nPrintName2=" + over + "\r\n");
    EXPECT_EQ(Load(), (Names{fits, std::string(127, 'w')}));
    for (const auto& asked : machine.profile.calls) {
        if (sim::CallName(asked) == "GetPrivateProfileStringA") {
            EXPECT_NE(asked.find(", 128, "), std::string::npos) << asked;
        }
    }
}

TEST_F(DriverListLimitsTest, AValueBeginningWithANulByteEndsTheNamesLikeAnEmptyOne) {
    static const char kList[] =
        "[A]\r\nPrintName1=a\r\nPrintName2=\0hidden\r\nPrintName3=c\r\n"
        "[B]\r\nPrintName1=b\r\n";
    WriteDriverList(std::string(kList, sizeof kList - 1));
    EXPECT_EQ(Load(), (Names{"a", "b"}));
    EXPECT_FALSE(machine.profile.WasAsked("PrintName3"));
}

TEST_F(DriverListLimitsTest, EmptySectionsAndCodePageBytesKeepTheirPlaces) {
    WriteDriverList("[\xB1\xEA]\r\n[E]\r\n[\xC7\xFD]\r\nPrintName1=\xC7\xFD\xB6\xAF\xA3\xBA\r\n");
    EXPECT_EQ(Load(), (Names{"\xC7\xFD\xB6\xAF\xA3\xBA"}));
    EXPECT_EQ(dialog->FindModelIndex("\xC7\xFD\xB6\xAF\xA3\xBA", -1), 2);
}

}  // namespace

namespace {

class SectionListBoundaryTest : public testing_support::DialogTest {};

// 30 sections of 98-byte names take 2,970 bytes of the 3,000-byte list;
// a last name of 28 bytes ends on its last usable byte, one of 29 is cut.
TEST_F(SectionListBoundaryTest, TheLastSectionNameThatFitsIsReadAndTheFirstThatDoesNotIsNot) {
    for (int last : {28, 29}) {
        SCOPED_TRACE(last);
        std::string text;
        for (int k = 0; k < 30; ++k) {
            std::string name(98, 'a');
            name.replace(0, 2, std::to_string(10 + k));
            text += "[" + name + "]\r\n";
        }
        text += "[" + std::string(last, 'z') + "]\r\nPrintName1=last\r\n";
        WriteDriverList(text);
        dialog->LoadDriverNames();
        const auto& items = window.Control(IDC_DRIVER_COMBO).items;
        EXPECT_EQ(items.size(), last == 28 ? 1u : 0u);
        EXPECT_EQ(dialog->FindModelIndex("last", -1), last == 28 ? 30 : -1);
    }
}

}  // namespace
