// Finding the USB port a printer answers on, and the registry moves behind
// it.
#include <gtest/gtest.h>

#include "install_fixture.h"

namespace {

namespace mb = platform::mb;
using platform::RegistryRoot;
using sim::CountCalls;

const char* const kNoPortText =
    "Failed to select USB port,please check the port is connected.\r\n\r\n"
    "Click Retry:Retry to select usb port\r\n"
    "Click Cancel:Continue installation, you can select the port after installation";
const std::string kSoftware = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const std::string kCurrent = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const std::string kSet001 = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const std::string kProfile =
    "SYSTEM\\CurrentControlSet\\Hardware "
    "Profiles\\Current\\System\\CurrentControlSet\\Control\\Print\\Printers\\";

class UsbDetectionTest : public testing_support::InstallTest {
protected:
    UsbDetectionTest() {
        machine.system.majorVersion = 10;  // Windows 10: restart and read back
        machine.system.minorVersion = 0;
        machine.system.buildNumber = 19045;
        Ports({"USB001", "USB002", "USB003"});
        ListOffering(27, "P1");
    }
    std::optional<std::string> Port(const std::string& prefix) {
        return machine.registry.GetString(RegistryRoot::LocalMachine, prefix + "P1", "Port");
    }
    // Every port written into the printer's key, in order.
    std::vector<std::string> PortsWritten() {
        std::vector<std::string> ports;
        for (const auto& call : machine.registry.calls) {
            if (sim::CallName(call) == "RegSetValueExA" &&
                call.find(", Port, ") != std::string::npos) {
                ports.push_back(call);
            }
        }
        return ports;
    }
};

TEST_F(UsbDetectionTest, TheFirstPortThatAnswersIsKeptAndLaterOnesAreNeverWritten) {
    machine.spooler.SetPrinterAttached("USB002");
    StartDialog();
    const int startsBefore = machine.spooler.serviceStarts;
    std::string lastWritten;
    machine.services.onStarted = [&](const std::string&) {
        lastWritten = Port(kSoftware).value_or("");
        machine.spooler.OnServiceStarted();
    };
    Install(ports::kUsb);
    EXPECT_EQ(machine.spooler.serviceStarts - startsBefore, 2);  // one restart per port tried
    EXPECT_EQ(lastWritten, "USB002");
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->portName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->portName, "USB002");
    for (const auto& prefix : {kSoftware, kCurrent, kSet001}) EXPECT_EQ(Port(prefix), "USB002");
    const auto history = window.StatusHistory();
    EXPECT_TRUE(Contains(history, "Checking USB ports..."));
    EXPECT_TRUE(Contains(history, "Checking  USB001 ...."));
    EXPECT_TRUE(Contains(history, "Checking  USB002 ...."));
    EXPECT_FALSE(Contains(history, "Checking  USB003 ...."));
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 60, 50, 60, 70, 80, 100}));
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(Status(), "The installation is completed.");
}

TEST_F(UsbDetectionTest, WindowsSevenOnlyWritesEachPortAndKeepsTheLast) {
    machine.system.majorVersion = 6;
    machine.system.minorVersion = 1;
    machine.spooler.SetPrinterAttached("USB001");
    StartDialog();
    const int stops = machine.services.stopRequests;
    Install(ports::kUsb);
    EXPECT_EQ(machine.services.stopRequests, stops);
    EXPECT_EQ(CountCalls(machine.registry.calls, "RegQueryValueExA"), 0);
    EXPECT_EQ(Port(kSoftware), "USB003");
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 50, 50, 80, 100}));
}

TEST_F(UsbDetectionTest, NoAnswerOffersRetryForANewPassAndCancelCompletes) {
    window.messageBoxAnswers = {mb::kIdRetry, mb::kIdCancel};
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 2u);
    for (const auto& box : window.messageBoxes) {
        EXPECT_EQ(box.text, kNoPortText);
        EXPECT_EQ(box.caption, "Fail to select port");
        EXPECT_EQ(box.style, mb::kRetryCancel);
        EXPECT_FALSE(box.application);
    }
    // Two whole passes over three ports.
    const auto history = window.StatusHistory();
    EXPECT_EQ(std::count(history.begin(), history.end(), "Checking  USB001 ...."), 2);
    EXPECT_EQ(Port(kSoftware), "USB003");
    EXPECT_EQ(Status(), "The installation is completed.");
    EXPECT_EQ(ButtonText(), "&Finish");
}

