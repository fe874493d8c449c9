// Choosing a new printer's serial port: the prompt, the search over the
// serial ports on the dialog's timer, its endings, and the other printers
// on COM ports that are put back where they were.
#include <gtest/gtest.h>

#include "install_fixture.h"

namespace {

using platform::RegistryRoot;
using State = app::InstallerDialog::ProbeState;
using Bytes = std::vector<std::uint8_t>;

const std::string kSoftware = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const Bytes kReceiptRequest = {0x10, 0x04, 0x01};
const Bytes kLabelRequest = {0x1B, 0x21, 0x3F};
constexpr int kYes = app::InstallerDialog::kPortChoiceBase;
constexpr int kYes9600 = kYes + 4;
constexpr int kNo = app::InstallerDialog::kPortCancelled;

class SerialSelectionTest : public testing_support::InstallTest {
protected:
    SerialSelectionTest() {
        Ports({"COM1:", "COM2:", "COM3:", "COM4:", "COM10:", "LPT1:", "USB001"});
        ListOffering(27, "P1");
        SerialPorts({"COM1", "COM2", "COM3"});
        machine.serial.presentPorts = {1, 2, 3, 4, 10};
        app::InstallerDialog* target = dialog.get();
        machine.serial.onByte = [target](std::uintptr_t w, std::intptr_t l) {
            return target->OnSerialByteReceived(w, l);
        };
    }

