#include <gtest/gtest.h>

#include <string>

#include "base/model_catalogue.h"

namespace cat = app::catalogue;

namespace {

const cat::ReceiptBlocks kBlocks;

std::string Driver(int index, const std::string& listText = "") {
    auto model = cat::ResolveReceiptModel(index, kBlocks, listText);
    return model ? model->driverName : "<none>";
}

}  // namespace

TEST(Catalogue, TablesHaveTheirFixedShape) {
    EXPECT_EQ(kBlocks.Total(), 38);
    EXPECT_STREQ(cat::kReceiptBaseNames[cat::kRenderingPkv], "PKV");
    EXPECT_STREQ(cat::kReceiptBaseNames[cat::kRenderingQz70n], "QZ70N");
    // Display rows 5 and 6 share a GPD base; row 11's base is also rendering base 0.
    EXPECT_STREQ(cat::kReceiptBaseNames[5 + 8], cat::kReceiptBaseNames[6 + 8]);
    EXPECT_STREQ(cat::kReceiptBaseNames[11 + 8], cat::kReceiptBaseNames[0]);
    EXPECT_STREQ(cat::kLabelFilesX86[29], "VLTPBR50.DLL");
    EXPECT_STREQ(cat::kLabelFilesX64[0], "zqaNLM64.dll");
}

TEST(Catalogue, FourthBlockMapsEachIndexToItsOwnRow) {
    for (int i = 27; i < 38; ++i) {
        auto model = cat::ResolveReceiptModel(i, kBlocks, "anything");
        ASSERT_TRUE(model) << i;
        EXPECT_EQ(model->displayRow, i);
        EXPECT_EQ(model->gpdBaseRow, i + 8);
        EXPECT_TRUE(model->withPlugin);
        EXPECT_STREQ(model->renderingBase, "QZ70N");
    }
    EXPECT_STREQ(cat::ResolveReceiptModel(27, kBlocks, "KV6X")->renderingBase, "PKV");
    EXPECT_STREQ(cat::ResolveReceiptModel(30, kBlocks, "KV6X")->renderingBase, "PKV");
    EXPECT_STREQ(cat::ResolveReceiptModel(27, kBlocks, "kv6x")->renderingBase, "QZ70N");
}

TEST(Catalogue, FirstBlockReachesTheFourthBlockRowsAndStopsAtTheTableEnd) {
    auto first = cat::ResolveReceiptModel(0, kBlocks, "");
    ASSERT_TRUE(first);
    EXPECT_STREQ(first->driverName, "KV6X");
    EXPECT_STREQ(first->gpdBase, "KV6X");
    EXPECT_STREQ(first->renderingBase, "PKV");
    EXPECT_TRUE(first->withPlugin);
    EXPECT_EQ(Driver(10), "WX720X");
    // 11 to 14 would need display rows 38 to 41: there are none.
    for (int i = 11; i <= 14; ++i) EXPECT_EQ(Driver(i), "<none>") << i;
}

TEST(Catalogue, MiddleBlocksFollowTheirOffsets) {
    auto model = cat::ResolveReceiptModel(15, kBlocks, "");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->displayRow, 19);
    EXPECT_EQ(model->gpdBaseRow, 39);
    EXPECT_STREQ(model->renderingBase, "QZ70N");
    EXPECT_FALSE(model->withPlugin);
    EXPECT_STREQ(cat::ResolveReceiptModel(17, kBlocks, "PKV Series")->renderingBase, "PKV");

    model = cat::ResolveReceiptModel(18, kBlocks, "PKV Series");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->displayRow, 23);
    EXPECT_EQ(model->gpdBaseRow, 31);
    EXPECT_STREQ(model->renderingBase, "QZ70N");
    model = cat::ResolveReceiptModel(26, kBlocks, "");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->displayRow, 31);
    EXPECT_TRUE(model->withPlugin);  // display row 31 is a fourth-block driver
}

TEST(Catalogue, FamiliesAndOutOfRangeIndexes) {
    EXPECT_EQ(cat::FamilyOf(-1, kBlocks), cat::DriverFamily::Receipt);
    EXPECT_EQ(cat::FamilyOf(37, kBlocks), cat::DriverFamily::Receipt);
    EXPECT_EQ(cat::FamilyOf(38, kBlocks), cat::DriverFamily::Label);
    EXPECT_EQ(Driver(-1), "<none>");
    EXPECT_EQ(Driver(38), "<none>");

    auto label = cat::ResolveLabelModel(40, kBlocks);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->row, 2);
    EXPECT_STREQ(label->driverName, "47T(Label)");
    EXPECT_STREQ(label->baseName, "QZ47T");
    EXPECT_FALSE(cat::ResolveLabelModel(43, kBlocks));
    EXPECT_FALSE(cat::ResolveLabelModel(37, kBlocks));
    EXPECT_FALSE(cat::ResolveLabelModel(1 << 30, kBlocks));
}

TEST(Catalogue, CatalogueNamesCoverEveryModelOnce) {
    EXPECT_STREQ(cat::CatalogueName(0), "4720 Series");
    EXPECT_STREQ(cat::CatalogueName(37), "WX720X");
    EXPECT_STREQ(cat::CatalogueName(38), "3130TF(Label)");
    EXPECT_STREQ(cat::CatalogueName(42), "A72I(Label)");
    EXPECT_EQ(cat::CatalogueName(43), nullptr);
    EXPECT_EQ(cat::CatalogueName(-1), nullptr);
}