TEST_F(UsbDetectionTest, APrinterWithAnEditedNameIsMovedUnderThatName) {
    machine.spooler.SetPrinterAttached("USB001");
    StartDialog();
    window.SetControlText(IDC_PRINTER_NAME, "Front desk");
    Install(ports::kUsb);
    ASSERT_NE(machine.spooler.Printer("Front desk"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("Front desk")->portName);
    EXPECT_EQ(*machine.spooler.Printer("Front desk")->portName, "USB001");
    EXPECT_EQ(
        machine.registry.GetString(RegistryRoot::LocalMachine, kSoftware + "Front desk", "Port"),
        "USB001");
}

TEST_F(UsbDetectionTest, AFailedOnLineReadIsReportedOnceAndThePassMovesOn) {
    machine.spooler.SetPrinterAttached("USB002");
    machine.registry.failures.FailNext("RegQueryValueExA", 5);
    StartAndInstall(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "Failed to read Registry");
    EXPECT_TRUE(window.messageBoxes[0].application);
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->portName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->portName, "USB002");
}

TEST_F(UsbDetectionTest, NoUsbPortAtAllAsksAtOnce) {
    Ports({"LPT1:"});
    StartDialog();
    window.messageBoxAnswers = {mb::kIdRetry, mb::kIdCancel};
    Install(ports::kUsb);
    // The stand-in printer on LPT1: is never moved; each pass only says it looks.
    EXPECT_EQ(window.messageBoxes.size(), 2u);
    const auto history = window.StatusHistory();
    EXPECT_EQ(std::count(history.begin(), history.end(), "Checking USB ports..."), 2);
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    ASSERT_TRUE(machine.spooler.Printer("P1")->portName);
    EXPECT_EQ(*machine.spooler.Printer("P1")->portName, "LPT1:");
    EXPECT_EQ(Status(), "The installation is completed.");
}

class PortRegistryTest : public testing_support::InstallTest {
protected:
    PortRegistryTest() { StartDialog(); }
    void SeedKeys(bool withDsSpooler) {
        for (const auto& prefix : {kSoftware, kCurrent, kSet001}) {
            machine.registry.SetString(RegistryRoot::LocalMachine, prefix + "P1", "Port", "LPT1:");
        }
        if (withDsSpooler)
            machine.registry.CreateKey(RegistryRoot::LocalMachine, kSoftware + "P1\\DsSpooler");
    }
};

TEST_F(PortRegistryTest, AllFourPlacesAndTheOnLineFlagAreWritten) {
    SeedKeys(true);
    machine.registry.SetDword(RegistryRoot::CurrentConfig, kCurrent + "P1", "PrinterOnLine", 1);
    dialog->SetPrinterPort("P1", "USB002");
    for (const auto& prefix : {kSoftware, kCurrent, kSet001}) {
        const auto value =
            machine.registry.GetValue(RegistryRoot::LocalMachine, prefix + "P1", "Port");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, platform::reg::kSz);
        EXPECT_EQ(value->data.size(), 7u);  // with its NUL
    }
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::LocalMachine, kSoftware + "P1\\DsSpooler",
                                         "portName"),
              "USB002");
    // One key under two names: the reset shows through the hardware profile.
    EXPECT_EQ(
        machine.registry.GetDword(RegistryRoot::LocalMachine, kProfile + "P1", "PrinterOnLine"),
        0u);
    EXPECT_FALSE(dialog->ReadPrinterOnLine("P1"));
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(machine.registry.OpenHandleCount(), 0);
}