    // The serial device map, in this order ("COM3" lists as "COM3:").
    void SerialPorts(const std::vector<std::string>& names) {
        machine.registry.DeleteKey(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
        for (std::size_t i = 0; i < names.size(); ++i) {
            machine.registry.SetString(RegistryRoot::LocalMachine,
                                       "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                                       "\\Device\\Serial" + std::to_string(i), names[i]);
        }
    }

    // What the window system does between the dialog's handlers: replies on
    // their way arrive, then the timer fires. Returns the ticks run.
    int RunSearch(int limit = 20) {
        int ticks = 0;
        while (window.timers.count(PROBE_TIMER_ID) != 0 && ticks < limit) {
            machine.serial.DeliverReplies();
            dialog->OnTimer(PROBE_TIMER_ID);
            ++ticks;
        }
        return ticks;
    }

    std::vector<int> OpenedPorts() {
        std::vector<int> ports;
        for (const auto& open : machine.serial.opens) ports.push_back(open.port);
        return ports;
    }
    std::optional<std::string> Settings(const std::string& port) {
        return machine.registry.GetString(RegistryRoot::LocalMachine, kPortsKey, port);
    }
    // How often a printer was moved by writing its keys.
    int PortMoves(const std::string& printer) {
        const std::string opened = "RegOpenKeyExA(HKLM\\" + kSoftware + printer + ", ";
        int moves = 0;
        for (const auto& call : machine.registry.calls) {
            if (call.compare(0, opened.size(), opened) == 0) ++moves;
        }
        return moves;
    }
    std::string PrinterPort(const std::string& printer) {
        const platform::PrinterInfo2* info = machine.spooler.Printer(printer);
        return info != nullptr && info->portName ? *info->portName : std::string("(none)");
    }
    int Restarts() { return machine.services.stopRequests; }
};

TEST_F(SerialSelectionTest, TheSearchStartsAtTheFirstPortAndKeepsTheOneThatAnswers) {
    machine.serial.replies[3] = {0x12};
    window.serialPromptAnswers = {kYes9600};
    StartDialog();
    const int restarts = Restarts();
    Install(ports::kSerial);
    EXPECT_EQ(window.serialPrompts, 1);
    EXPECT_EQ(dialog->serialBaudRate, 9600);
    EXPECT_EQ(RunSearch(), 4);

    EXPECT_EQ(OpenedPorts(), (std::vector<int>{1, 2, 3}));
    for (const sim::SerialOpen& open : machine.serial.opens) {
        EXPECT_EQ(open.owner, window.handle);
        EXPECT_EQ(open.baudRate, 9600);
        EXPECT_EQ(open.parity, 'N');
        EXPECT_EQ(open.dataBits, 8);
        EXPECT_EQ(open.stopBits, 1);
        EXPECT_EQ(open.eventMask, 3u);
        EXPECT_EQ(open.writeBufferSize, 512u);
    }
    ASSERT_EQ(machine.serial.writes.size(), 3u);
    for (const auto& write : machine.serial.writes) EXPECT_EQ(write.bytes, kReceiptRequest);
    // The first tick comes at once, every probe waits 700 ms for its reply.
    EXPECT_EQ(window.timerHistory, (std::vector<std::uint32_t>{1, 700, 700, 700}));
    EXPECT_TRUE(window.timers.empty());

    const auto history = window.StatusHistory();
    for (const char* port : {"COM1:", "COM2:", "COM3:"}) {
        EXPECT_TRUE(Contains(history, std::string("Checking ") + port)) << port;
    }
    EXPECT_EQ(Status(), "The available printer port:  COM3:");
    EXPECT_EQ(PrinterPort("P1"), "COM3:");
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::LocalMachine, kSoftware + "P1", "Port"),
              "COM3:");
    EXPECT_EQ(Settings("COM3:"), "9600,n,8,1");
    EXPECT_EQ(Settings("COM1:"), std::nullopt);
    EXPECT_EQ(Settings("COM2:"), std::nullopt);
    EXPECT_EQ(Restarts() - restarts, 1);
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 80, 90, 100}));
    EXPECT_EQ(ButtonText(), "&Finish");
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_EQ(machine.serial.OpenCount(), 0);
    EXPECT_EQ(dialog->probeState, State::Idle);
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(SerialSelectionTest, ProbingStateTable) {
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    // Idle until Yes; then moving on to the first port.
    EXPECT_EQ(dialog->probeState, State::MovingOn);
    EXPECT_EQ(dialog->probeIndex, -1);
    EXPECT_EQ(window.timerPeriods[PROBE_TIMER_ID], 1u);

    dialog->OnTimer(PROBE_TIMER_ID);
    EXPECT_EQ(dialog->probeState, State::AwaitingReply);
    EXPECT_EQ(dialog->probeIndex, 0);
    EXPECT_EQ(dialog->probePortNumber, 1);
    EXPECT_EQ(machine.serial.OpenCount(), 1);
    EXPECT_EQ(window.timerPeriods[PROBE_TIMER_ID], 700u);

    dialog->OnTimer(PROBE_TIMER_ID);  // 700 ms without a reply: the next port
    EXPECT_EQ(dialog->probeState, State::AwaitingReply);
    EXPECT_EQ(dialog->probePortNumber, 2);
    EXPECT_EQ(machine.serial.OpenCount(), 1);
    EXPECT_EQ(machine.serial.closes, 1);

    machine.serial.Deliver(2, {0x12});
    EXPECT_EQ(dialog->serialReplyReceived, 1);
    dialog->OnTimer(PROBE_TIMER_ID);
    EXPECT_EQ(dialog->probeState, State::Idle);
    EXPECT_EQ(Status(), "The available printer port:  COM2:");

    // A tick queued before the timer died finds the search over.
    const int restarts = Restarts();
    const auto progress = Progress();
    dialog->OnTimer(PROBE_TIMER_ID);
    EXPECT_EQ(Restarts(), restarts);
    EXPECT_EQ(Progress(), progress);
    EXPECT_EQ(OpenedPorts(), (std::vector<int>{1, 2}));
}

TEST_F(SerialSelectionTest, NoAnswerAnywhereLeavesThePrinterOnTheFirstPort) {
    window.serialPromptAnswers = {kYes9600};
    StartDialog();
    const int restarts = Restarts();
    Install(ports::kSerial);
    EXPECT_EQ(RunSearch(), 4);
    EXPECT_EQ(OpenedPorts(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Status(), "Unable to detect available printer.The current printer port is COM1:");
    EXPECT_EQ(PrinterPort("P1"), "COM1:");
    for (const char* port : {"COM1:", "COM2:", "COM3:"}) EXPECT_EQ(Settings(port), std::nullopt);
    EXPECT_EQ(PortMoves("P1"), 0);
    EXPECT_EQ(Restarts() - restarts, 1);
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 80, 90, 100}));
    EXPECT_EQ(ButtonText(), "&Finish");
    EXPECT_TRUE(window.timers.empty());
    EXPECT_EQ(machine.serial.OpenCount(), 0);
}

