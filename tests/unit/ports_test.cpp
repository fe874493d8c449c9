#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "base/port_types.h"

namespace {

using Names = std::vector<std::string>;
const std::string kChineseTcpIp = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";

class PortsTest : public testing_support::DialogTest {
protected:
    PortsTest() {
        machine.spooler.ClearPorts();
        dialog->FillPortTypeList();
    }
    std::vector<int> Selected() { return window.SelectedRows(IDC_PORT_TYPE_LIST); }
    void AddPort(const std::string& name, const std::string& description = "Local Port") {
        machine.spooler.AddPort(name, description, "Local Port");
    }
    void AddSerialDeviceValue(const std::string& name, const std::string& port) {
        machine.registry.SetString(platform::RegistryRoot::LocalMachine,
                                   "HARDWARE\\DEVICEMAP\\SERIALCOMM", name, port);
    }
};

TEST_F(PortsTest, PortTypeListHasTwoColumnsFourRowsAndSerialSelected) {
    auto& list = window.Control(IDC_PORT_TYPE_LIST);
    EXPECT_EQ(list.columns, (Names{"Port", "Description"}));
    EXPECT_EQ(list.columnWidths, (std::vector<int>{110, 525}));
    ASSERT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(
        list.rows[3],
        (Names{"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"}));
    EXPECT_EQ(Selected(), (std::vector<int>{0}));
    EXPECT_EQ(list.rowStates[0] & platform::lv::kFocused, 0u);
    EXPECT_EQ(list.extendedStyle, platform::lv::kExGridLines | platform::lv::kExFullRowSelect);

    // Built again from scratch: no doubled columns or rows, other style bits kept.
    list.extendedStyle = platform::lv::kExTrackSelect | 0x4000;
    dialog->FillPortTypeList();
    EXPECT_EQ(list.columns.size(), 2u);
    EXPECT_EQ(list.rows.size(), 4u);
    EXPECT_EQ(list.extendedStyle,
              0x4000u | platform::lv::kExGridLines | platform::lv::kExFullRowSelect);
}

TEST_F(PortsTest, PortsAreClassifiedByNameThenDescription) {
    AddPort("USB001", "Standard TCP/IP Port");
    AddPort("usb002");
    AddPort("LPT1:");
    AddPort("LPT2:", "Standard TCP/IP Port");
    AddPort("IP_10.0.0.9", "Standard TCP/IP Port");
    AddPort("IP_10.0.0.8", kChineseTcpIp);
    AddPort("COM1:");
    AddPort("FILE:");
    dialog->EnumeratePorts();
    EXPECT_EQ(dialog->usbPorts, (Names{"USB001"}));
    EXPECT_EQ(dialog->tcpipPorts, (Names{"LPT2:", "IP_10.0.0.9", "IP_10.0.0.8"}));
    EXPECT_EQ(dialog->parallelPorts, (Names{"LPT1:"}));
    EXPECT_TRUE(dialog->serialPorts.empty());  // the spooler's COM ports are not listed
    EXPECT_EQ(dialog->allPorts.size(), 8u);
    EXPECT_EQ(Selected(), (std::vector<int>{ports::kUsb}));
}

TEST_F(PortsTest, PreselectionFollowsTheFirstKindOfPortPresent) {
    struct Case {
        Names ports;
        int row;
    };
    const Case cases[] = {
        {{}, ports::kUsb},
        {{"FILE:"}, ports::kTcpIp},
        {{"FILE:", "LPT1:"}, ports::kParallel},
        {{"LPT1:", "COM2:"}, ports::kSerial},
        {{"COM1:", "USB003"}, ports::kUsb},
        {{"usb001", "file:"}, ports::kUsb},
    };
    for (const auto& c : cases) {
        machine.spooler.ClearPorts();
        for (const auto& name : c.ports) AddPort(name);
        dialog->EnumeratePorts();
        EXPECT_EQ(Selected(), (std::vector<int>{c.row})) << c.ports.size() << " ports";
    }
}

TEST_F(PortsTest, OnlyTheFirst256PortsAreExamined) {
    for (int i = 0; i < 256; ++i) AddPort("NUL" + std::to_string(i));
    for (int i = 0; i < 44; ++i) AddPort("USB" + std::to_string(100 + i));
    dialog->EnumeratePorts();
    EXPECT_EQ(dialog->allPorts.size(), 256u);
    EXPECT_TRUE(dialog->usbPorts.empty());
    EXPECT_EQ(Selected(), (std::vector<int>{ports::kUsb}));  // the fallback, not a count
}

TEST_F(PortsTest, EveryEnumerationStartsFromEmptyListsAndRefreshes) {
    AddPort("LPT1:");
    dialog->EnumeratePorts();
    dialog->EnumeratePorts();
    EXPECT_EQ(dialog->parallelPorts, (Names{"LPT1:"}));
    EXPECT_EQ(dialog->allPorts, (Names{"LPT1:"}));
    EXPECT_GE(window.updateDataCount, 2);
}

TEST_F(PortsTest, EnumerationUsesTheSizeQueryAndSurvivesAPortAddedMeanwhile) {
    AddPort("LPT1:");
    // The fill call fails once as if a port had appeared after the size query.
    machine.spooler.failures.FailAfter("EnumPortsA", 1, platform::error::kInsufficientBuffer);
    dialog->EnumeratePorts();
    EXPECT_EQ(dialog->parallelPorts, (Names{"LPT1:"}));
    EXPECT_GE(sim::CountCalls(machine.spooler.calls, "EnumPortsA"), 3);
}

TEST_F(PortsTest, SerialPortsComeFromTheDeviceMap) {
    AddSerialDeviceValue("\\Device\\Serial0", "COM1");
    AddSerialDeviceValue("Serial1", "COM7");
    AddSerialDeviceValue("\\device\\Serial2", "COM8");
    AddSerialDeviceValue("\\Device\\VSerial9", "COM9");
    AddSerialDeviceValue("\\Device\\" + std::string(140, 'X'), "COM5");
    dialog->EnumeratePorts();
    EXPECT_EQ(dialog->serialPorts, (Names{"COM1:", "COM9:"}));
    EXPECT_EQ(machine.registry.OpenHandleCount(), 0);
}

TEST_F(PortsTest, OverlongDeviceMapValuesAreSkippedAndTheWalkGoesOn) {
    AddSerialDeviceValue("\\Device\\" + std::string(140, 'X'), "COM5");  // name over 128
    AddSerialDeviceValue("\\Device\\Serial1", std::string(128, 'C'));    // data over 128
    AddSerialDeviceValue("\\Device\\Serial0", "COM2");
    dialog->EnumeratePorts();
    EXPECT_EQ(dialog->serialPorts, (Names{"COM2:"}));
}

TEST_F(PortsTest, MissingDeviceMapMeansNoSerialPorts) {
    Names list{"stale"};
    EXPECT_FALSE(dialog->ReadSerialPorts(list));
    EXPECT_TRUE(list.empty());
    AddSerialDeviceValue("\\Device\\Serial0", "COM3");
    EXPECT_TRUE(dialog->ReadSerialPorts(list));
    EXPECT_EQ(list, (Names{"COM3:"}));
}

}  // namespace