TEST_F(PortRegistryTest, MissingKeysAreSkippedSilentlyAndFailedWritesReportedEach) {
    SeedKeys(false);
    machine.registry.DenyWrites(RegistryRoot::LocalMachine, kCurrent + "P1");
    machine.registry.DenyWrites(RegistryRoot::LocalMachine, kSet001 + "P1");
    dialog->SetPrinterPort("P1", "USB002");
    EXPECT_EQ(window.messageBoxes.size(), 2u);
    for (const auto& box : window.messageBoxes) EXPECT_EQ(box.text, "Failed to read Registry");
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::LocalMachine, kSoftware + "P1", "Port"),
              "USB002");
    EXPECT_EQ(
        machine.registry.GetDword(RegistryRoot::CurrentConfig, kCurrent + "P1", "PrinterOnLine"),
        0u);
}

TEST_F(PortRegistryTest, OnlyTheFirstByteOfTheOnLineValueCounts) {
    struct Case {
        std::vector<std::uint8_t> data;
        bool onLine;
    };
    const Case cases[] = {{{1, 0, 0, 0}, true}, {{0, 0, 0, 0}, false}, {{0, 1, 0, 0}, false},
                          {{1}, true},          {{}, false},           {{2, 0, 0, 0}, false}};
    for (const Case& c : cases) {
        machine.registry.SetValue(RegistryRoot::LocalMachine, kProfile + "P1", "PrinterOnLine",
                                  platform::reg::kBinary, c.data);
        EXPECT_EQ(dialog->ReadPrinterOnLine("P1"), c.onLine) << c.data.size();
    }
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(PortRegistryTest, OnLineValueAtTheFiftyByteBuffer) {
    std::vector<std::uint8_t> fits(50, 0);
    fits[0] = 1;
    machine.registry.SetValue(RegistryRoot::LocalMachine, kProfile + "P1", "PrinterOnLine",
                              platform::reg::kBinary, fits);
    EXPECT_TRUE(dialog->ReadPrinterOnLine("P1"));
    fits.push_back(0);  // 51 bytes: the read fails
    machine.registry.SetValue(RegistryRoot::LocalMachine, kProfile + "P1", "PrinterOnLine",
                              platform::reg::kBinary, fits);
    EXPECT_FALSE(dialog->ReadPrinterOnLine("P1"));
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "Failed to read Registry");
    // No key at all: not on line, nothing said.
    EXPECT_FALSE(dialog->ReadPrinterOnLine("Nobody"));
    EXPECT_EQ(window.messageBoxes.size(), 1u);
}

TEST_F(PortRegistryTest, SerialSettingsAreStoredUnderThePortName) {
    dialog->serialBaudRate = 9600;
    dialog->WriteSerialPortSettings("COM2:");
    const auto value = machine.registry.GetValue(
        RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
        "COM2:");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, platform::reg::kSz);
    const std::string text = "9600,n,8,1";
    EXPECT_EQ(value->data, std::vector<std::uint8_t>(text.c_str(), text.c_str() + 11));

    machine.registry.DenyWrites(RegistryRoot::LocalMachine,
                                "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
    dialog->WriteSerialPortSettings("COM2:");
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "Error\xA3\xBA"
              "Failed to set Registry");
}

TEST_F(PortRegistryTest, InstalledPrintersAreListedInTheSpoolersOrder) {
    app::StringArray names = {"stale"};
    app::StringArray ports = {"stale"};
    EXPECT_FALSE(dialog->ListInstalledPrinters(names, ports));
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(ports.empty());

    machine.spooler.SeedDriver("D", "Windows NT x86");
    machine.spooler.SeedPrinter("B", "D", "COM5:");
    machine.spooler.SeedPrinter("A", "D", "USB001");
    EXPECT_TRUE(dialog->ListInstalledPrinters(names, ports));
    EXPECT_EQ(names, (app::StringArray{"B", "A"}));
    EXPECT_EQ(ports, (app::StringArray{"COM5:", "USB001"}));

    machine.spooler.failures.FailAfter("EnumPrintersA", 1, 5);
    EXPECT_FALSE(dialog->ListInstalledPrinters(names, ports));
    EXPECT_EQ(names, (app::StringArray{"B", "A"}));  // kept
}

}  // namespace
