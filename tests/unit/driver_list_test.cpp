#include <gtest/gtest.h>

#include "dialog_fixture.h"

namespace {

class DriverListTest : public testing_support::DialogTest {
protected:
    std::vector<std::string> Load() {
        dialog->LoadDriverNames();
        return window.Control(IDC_DRIVER_COMBO).items;
    }
};

using Names = std::vector<std::string>;

TEST_F(DriverListTest, OffersNamesInFileOrderAndMapsThemToSections) {
    WriteDriverList("[A]\r\nPrintName1=x\r\nPrintName2=y\r\n[B]\r\n[C]\r\nPrintName1=z\r\n");
    EXPECT_EQ(Load(), (Names{"x", "y", "z"}));
    EXPECT_EQ(window.Control(IDC_DRIVER_COMBO).curSel, 0);
    EXPECT_EQ(window.Control(IDC_PRINTER_NAME).text, "x");
    EXPECT_EQ(dialog->FindModelIndex("z", 2), 2);
    EXPECT_EQ(dialog->FindModelIndex("y", 1), 0);
    // Not listed (any more): the list position stands.
    EXPECT_EQ(dialog->FindModelIndex("gone", 7), 7);
    EXPECT_EQ(dialog->FindModelIndex("X", 1), 1);  // case counts
}

TEST_F(DriverListTest, NamesStopAtTheFirstGapAndAfterFifty) {
    std::string text = "[A]\r\nPrintName1=one\r\nPrintName3=three\r\n[B]\r\n";
    for (int k = 1; k <= 51; ++k)
        text += "PrintName" + std::to_string(k) + "=n" + std::to_string(k) + "\r\n";
    WriteDriverList(text);
    const Names names = Load();
    ASSERT_EQ(names.size(), 51u);
    EXPECT_EQ(names[0], "one");
    EXPECT_EQ(names[50], "n50");
    for (const auto& asked : machine.profile.asked) EXPECT_NE(asked.second, "PrintName51");
}

TEST_F(DriverListTest, TheLastSectionListingANameWins) {
    std::string text;
    for (int k = 0; k <= 40; ++k) {
        text += "[S" + std::to_string(k) + "]\r\n";
        if (k == 3 || k == 40) text += "PrintName1=47T(Label)\r\n";
    }
    WriteDriverList(text);
    EXPECT_EQ(Load(), (Names{"47T(Label)", "47T(Label)"}));
    EXPECT_EQ(dialog->FindModelIndex("47T(Label)", 0), 40);
    EXPECT_EQ(dialog->FindModelIndex("47T(Label)", 1), 40);
}

TEST_F(DriverListTest, MissingOrEmptyFileLeavesAnEmptyListSilently) {
    window.Control(IDC_PRINTER_NAME).text = "left over";
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(window.Control(IDC_DRIVER_COMBO).curSel, -1);
    EXPECT_EQ(window.Control(IDC_PRINTER_NAME).text, "");
    EXPECT_EQ(dialog->FindModelIndex("", -1), -1);
    WriteDriverList("");
    EXPECT_TRUE(Load().empty());
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(DriverListTest, SectionsBeyondTheNameBufferAreNotSeenAndOthersKeepTheirNumbers) {
    std::string text;
    // 300 sections of 12-byte names: only the first 3000 bytes of the list count.
    for (int k = 0; k < 300; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "Section%04d", k);
        text += std::string("[") + name + "]\r\nPrintName1=m" + std::to_string(k) + "\r\n";
    }
    WriteDriverList(text);
    const Names names = Load();
    ASSERT_FALSE(names.empty());
    EXPECT_LT(names.size(), 300u);
    EXPECT_EQ(names.front(), "m0");
    EXPECT_EQ(dialog->FindModelIndex("m5", -1), 5);
    EXPECT_EQ(dialog->FindModelIndex("m299", -1), -1);
}

TEST_F(DriverListTest, OverlongSectionNameCountsButOffersNothing) {
    WriteDriverList("[" + std::string(120, 'L') +
                    "]\r\nPrintName1=hidden\r\n[B]\r\nPrintName1=b\r\n");
    EXPECT_EQ(Load(), (Names{"b"}));
    EXPECT_EQ(dialog->FindModelIndex("b", -1), 1);
}

TEST_F(DriverListTest, SelectingAnotherDriverOverwritesThePrinterName) {
    WriteDriverList("[A]\r\nPrintName1=first\r\n[B]\r\nPrintName1=second\r\n");
    Load();
    window.Control(IDC_PRINTER_NAME).text = "edited by the operator";
    window.ComboSetCurSel(IDC_DRIVER_COMBO, 1);
    dialog->OnDriverSelChange();
    EXPECT_EQ(window.Control(IDC_PRINTER_NAME).text, "second");
}

}  // namespace
