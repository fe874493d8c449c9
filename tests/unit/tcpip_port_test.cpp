// The TCP/IP port of a new printer: the port monitor's wizard when there is
// no TCP/IP port, otherwise the dialog in which the operator picks, adds,
// configures and deletes ports.
#include <gtest/gtest.h>

#include "port_dialog_fixture.h"

namespace {

using platform::BoolResult;
using testing_support::ShownMessageBoxText;
namespace error = platform::error;

const std::string kChinese = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";
const char* const kMonitor = "Standard TCP/IP Port";

BoolResult Failed(std::uint32_t code) {
    return BoolResult{0, code};
}
BoolResult Succeeded() {
    return BoolResult{1, 0};
}

class TcpIpPortTest : public testing_support::PortDialogTest {
protected:
    TcpIpPortTest() {
        Ports({"COM1:", "LPT1:"});
        TcpIpPort("IP_10.0.0.1");
        machine.spooler.AddPort("IP_10.0.0.2", kChinese, kMonitor);
        machine.spooler.AddPort("IP_OTHER", "Local Port");
    }
    void TcpIpPort(const std::string& name) { machine.spooler.AddPort(name, kMonitor, kMonitor); }
    int EnumCalls() { return sim::CountCalls(machine.spooler.calls, "EnumPortsA"); }
    // at(): with no request, the test fails instead of the whole run crashing.
    const sim::PortRequest& LastRequest() {
        return machine.spooler.portRequests.at(machine.spooler.portRequests.size() - 1);
    }
};

// --- No TCP/IP port: the wizard ---------------------------------------------

TEST_F(TcpIpPortTest, WithoutATcpIpPortTheWizardOwnedByTheMainDialogMakesOne) {
    Ports({"COM1:", "LPT1:"});
    machine.spooler.onAddPort = [this](platform::WindowHandle, const std::string&) {
        TcpIpPort("IP_NEW_1");
        TcpIpPort("IP_NEW_2");
        return Succeeded();
    };
    StartAndInstall(ports::kTcpIp);
    EXPECT_TRUE(window.modals.empty());
    ASSERT_EQ(machine.spooler.portRequests.size(), 1u);
    EXPECT_EQ(LastRequest().call, "AddPortA");
    EXPECT_EQ(LastRequest().owner, window.handle);
    EXPECT_EQ(LastRequest().name, kMonitor);
    // Created: the first port of the refreshed list.
    EXPECT_EQ(dialog->tcpipPorts, (std::vector<std::string>{"IP_NEW_1", "IP_NEW_2"}));
    EXPECT_EQ(PrinterPort(), "IP_NEW_1");
    EXPECT_EQ(Status(), "The installation is completed.");
}

TEST_F(TcpIpPortTest, ACancelledWizardCreatesNothingAndSaysNothing) {
    Ports({"COM1:", "LPT1:"});
    machine.spooler.onAddPort = [](platform::WindowHandle, const std::string&) {
        return Failed(error::kCancelled);
    };
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(machine.spooler.portRequests.size(), 1u);
    EXPECT_TRUE(window.messageBoxes.empty());
    ExpectAbandoned();
}

TEST_F(TcpIpPortTest, AWizardPortTheSpoolerDoesNotListAsTcpIpAbandonsWithAMessage) {
    Ports({"COM1:", "LPT1:"});
    machine.spooler.onAddPort = [this](platform::WindowHandle, const std::string&) {
        machine.spooler.AddPort("IP_ODD", "Standard TCP/IP Port (HP)", kMonitor);
        return Succeeded();
    };
    StartAndInstall(ports::kTcpIp);
    EXPECT_TRUE(dialog->tcpipPorts.empty());
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_FALSE(window.messageBoxes[0].application);
    EXPECT_EQ(window.messageBoxes[0].caption, "Prompt");
    EXPECT_NE(window.messageBoxes[0].text.find("Standard TCP/IP port"), std::string::npos);
    ExpectAbandoned();
}

TEST_F(TcpIpPortTest, AnAddPortAnswerOtherThanOneIsNoPortAdded) {
    // A non-zero BOOL that is not TRUE: the spooler's results count only as 1.
    Ports({"COM1:", "LPT1:"});
    machine.spooler.onAddPort = [this](platform::WindowHandle, const std::string&) {
        TcpIpPort("IP_NEW_1");
        return BoolResult{2, 0};
    };
    StartAndInstall(ports::kTcpIp);
    ExpectAbandoned();

    std::vector<int> selected;
    Operator([&](sim::ModalSession& s) {
        s.Press(IDC_ADD_PORT);
        selected = s.window.SelectedRows(IDC_PORT_LIST);
        s.Press(IDC_PORT_CANCEL);
    });
    machine.spooler.onAddPort = [this](platform::WindowHandle, const std::string&) {
        TcpIpPort("IP_NEW_2");
        return BoolResult{2, 0};
    };
    Install(ports::kTcpIp);
    EXPECT_EQ(selected, (std::vector<int>{0}));  // not the new last row
}

// --- The dialog ------------------------------------------------------------

TEST_F(TcpIpPortTest, TheDialogListsTheTcpIpPortsAndOkAtOnceTakesTheFirst) {
    sim::SimControl list;
    Operator([&](sim::ModalSession& s) {
        list = s.window.Control(IDC_PORT_LIST);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kTcpIp);
    ASSERT_EQ(window.modals.size(), 1u);
    EXPECT_EQ(Shown().templateId, IDD_TCPIP_PORT);
    EXPECT_EQ(Shown().owner, window.handle);
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[0], (std::vector<std::string>{"IP_10.0.0.1", kMonitor}));
    EXPECT_EQ(list.rows[1], (std::vector<std::string>{"IP_10.0.0.2", kChinese}));
    EXPECT_EQ(list.columns, (std::vector<std::string>{"Port", "Description"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{125, 300}));
    EXPECT_EQ(list.rowStates, (std::vector<std::uint32_t>{platform::lv::kSelected, 0}));
    EXPECT_EQ(Shown().window->endResult, kBase);
    EXPECT_EQ(PrinterPort(), "IP_10.0.0.1");
    EXPECT_TRUE(machine.spooler.portRequests.empty());
}

TEST_F(TcpIpPortTest, TheLastRowWithEnterTakesThePortOfTheChineseDescription) {
    Choose(1, platform::mb::kIdOk);
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(Shown().window->endResult, kBase + 1);
    EXPECT_EQ(PrinterPort(), "IP_10.0.0.2");
}

TEST_F(TcpIpPortTest, CancelEscapeAndTheCloseBoxCreateNothing) {
    Press(IDC_PORT_CANCEL);
    Press(platform::mb::kIdCancel);
    Operator([](sim::ModalSession& s) { s.Close(); });
    StartDialog();
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        Install(ports::kTcpIp);
        ASSERT_EQ(window.modals.size(), static_cast<std::size_t>(attempt + 1));
        EXPECT_FALSE(Shown(attempt).leftOpen);
        EXPECT_EQ(Shown(attempt).window->endResult, kCancelled);
        ExpectAbandoned();
    }
    EXPECT_TRUE(machine.spooler.portRequests.empty());
}

TEST_F(TcpIpPortTest, OkWithoutARowAsksForOne) {
    bool openAfterOk = false;
    Operator([&](sim::ModalSession& s) {
        s.SelectNone(IDC_PORT_LIST);
        s.Press(IDC_PORT_OK);
        openAfterOk = s.Open();
        s.Select(IDC_PORT_LIST, 1);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kTcpIp);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(
        Boxes(*Shown().window),
        (std::vector<ShownMessageBoxText>{{"Please select a port from the list.", "Prompt", 0}}));
    EXPECT_EQ(PrinterPort(), "IP_10.0.0.2");
}

TEST_F(TcpIpPortTest, AnAddedPortIsListedLastSelectedAndUsable) {
    machine.spooler.ScriptAddTcpIpPort("IP_10.0.0.9");
    std::vector<std::string> names;
    std::vector<int> selected;
    std::uint32_t style = 0;
    Operator([&](sim::ModalSession& s) {
        // Hover selection off, grid lines and full-row selection on, the rest kept.
        s.window.ListViewSetExtendedStyle(IDC_PORT_LIST, 0x108);
        s.Press(IDC_ADD_PORT);
        names = s.Names(IDC_PORT_LIST);
        selected = s.window.SelectedRows(IDC_PORT_LIST);
        style = s.window.ListViewGetExtendedStyle(IDC_PORT_LIST);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kTcpIp);
    ASSERT_EQ(machine.spooler.portRequests.size(), 1u);
    EXPECT_EQ(LastRequest().call, "AddPortA");
    EXPECT_EQ(LastRequest().owner, Shown().window->handle);  // the dialog, not the main window
    EXPECT_NE(LastRequest().owner, window.handle);
    EXPECT_EQ(LastRequest().name, kMonitor);
    EXPECT_EQ(names, (std::vector<std::string>{"IP_10.0.0.1", "IP_10.0.0.2", "IP_10.0.0.9"}));
    EXPECT_EQ(selected, (std::vector<int>{2}));
    EXPECT_EQ(style, 0x121u);
    EXPECT_EQ(Shown().window->endResult, kBase + 2);
    EXPECT_EQ(PrinterPort(), "IP_10.0.0.9");
    EXPECT_EQ(dialog->tcpipPorts, names);  // refreshed after the dialog
}

TEST_F(TcpIpPortTest, AFailedAddRebuildsTheListWithRowZeroSelectedAndSaysNothing) {
    std::vector<std::string> names;
    std::vector<int> selected;
    Operator([&](sim::ModalSession& s) {
        s.Select(IDC_PORT_LIST, 1);
        machine.spooler.AddPort("IP_BEHIND", kMonitor, kMonitor);  // someone else's
        s.Press(IDC_ADD_PORT);                                     // no wizard: 50
        names = s.Names(IDC_PORT_LIST);
        selected = s.window.SelectedRows(IDC_PORT_LIST);
        s.Press(IDC_PORT_CANCEL);
    });
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(names, (std::vector<std::string>{"IP_10.0.0.1", "IP_10.0.0.2", "IP_BEHIND"}));
    EXPECT_EQ(selected, (std::vector<int>{0}));
    EXPECT_TRUE(Shown().window->messageBoxes.empty());
}

TEST_F(TcpIpPortTest, DeletingTheSelectedPortRebuildsTheList) {
    machine.spooler.ScriptDeletePortRemoves();
    std::vector<std::string> names;
    std::vector<int> selected;
    Operator([&](sim::ModalSession& s) {
        s.Select(IDC_PORT_LIST, 1);
        s.Press(IDC_DELETE_PORT);
        names = s.Names(IDC_PORT_LIST);
        selected = s.window.SelectedRows(IDC_PORT_LIST);
        s.Press(IDC_PORT_CANCEL);
    });
    StartAndInstall(ports::kTcpIp);
    ASSERT_EQ(machine.spooler.portRequests.size(), 1u);
    EXPECT_EQ(LastRequest().call, "DeletePortA");
    EXPECT_EQ(LastRequest().owner, Shown().window->handle);
    EXPECT_EQ(LastRequest().name, "IP_10.0.0.2");
    EXPECT_EQ(names, (std::vector<std::string>{"IP_10.0.0.1"}));
    EXPECT_EQ(selected, (std::vector<int>{0}));
    EXPECT_TRUE(Shown().window->messageBoxes.empty());
    EXPECT_EQ(dialog->tcpipPorts, names);
}

TEST_F(TcpIpPortTest, AFailedDeleteSpeaksOnlyForNotSupportedAndRebuildsEitherWay) {
    int enumsBefore = 0;
    int enumsAfter = 0;
    std::vector<int> selected;
    std::vector<int> selectedWithoutRow;
    Operator([&](sim::ModalSession& s) {
        s.Select(IDC_PORT_LIST, 1);
        s.Press(IDC_DELETE_PORT);  // no monitor support: 50
        machine.spooler.onDeletePort = [](platform::WindowHandle, const std::string&) {
            return Failed(error::kAccessDenied);
        };
        s.Select(IDC_PORT_LIST, 1);
        enumsBefore = EnumCalls();
        s.Press(IDC_DELETE_PORT);
        enumsAfter = EnumCalls();
        selected = s.window.SelectedRows(IDC_PORT_LIST);
        // No row: nothing to delete, and the list is rebuilt all the same.
        s.SelectNone(IDC_PORT_LIST);
        s.Press(IDC_DELETE_PORT);
        selectedWithoutRow = s.window.SelectedRows(IDC_PORT_LIST);
        s.Press(IDC_PORT_CANCEL);
    });
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(Boxes(*Shown().window),
              (std::vector<ShownMessageBoxText>{
                  {"Failed to delete port.The request is not supported.", "Delete Port", 0}}));
    EXPECT_GT(enumsAfter, enumsBefore);
    EXPECT_EQ(selected, (std::vector<int>{0}));
    EXPECT_EQ(selectedWithoutRow, (std::vector<int>{0}));
    EXPECT_EQ(machine.spooler.portRequests.size(), 2u);
    EXPECT_EQ(machine.spooler.Ports().size(), 5u);
}

TEST_F(TcpIpPortTest, WithTheLastPortDeletedOkPromptsAndAddPortFillsTheListAgain) {
    machine.spooler.RemovePort("IP_10.0.0.2");
    machine.spooler.ScriptDeletePortRemoves();
    machine.spooler.ScriptAddTcpIpPort("IP_10.0.0.7");
    int rowsAfterDelete = -1;
    bool openAfterOk = false;
    Operator([&](sim::ModalSession& s) {
        s.Press(IDC_DELETE_PORT);
        rowsAfterDelete = s.window.ListViewGetItemCount(IDC_PORT_LIST);
        s.Press(IDC_PORT_OK);
        openAfterOk = s.Open();
        s.Press(IDC_ADD_PORT);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(rowsAfterDelete, 0);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(Boxes(*Shown().window),
              (std::vector<ShownMessageBoxText>{
                  {"There is no available TCP/IP port\r\nClick \"Add port\" to create a new port",
                   "Prompt", 0}}));
    EXPECT_EQ(PrinterPort(), "IP_10.0.0.7");
}

TEST_F(TcpIpPortTest, ConfigurePortSpeaksFor50And57AndLeavesTheListAlone) {
    std::vector<std::uint32_t> answers = {error::kNotSupported, error::kAdapterHardwareError,
                                          error::kAccessDenied, 0};
    machine.spooler.onConfigurePort = [&answers](platform::WindowHandle, const std::string&) {
        const std::uint32_t code = answers.front();
        answers.erase(answers.begin());
        return code == 0 ? Succeeded() : Failed(code);
    };
    int enumsBefore = 0;
    int enumsAfter = 0;
    Operator([&](sim::ModalSession& s) {
        s.Select(IDC_PORT_LIST, 1);
        enumsBefore = EnumCalls();
        for (int k = 0; k < 4; ++k) s.Press(IDC_CONFIGURE_PORT);
        enumsAfter = EnumCalls();
        s.SelectNone(IDC_PORT_LIST);
        s.Press(IDC_CONFIGURE_PORT);  // nothing selected: nothing to configure
        s.Press(IDC_PORT_CANCEL);
    });
    StartAndInstall(ports::kTcpIp);
    ASSERT_EQ(machine.spooler.portRequests.size(), 4u);
    for (const sim::PortRequest& request : machine.spooler.portRequests) {
        EXPECT_EQ(request.call, "ConfigurePortA");
        EXPECT_EQ(request.owner, Shown().window->handle);
        EXPECT_EQ(request.name, "IP_10.0.0.2");
    }
    EXPECT_EQ(Boxes(*Shown().window),
              (std::vector<ShownMessageBoxText>{
                  {"Failed to configure printer port.\r\nThe request is not supported.",
                   "Configure Port", 0},
                  {"Failed to configure printer port.\r\nA hardware error occurred. ",
                   "Configure Por", 0}}));
    EXPECT_EQ(enumsAfter, enumsBefore);
}

// The dialog lists USB-named ports with the TCP/IP description, and ports
// beyond the first 256; tcpipPorts has neither. The port the operator
// picked is the one the printer goes on.
TEST_F(TcpIpPortTest, AUsbNamedTcpIpPortShiftsNoChoice) {
    machine.spooler.ClearPorts();
    TcpIpPort("IP_1");
    TcpIpPort("USB005");
    TcpIpPort("IP_2");
    std::vector<std::string> names;
    Operator([&](sim::ModalSession& s) {
        names = s.Names(IDC_PORT_LIST);
        s.Select(IDC_PORT_LIST, 2);
        s.Press(IDC_PORT_OK);
    });
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(names, (std::vector<std::string>{"IP_1", "USB005", "IP_2"}));
    EXPECT_EQ(dialog->tcpipPorts, (std::vector<std::string>{"IP_1", "IP_2"}));
    EXPECT_EQ(PrinterPort(), "IP_2");
}

TEST_F(TcpIpPortTest, AUsbNamedTcpIpPortCanBeTheChoice) {
    machine.spooler.ClearPorts();
    TcpIpPort("IP_1");
    TcpIpPort("USB005");
    Choose(1, IDC_PORT_OK);
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(PrinterPort(), "USB005");
}

TEST_F(TcpIpPortTest, APortBeyondTheFirst256IsChosenByName) {
    machine.spooler.ClearPorts();
    TcpIpPort("IP_1");
    FillerPorts(255);
    TcpIpPort("IP_LATE");  // the 257th port
    Choose(1, IDC_PORT_OK);
    StartAndInstall(ports::kTcpIp);
    EXPECT_EQ(dialog->tcpipPorts, (std::vector<std::string>{"IP_1"}));
    EXPECT_EQ(PrinterPort(), "IP_LATE");
}

TEST_F(TcpIpPortTest, ADialogThatCannotBeShownChoosesNothing) {
    window.missingTemplates.insert(IDD_TCPIP_PORT);
    StartAndInstall(ports::kTcpIp);
    EXPECT_TRUE(window.modals.empty());
    ExpectAbandoned();
}

}  // namespace