TEST_F(SerialSelectionTest, PortsThatCannotBeUsedArePassedAtOnce) {
    SerialPorts({"COM1", "COM2", "COM3", "COM4"});
    machine.serial.presentPorts = {2, 3, 4};  // COM1 does not open
    machine.serial.setupFailures = {2};       // COM2 opens, its line settings fail
    machine.serial.threadFailures = {3};      // COM3's listener cannot start
    machine.serial.replies[4] = {0x12};
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    EXPECT_EQ(RunSearch(), 5);
    EXPECT_EQ(OpenedPorts(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(window.timerHistory, (std::vector<std::uint32_t>{1, 1, 1, 1, 700}));
    ASSERT_EQ(machine.serial.writes.size(), 1u);
    EXPECT_EQ(machine.serial.writes[0].port, 4);
    EXPECT_EQ(Status(), "The available printer port:  COM4:");
    EXPECT_EQ(machine.serial.OpenCount(), 0);  // the half-open ones were let go too
}

TEST_F(SerialSelectionTest, ALateReplyFromThePreviousPortIsNoAnswer) {
    machine.serial.replies[1] = {0x12};
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    dialog->OnTimer(PROBE_TIMER_ID);  // COM1 asked
    // COM1's reply is still on its way when the 700 ms are up: it arrives
    // while the channel closes, with COM2 already the port being probed.
    dialog->OnTimer(PROBE_TIMER_ID);
    EXPECT_EQ(dialog->probePortNumber, 2);
    EXPECT_EQ(dialog->serialReplyReceived, 0);
    machine.serial.Deliver(1, {0x12});  // and one more, later still
    EXPECT_EQ(dialog->serialReplyReceived, 0);
    EXPECT_EQ(RunSearch(), 2);
    EXPECT_EQ(Status(), "Unable to detect available printer.The current printer port is COM1:");
}

TEST_F(SerialSelectionTest, OnlyBytesAfterTheRequestOfTheCurrentProbeCount) {
    // Before any search, and after one: nothing listens.
    EXPECT_EQ(dialog->OnSerialByteReceived(0x12, 0), 0);
    EXPECT_EQ(dialog->serialReplyReceived, 0);
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    machine.serial.Deliver(1, {0x12});  // COM1 not asked yet
    EXPECT_EQ(dialog->serialReplyReceived, 0);
    dialog->OnTimer(PROBE_TIMER_ID);
    machine.serial.Deliver(2, {0x12});  // another port
    EXPECT_EQ(dialog->serialReplyReceived, 0);
    machine.serial.Deliver(1, {0x00});  // any byte from the port asked
    EXPECT_EQ(dialog->serialReplyReceived, 1);
    RunSearch();
    EXPECT_EQ(Status(), "The available printer port:  COM1:");
    machine.serial.Deliver(1, {0x12});
    EXPECT_EQ(dialog->probeState, State::Idle);
}

TEST_F(SerialSelectionTest, PortNumbersAreTheDigitsBeforeTheColon) {
    SerialPorts({"COM10", "COMX", "COM2"});
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    RunSearch();
    EXPECT_EQ(OpenedPorts(), (std::vector<int>{10, 0, 2}));
    EXPECT_TRUE(Contains(window.StatusHistory(), "Checking COM10:"));
}

TEST_F(SerialSelectionTest, EveryRowOfThePromptProbesAtItsRate) {
    StartAndInstall(ports::kSerial);  // Escape: nothing searched
    ASSERT_TRUE(machine.serial.opens.empty());
    for (std::size_t row = 0; row < ports::kBaudRates.size(); ++row) {
        SCOPED_TRACE(row);
        window.serialPromptAnswers = {kYes + static_cast<int>(row)};
        dialog->SelectSerialPort();
        dialog->OnTimer(PROBE_TIMER_ID);
        ASSERT_FALSE(machine.serial.opens.empty());
        EXPECT_EQ(machine.serial.opens.back().baudRate, ports::kBaudRates[row]);
        // Each search starts afresh at the first port.
        EXPECT_EQ(machine.serial.opens.back().port, 1);
    }
    EXPECT_EQ(ports::kBaudRates.front(), 300);
    EXPECT_EQ(ports::kBaudRates.back(), 115200);
}

TEST_F(SerialSelectionTest, NoEnterEscapeAndOtherResultsSearchNothing) {
    const int answers[] = {kNo, 1, 2, kYes - 1, kYes + 9};
    window.serialPromptAnswers = {answers[0]};
    StartDialog();
    const int restarts = Restarts();
    Install(ports::kSerial);
    for (int answer : answers) {
        SCOPED_TRACE(answer);
        if (answer != answers[0]) {
            window.serialPromptAnswers = {answer};
            dialog->SelectSerialPort();
        }
        EXPECT_EQ(Status(),
                  "The current printer port is COM1: ,you can set that after the installation");
        ASSERT_FALSE(Progress().empty());
        EXPECT_EQ(Progress().back(), 100);
        EXPECT_EQ(ButtonText(), "&Finish");
        EXPECT_TRUE(window.timers.empty());
    }
    EXPECT_EQ(window.serialPrompts, 5);
    EXPECT_TRUE(machine.serial.opens.empty());
    EXPECT_EQ(PortMoves("P1"), 0);
    EXPECT_EQ(Settings("COM1:"), std::nullopt);
    EXPECT_EQ(Restarts(), restarts);
    EXPECT_EQ(PrinterPort("P1"), "COM1:");
}

TEST_F(SerialSelectionTest, ALonePortIsTakenWithoutAskingAtThePreselectedRate) {
    SerialPorts({"COM2"});
    StartDialog();
    const int restarts = Restarts();
    Install(ports::kSerial);
    EXPECT_EQ(window.serialPrompts, 0);
    EXPECT_TRUE(machine.serial.opens.empty());
    EXPECT_EQ(Settings("COM2:"), "19200,n,8,1");
    EXPECT_EQ(PrinterPort("P1"), "COM2:");
    EXPECT_EQ(Status(),
              "The current printer port is COM2:,you can configure after the installation");
    EXPECT_EQ(Restarts() - restarts, 2);
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 90, 100}));
    EXPECT_EQ(ButtonText(), "&Finish");
}

