// /repair: a printer whose port moved is looked for again.
#include <gtest/gtest.h>

#include "unattended_cases.h"

namespace {

using namespace testing_support::unattended;

// ----- repair of a printer whose port moved -----

class RepairUsbTest : public UnattendedUsbTest {
protected:
    RepairUsbTest() {
        machine.spooler.SeedPrinter("Till", "KV6X", "USB002");
        machine.registry.SetString(RegistryRoot::CurrentUser, kDeviceKey, "Device",
                                   "Office,winspool,LPT1:");
    }
    int Searched() {
        const auto entries = Entries();
        return static_cast<int>(std::count_if(
            entries.begin(), entries.end(),
            [](const std::string& e) { return e.rfind("looking for the printer on ", 0) == 0; }));
    }
};

TEST_F(RepairUsbTest, APrinterThatAnswersOnAnotherUsbPortIsMovedThereAndNothingElseChanges) {
    machine.spooler.SetPrinterAttached("USB003");
    Run({"/quiet", "/repair", "/name", "till"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Till"), "USB003");
    EXPECT_EQ(*machine.spooler.Printer("Till")->driverName, "KV6X");
    EXPECT_EQ(machine.spooler.PrinterNames(), std::vector<std::string>{"Till"});
    EXPECT_EQ(Device(), "Office,winspool,LPT1:");
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "AddPrinterA"), 0);
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "AddPrinterDriverExA"), 0);
    EXPECT_TRUE(Logged("the printer \"Till\" is moved from USB002 to USB003"));
    EXPECT_EQ(Entries().back(), "exit code 0: success");
}

TEST_F(RepairUsbTest, APrinterThatAnswersOnItsOwnPortIsLookedForThereOnlyAndStays) {
    machine.spooler.SetPrinterAttached("USB002");
    Run({"/quiet", "/repair", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Till"), "USB002");
    EXPECT_EQ(Searched(), 1);
    EXPECT_TRUE(Logged("looking for the printer on USB002"));
    EXPECT_TRUE(
        Logged("the printer \"Till\" was already right: it answers on its own port, USB002"));
}

TEST_F(RepairUsbTest, APrinterThatAnswersNowhereIsPutBackOnItsPort) {
    Run({"/quiet", "/repair", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    EXPECT_EQ(Searched(), 3);
    EXPECT_EQ(PrinterPort("Till"), "USB002");
    EXPECT_TRUE(
        Logged("warning: the printer \"Till\" answered on no USB port; it stays on USB002 "
               "(check its cable and power)"));
}

TEST_F(RepairUsbTest, APrinterThatIsNotThereOrNotOursOrNotOnUsbOrSerialIsRefusedUntouched) {
    machine.spooler.SeedPrinter("Office", "Generic / Text Only", "USB001");
    machine.spooler.SeedPrinter("Shelf", "KV6X", "LPT1:");
    machine.spooler.SetPrinterAttached("USB003");
    const std::pair<const char*, const char*> cases[] = {
        {"Nobody", "error: there is no printer \"Nobody\" to repair"},
        {"Office",
         "error: the printer \"Office\" has the driver \"Generic / Text Only\", which this "
         "installer does not install"},
        {"Shelf",
         "error: the printer \"Shelf\" is on port LPT1:, neither a USB nor a serial port: "
         "there is nothing to look for"},
    };
    for (const auto& [name, message] : cases) {
        SCOPED_TRACE(name);
        Run({"/quiet", "/repair", "/name", name});
        EXPECT_EQ(ExitCode(), ec::kInvalidCommandLine);
        EXPECT_TRUE(Logged(message));
        run.reset();
        installer.reset();
    }
    EXPECT_EQ(PrinterPort("Office"), "USB001");
    EXPECT_EQ(PrinterPort("Shelf"), "LPT1:");
    EXPECT_EQ(PrinterPort("Till"), "USB002");
    EXPECT_EQ(sim::CountCalls(machine.registry.calls, "RegSetValueExA"), 0);
}

TEST_F(RepairUsbTest, AFailedRegistryWriteIsAFailure) {
    machine.spooler.SetPrinterAttached("USB003");
    Prepare({"/quiet", "/repair", "/name", "Till"});
    installer->InitDialog();
    machine.registry.failures.FailNext("RegSetValueExA", platform::error::kAccessDenied);
    DeliverStartup();
    RunTimer();
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(Logged("error: the repair of \"Till\" reported: Failed to read Registry"));
}

TEST_F(RepairUsbTest, WindowsSevenCannotTellTheUsbPortAndNothingIsMoved) {
    machine.system.majorVersion = 6;
    machine.system.minorVersion = 1;
    machine.spooler.SetPrinterAttached("USB003");
    Run({"/quiet", "/repair", "/name", "Till"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_EQ(PrinterPort("Till"), "USB002");
}

class RepairSerialTest : public UnattendedSerialTest {
protected:
    RepairSerialTest() {
        machine.spooler.SeedPrinter("Bar", "KV6X", "COM3:");
        machine.registry.SetString(RegistryRoot::LocalMachine, kPortsKey, "COM3:", "9600,n,8,1");
    }
};

TEST_F(RepairSerialTest, APrinterThatAnswersOnAnotherComPortIsMovedThereAtItsStoredRate) {
    machine.serial.replies[4] = {0x12};
    machine.serial.replyRates[4] = 9600;
    Run({"/quiet", "/repair", "/name", "Bar"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Bar"), "COM4:");
    EXPECT_EQ(Opens(),
              (std::vector<std::pair<int, int>>{{1, 9600}, {2, 9600}, {3, 9600}, {4, 9600}}));
    EXPECT_EQ(Settings("COM4:"), "9600,n,8,1");
    EXPECT_TRUE(Logged("the printer \"Bar\" is moved from COM3: to COM4:"));
}

TEST_F(RepairSerialTest, AutoFindsTheRateAndAPrinterOnItsOwnPortIsAlreadyRight) {
    machine.serial.replies[3] = {0x12};
    machine.serial.replyRates[3] = 38400;
    Run({"/quiet", "/repair", "/name", "Bar", "/baud", "auto"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("Bar"), "COM3:");
    EXPECT_EQ(Settings("COM3:"), "38400,n,8,1");
    EXPECT_TRUE(Logged("the printer \"Bar\" was already right: it answers on its own port, COM3:"));
}

// Each family is asked with its own status request: a receipt printer with
// DLE EOT 1, a label printer with ESC ! ?.
TEST_F(RepairSerialTest, EachFamilyIsAskedWithItsOwnStatusRequest) {
    machine.spooler.SeedPrinter("Labels", "47T(Label)", "COM3:");
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"Bar", {0x10, 0x04, 0x01}}, {"Labels", {0x1B, 0x21, 0x3F}}};
    for (const auto& [name, request] : cases) {
        machine.serial.writes.clear();
        Run({"/quiet", "/repair", "/name", name});
        ASSERT_EQ(machine.serial.writes.size(), 4u) << name;
        for (const auto& write : machine.serial.writes) EXPECT_EQ(write.bytes, request) << name;
    }
}

TEST_F(RepairSerialTest, APrinterThatAnswersOnNoComPortStaysWhereItWas) {
    Run({"/quiet", "/repair", "/name", "Bar", "/baud", "19200"});
    EXPECT_EQ(ExitCode(), ec::kNoPrinterAnswered);
    EXPECT_EQ(Opens().size(), 4u);
    EXPECT_EQ(Opens().front().second, 19200);
    EXPECT_EQ(PrinterPort("Bar"), "COM3:");
    EXPECT_EQ(Settings("COM3:"), "9600,n,8,1");
}

}  // namespace
