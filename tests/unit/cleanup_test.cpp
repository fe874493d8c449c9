#include <gtest/gtest.h>

#include "dialog_fixture.h"

namespace {

class CleanupTest : public testing_support::DialogTest {
protected:
    CleanupTest() {
        machine.files.WriteFile("C:\\Ticket\\x86\\PKV.DLL", "x");
        machine.files.WriteFile("C:\\Ticket\\x64\\PKV.DLL", "x");
        machine.files.WriteFile("C:\\Ticket\\TOP.TXT", "x");
        machine.files.WriteFile("C:\\Barcode\\Common\\THERMAL.chm", "x");
        machine.files.WriteFile("C:\\Barcode\\x86\\VLTDRV50.DLL", "x");
        WriteDriverList("[A]\r\nPrintName1=a\r\n");
        machine.files.WriteFile("C:\\Keep\\other.txt", "x");
    }
    bool Exists(const std::string& path) { return machine.files.Exists(path); }
};

TEST_F(CleanupTest, DestroyRemovesBothTreesAndTheListAndStopsTheTimer) {
    window.SetTimer(PROBE_TIMER_ID, 1000);
    dialog->OnDestroy();
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\Barcode"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(Exists("C:\\Keep\\other.txt"));
    EXPECT_TRUE(window.timers.empty());
    EXPECT_EQ(machine.files.OpenFindHandleCount(), 0);
}

TEST_F(CleanupTest, AMissingFolderIsSkippedAndTheRestStillGoes) {
    dialog->DeleteFolderTree("c:\\Barcode");
    window.messageBoxes.clear();
    dialog->OnDestroy();
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(CleanupTest, AFileThatCannotGoKeepsItsFoldersOnly) {
    machine.files.SetReadOnly("C:\\Barcode\\Common\\THERMAL.chm");
    dialog->OnDestroy();
    EXPECT_TRUE(Exists("C:\\Barcode\\Common\\THERMAL.chm"));
    EXPECT_FALSE(Exists("C:\\Barcode\\x86"));
    EXPECT_FALSE(Exists("C:\\Ticket"));
    EXPECT_FALSE(Exists("C:\\DriverName.cfg"));
}

TEST_F(CleanupTest, NothingIsRemovedWhileTheStartupWorkerMayStillUseIt) {
    machine.threads.mode = sim::StartMode::Deferred;
    dialog->InitDialog();
    dialog->OnDestroy();
    EXPECT_TRUE(Exists("C:\\Ticket\\x86\\PKV.DLL"));
    machine.threads.RunPending();
}

}  // namespace
