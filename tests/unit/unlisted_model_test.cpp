// A driver name the list no longer gives at Install time: its position in
// the drop-down list is no model index, so nothing is installed by it.
#include <gtest/gtest.h>

#include "install_fixture.h"

namespace {

class UnlistedModelTest : public testing_support::InstallTest {
protected:
    UnlistedModelTest() {
        Ports({"USB001"});
        ListOffering(27, "KV6X");
    }
};

TEST_F(UnlistedModelTest, ANameGoneFromTheListIsRefusedWithAMessage) {
    StartDialog();
    WriteDriverList("[S0]\r\nPrintName1=Other\r\n");
    Install(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(
        window.messageBoxes[0].text,
        "The driver list \"C:\\DriverName.cfg\" could not be read again, or it no longer lists "
        "the driver \"KV6X\". Nothing was installed.");
    EXPECT_EQ(window.messageBoxes[0].caption, "Error");
    EXPECT_EQ(dialog->lastRoute, app::InstallerDialog::InstallRoute::Refused);
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_EQ(sim::CountCalls(machine.files.calls, "CopyFileA"), 0);
    EXPECT_EQ(machine.spooler.Printer("KV6X"), nullptr);
}

TEST_F(UnlistedModelTest, AListThatCannotBeReadAtInstallIsRefusedAndARetryWorks) {
    StartDialog();
    machine.profile.failures.FailNext("GetPrivateProfileSectionNamesA", 2);
    Install(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(machine.spooler.Printer("KV6X"), nullptr);
    EXPECT_TRUE(ButtonEnabled());
    Install(ports::kUsb);
    EXPECT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(Status(), "The installation is completed.");
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
}

TEST_F(UnlistedModelTest, ANameStillListedElsewhereTakesItsNewSection) {
    StartDialog();
    ListOffering(28, "KV6X");  // moved one section on: the new place counts
    Install(ports::kUsb);
    EXPECT_EQ(dialog->modelIndex, 28);
    EXPECT_TRUE(window.messageBoxes.empty());
}

}  // namespace
