// The parallel port of a new printer: the lone port without asking, the
// operator's row in the dialog, and every way of not choosing one.
#include <gtest/gtest.h>

#include "port_dialog_fixture.h"

namespace {

using platform::lv::kSelected;
using testing_support::ShownMessageBoxText;

class ParallelPortTest : public testing_support::PortDialogTest {
protected:
    ParallelPortTest() { Ports({"COM1:", "LPT1:", "LPT2:", "LPT3:", "FILE:"}); }
};

TEST_F(ParallelPortTest, TheDialogListsTheLptPortsWithRowZeroSelectedAndTheSecondRowGivesLpt2) {
    std::vector<std::string> names;
    sim::SimControl list;
    Operator([&](sim::ModalSession& s) {
        names = s.Names(IDC_PORT_LIST);
        list = s.window.Control(IDC_PORT_LIST);
        // A port that appears meanwhile is in the installer's lists afterwards.
        machine.spooler.AddPort("LPT4:");
        s.Select(IDC_PORT_LIST, 1);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kParallel);

    ASSERT_EQ(window.modals.size(), 1u);
    EXPECT_EQ(Shown().templateId, IDD_PARALLEL_PORT);
    EXPECT_EQ(Shown().owner, window.handle);
    EXPECT_EQ(names, (std::vector<std::string>{"LPT1:", "LPT2:", "LPT3:"}));
    EXPECT_EQ(list.rows[0], (std::vector<std::string>{"LPT1:", "Local Port"}));
    EXPECT_EQ(list.columns, (std::vector<std::string>{"Port", "Description"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{125, 300}));
    EXPECT_EQ(list.extendedStyle, 0x21u);
    // Selected, not focused.
    EXPECT_EQ(list.rowStates, (std::vector<std::uint32_t>{kSelected, 0, 0}));

    EXPECT_EQ(Shown().window->endResult, kBase + 1);
    EXPECT_EQ(dialog->printerPort, "LPT2:");
    EXPECT_EQ(PrinterPort(), "LPT2:");
    EXPECT_EQ(Status(), "The installation is completed.");
    EXPECT_EQ(dialog->parallelPorts,
              (std::vector<std::string>{"LPT1:", "LPT2:", "LPT3:", "LPT4:"}));
    EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(ParallelPortTest, EnterTakesTheSelectedRowUpToTheLast) {
    Choose(2, platform::mb::kIdOk);
    StartAndInstall(ports::kParallel);
    EXPECT_EQ(Shown().window->endResult, kBase + 2);
    EXPECT_EQ(PrinterPort(), "LPT3:");
}

TEST_F(ParallelPortTest, CancelEscapeAndTheCloseBoxCreateNothing) {
    Press(IDC_PORT_CANCEL);
    Press(platform::mb::kIdCancel);
    Operator([](sim::ModalSession& s) { s.Close(); });
    StartDialog();
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        Install(ports::kParallel);
        ASSERT_EQ(window.modals.size(), static_cast<std::size_t>(attempt + 1));
        EXPECT_FALSE(Shown(attempt).leftOpen);
        EXPECT_EQ(Shown(attempt).window->endResult, kCancelled);
        ExpectAbandoned();
    }
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "AddPrinterA"), 0);
}

TEST_F(ParallelPortTest, OkWithoutARowAsksForOneAndKeepsTheDialogOpen) {
    bool openAfterOk = false;
    Operator([&](sim::ModalSession& s) {
        s.SelectNone(IDC_PORT_LIST);
        s.Press(IDC_PORT_OK);
        openAfterOk = s.Open();
        s.Select(IDC_PORT_LIST, 2);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kParallel);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(
        Boxes(*Shown().window),
        (std::vector<ShownMessageBoxText>{{"Please select a port from the list.", "Prompt", 0}}));
    EXPECT_EQ(PrinterPort(), "LPT3:");
}

TEST_F(ParallelPortTest, ALoneParallelPortIsTakenWithoutADialog) {
    Ports({"COM1:", "LPT1:", "FILE:"});
    StartAndInstall(ports::kParallel);
    EXPECT_TRUE(window.modals.empty());
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(PrinterPort(), "LPT1:");
}

TEST_F(ParallelPortTest, NoParallelPortSaysSoAndAbandons) {
    Ports({"COM1:", "FILE:"});
    StartAndInstall(ports::kParallel);
    EXPECT_TRUE(window.modals.empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text,
              "There is no available parallel port.\r\n\r\nPlease select other port type.");
    EXPECT_TRUE(window.messageBoxes[0].application);
    EXPECT_EQ(window.messageBoxes[0].style, platform::mb::kOk);
    ExpectAbandoned();
}

// The dialog lists every LPT port the spooler has; parallelPorts leaves out
// one with the TCP/IP description and any beyond the first 256 ports. The
// port the operator picked is the one the printer goes on.
TEST_F(ParallelPortTest, AnLptPortWithTheTcpIpDescriptionShiftsNoChoice) {
    machine.spooler.ClearPorts();
    machine.spooler.AddPort("LPT1:", ports::kTcpIpDescription, ports::kTcpIpMonitor);
    machine.spooler.AddPort("LPT2:");
    machine.spooler.AddPort("LPT3:");
    Choose(1, IDC_PORT_OK);
    StartAndInstall(ports::kParallel);
    EXPECT_EQ(dialog->parallelPorts, (std::vector<std::string>{"LPT2:", "LPT3:"}));
    EXPECT_EQ(PrinterPort(), "LPT2:");  // row 1 of parallelPorts would be LPT3:
}

TEST_F(ParallelPortTest, APortBeyondTheFirst256IsChosenByName) {
    machine.spooler.ClearPorts();
    machine.spooler.AddPort("LPT1:");
    machine.spooler.AddPort("LPT2:");
    FillerPorts(254);
    machine.spooler.AddPort("LPT9:");  // the 257th port
    std::vector<std::string> names;
    Operator([&](sim::ModalSession& s) {
        names = s.Names(IDC_PORT_LIST);
        s.Select(IDC_PORT_LIST, 2);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kParallel);
    EXPECT_EQ(names, (std::vector<std::string>{"LPT1:", "LPT2:", "LPT9:"}));
    EXPECT_EQ(dialog->parallelPorts, (std::vector<std::string>{"LPT1:", "LPT2:"}));
    EXPECT_EQ(PrinterPort(), "LPT9:");
}

TEST_F(ParallelPortTest, AFailingEnumerationLeavesAnEmptyListThatOnlyCancelEnds) {
    bool openAfterOk = false;
    int rows = -1;
    Operator([&](sim::ModalSession& s) {
        rows = s.window.ListViewGetItemCount(IDC_PORT_LIST);
        s.Press(IDC_PORT_OK);
        openAfterOk = s.Open();
        s.Press(IDC_PORT_CANCEL);
    });
    StartDialog();
    machine.spooler.failures.FailAlways("EnumPortsA", 1722);
    Install(ports::kParallel);
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(Shown().window->endResult, kCancelled);
    ExpectAbandoned();
}

TEST_F(ParallelPortTest, ADialogThatCannotBeShownChoosesNothing) {
    window.missingTemplates.insert(IDD_PARALLEL_PORT);
    StartAndInstall(ports::kParallel);
    EXPECT_TRUE(window.modals.empty());
    ExpectAbandoned();
}

TEST_F(ParallelPortTest, NoPortChosenIsRecordedAsAbandoned) {
    window.missingTemplates.insert(IDD_PARALLEL_PORT);
    StartAndInstall(ports::kParallel);
    EXPECT_EQ(dialog->outcome, app::InstallerDialog::Outcome::Abandoned);
    EXPECT_EQ(dialog->outcomeReason, "no parallel port was chosen");
}

TEST_F(ParallelPortTest, OnlyARowCodeMakesUseOfTheChosenName) {
    StartDialog();
    dialog->chosenPort = "LPT7:";
    for (int result : {kCancelled, 0, 1, 2, -1, kBase - 1, app::InstallerDialog::kPortCreated}) {
        SCOPED_TRACE(result);
        dialog->printerPort = "unchanged";
        EXPECT_FALSE(dialog->ApplyPortChoice(result, dialog->parallelPorts, false));
        EXPECT_EQ(dialog->printerPort, "unchanged");
    }
    EXPECT_TRUE(dialog->ApplyPortChoice(kBase + 5, dialog->parallelPorts, false));
    EXPECT_EQ(dialog->printerPort, "LPT7:");
}

}  // namespace