TEST_F(SerialSelectionTest, NoSerialPortNamesThePortThePrinterWasMadeOn) {
    SerialPorts({});
    StartDialog();
    const int restarts = Restarts();
    Install(ports::kSerial);
    EXPECT_EQ(window.serialPrompts, 0);
    EXPECT_EQ(PrinterPort("P1"), "LPT1:");
    EXPECT_EQ(Status(), "Unable to detect available printer.The current printer port is LPT1:");
    EXPECT_EQ(Restarts() - restarts, 1);
    EXPECT_EQ(Progress(), (std::vector<int>{10, 20, 30, 40, 50, 90, 100}));
    EXPECT_EQ(ButtonText(), "&Finish");
}

TEST_F(SerialSelectionTest, OnlyOtherPrintersOnComPortsAreRestored) {
    machine.spooler.SeedDriver("D", "Windows NT x86");
    machine.spooler.SeedPrinter("Other", "D", "COM2:");
    machine.spooler.SeedPrinter("P1 copy", "D", "COM4:");  // its name holds the new one's
    machine.spooler.SeedPrinter("On USB", "D", "USB001");
    machine.spooler.SeedPrinter("On LPT", "D", "LPT1:");
    machine.serial.replies[3] = {0x12};
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    RunSearch();
    EXPECT_TRUE(Contains(dialog->installedPrinterNames, "P1"));  // the snapshot has the new one
    EXPECT_EQ(PortMoves("Other"), 1);
    EXPECT_EQ(PortMoves("P1 copy"), 0);
    EXPECT_EQ(PortMoves("On USB"), 0);
    EXPECT_EQ(PortMoves("On LPT"), 0);
    EXPECT_EQ(PortMoves("P1"), 1);  // the move to the port that answered
    EXPECT_EQ(PrinterPort("Other"), "COM2:");
    EXPECT_EQ(PrinterPort("P1 copy"), "COM4:");
    EXPECT_EQ(PrinterPort("P1"), "COM3:");
}

TEST_F(SerialSelectionTest, ASnapshotThatFailsRestoresNothingStale) {
    machine.spooler.SeedDriver("D", "Windows NT x86");
    machine.spooler.SeedPrinter("Other", "D", "COM2:");
    SerialPorts({"COM3"});
    StartDialog();
    dialog->installedPrinterNames = {"Other"};
    dialog->installedPrinterPorts = {"COM4:"};
    machine.spooler.failures.FailAlways("EnumPrintersA", 5);
    Install(ports::kSerial);
    EXPECT_TRUE(dialog->installedPrinterNames.empty());
    EXPECT_EQ(PortMoves("Other"), 0);
    EXPECT_EQ(PrinterPort("P1"), "COM3:");
}

TEST_F(SerialSelectionTest, ClosingTheDialogEndsTheSearch) {
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    dialog->OnTimer(PROBE_TIMER_ID);
    ASSERT_EQ(machine.serial.OpenCount(), 1);
    dialog->OnDestroy();
    EXPECT_EQ(machine.serial.OpenCount(), 0);
    EXPECT_TRUE(window.timers.empty());
    EXPECT_EQ(dialog->probeState, State::Idle);
    dialog->OnTimer(PROBE_TIMER_ID);  // a tick already queued
    EXPECT_EQ(OpenedPorts(), (std::vector<int>{1}));
    dialog.reset();
    EXPECT_EQ(machine.serial.OpenCount(), 0);
}

TEST_F(SerialSelectionTest, DestroyingTheDialogLetsAnOpenPortGo) {
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    dialog->OnTimer(PROBE_TIMER_ID);
    dialog.reset();
    EXPECT_EQ(machine.serial.OpenCount(), 0);
}

TEST_F(SerialSelectionTest, AReceiptInstallationHasItsFinishButtonDuringTheSearch) {
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    EXPECT_EQ(ButtonText(), "&Finish");
    EXPECT_TRUE(ButtonEnabled());
    ASSERT_FALSE(Progress().empty());
    EXPECT_EQ(Progress().back(), 50);
}

class LabelSerialTest : public SerialSelectionTest {
protected:
    LabelSerialTest() { ListOffering(40, "My 47T"); }
};

TEST_F(LabelSerialTest, LabelModelsAskWithTheirOwnRequestAndEndThroughTheSearch) {
    machine.serial.replies[2] = {0x00};
    window.serialPromptAnswers = {kYes9600};
    StartDialog();
    window.SetControlText(IDC_PRINTER_NAME, "Typed name");  // not the label printer's name
    Install(ports::kSerial);
    // The search, not the printer stage, gives the button back.
    EXPECT_FALSE(ButtonEnabled());
    RunSearch();
    ASSERT_EQ(machine.serial.writes.size(), 2u);
    for (const auto& write : machine.serial.writes) EXPECT_EQ(write.bytes, kLabelRequest);
    EXPECT_EQ(PrinterPort("My 47T"), "COM2:");
    EXPECT_EQ(ButtonText(), "&Finish");
    EXPECT_TRUE(ButtonEnabled());
}

TEST_F(LabelSerialTest, TheNameIsFixedWhenTheSearchBegins) {
    machine.serial.replies[2] = {0x00};
    window.serialPromptAnswers = {kYes9600};
    StartAndInstall(ports::kSerial);
    dialog->OnTimer(PROBE_TIMER_ID);
    window.Control(IDC_DRIVER_COMBO).curSel = -1;  // the selection changes meanwhile
    RunSearch();
    EXPECT_EQ(PrinterPort("My 47T"), "COM2:");
}

}  // namespace
