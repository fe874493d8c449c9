// Unattended installations on parallel and TCP/IP ports.
#include <gtest/gtest.h>

#include "unattended_cases.h"

namespace {

using namespace testing_support::unattended;

// ----- parallel and TCP/IP printers -----

class UnattendedNetworkTest : public UnattendedUsbTest {
protected:
    UnattendedNetworkTest() {
        Ports({"LPT1:", "LPT2:", "LPT3:", "USB001"});
        machine.spooler.SeedMonitor("Standard TCP/IP Port", "tcpmon.dll");
    }
    // Ready for another run on the same machine.
    void Again() {
        run.reset();
        installer.reset();
        window.Control(IDC_INSTALL).text = "&Install";
    }
};

TEST_F(UnattendedNetworkTest, ALabelPrinterGoesOnTheNamedParallelPortWithoutAsking) {
    ListOffering(40, "47T(Label)");
    Run({"/quiet", "/model", "47T(Label)", "/port", "parallel", "/portname", "lpt2"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("47T(Label)"), "LPT2:");
    EXPECT_NE(machine.spooler.Monitor("Advanced Language Monitor"), nullptr);
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_TRUE(Logged("the printer \"47T(Label)\" is on port LPT2:"));
}

TEST_F(UnattendedNetworkTest, WithoutPortNameAParallelPrinterTakesTheFirstParallelPort) {
    Run({"/quiet", "/model", "KV6X", "/port", "parallel"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("KV6X"), "LPT1:");
}

TEST_F(UnattendedNetworkTest, HostMakesAStandardTcpIpPortThroughTheMonitorAndPrintsToIt) {
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5:9101"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    const auto port = machine.spooler.TcpIpPort("IP_10.0.0.5");
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(port->host, "10.0.0.5");
    EXPECT_EQ(port->number, 9101u);
    EXPECT_EQ(PrinterPort("KV6X"), "IP_10.0.0.5");
    // The monitor's handle was asked with the access a port change needs.
    EXPECT_TRUE(Contains(machine.spooler.calls,
                         "OpenPrinterA(,XcvMonitor Standard TCP/IP Port, (null), 0x1)"));
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "XcvPortData"), 1);
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
    EXPECT_TRUE(Logged("the Standard TCP/IP Port IP_10.0.0.5 is made; it prints to 10.0.0.5:9101"));
    EXPECT_TRUE(Logged("the printer \"KV6X\" is on port IP_10.0.0.5"));
}

TEST_F(UnattendedNetworkTest, AnExistingPortOfTheAddressIsSetToItAgain) {
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    ASSERT_EQ(ExitCode(), ec::kSuccess);
    Again();
    Run({"/quiet", "/model", "KV6X", "/name", "Second", "/port", "tcpip", "/host",
         "10.0.0.5:9200"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    ASSERT_TRUE(machine.spooler.TcpIpPort("IP_10.0.0.5"));
    EXPECT_EQ(machine.spooler.TcpIpPort("IP_10.0.0.5")->number, 9200u);
    EXPECT_EQ(PrinterPort("Second"), "IP_10.0.0.5");
    EXPECT_TRUE(
        Logged("the Standard TCP/IP Port IP_10.0.0.5 was there; it now prints to 10.0.0.5:9200"));
}

TEST_F(UnattendedNetworkTest, PortNameTakesAnExistingTcpIpPort) {
    machine.spooler.AddPort("IP_10.0.0.9", "Standard TCP/IP Port", "Standard TCP/IP Port");
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/portname", "ip_10.0.0.9"});
    EXPECT_EQ(ExitCode(), ec::kSuccess);
    EXPECT_EQ(PrinterPort("KV6X"), "IP_10.0.0.9");
    EXPECT_EQ(sim::CountCalls(machine.spooler.calls, "XcvPortData"), 0);
}

TEST_F(UnattendedNetworkTest, PortNameOfAnAbsentTcpIpPortChangesNothing) {
    machine.spooler.AddPort("IP_10.0.0.9", "Standard TCP/IP Port", "Standard TCP/IP Port");
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/portname", "IP_10.0.0.8"});
    EXPECT_EQ(ExitCode(), ec::kInvalidCommandLine);
    EXPECT_TRUE(Logged(
        "error: there is no TCP/IP port \"IP_10.0.0.8\" on this machine (it has IP_10.0.0.9)"));
    EXPECT_TRUE(machine.spooler.PrinterNames().empty());
}

TEST_F(UnattendedNetworkTest, AMonitorThatRefusesThePortFailsBeforeAnythingIsInstalled) {
    machine.spooler.failures.FailNext("XcvPortData", platform::error::kAccessDenied);
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("error: the Standard TCP/IP Port IP_10.0.0.5 for 10.0.0.5:9100 could not be made "
               "(error 5)"));
    EXPECT_EQ(machine.spooler.DriverCount(), 0);
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);
}

TEST_F(UnattendedNetworkTest, ALocalPortOfTheNameIsNotTakenOver) {
    machine.spooler.AddPort("IP_10.0.0.5");
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("error: the Standard TCP/IP Port IP_10.0.0.5 for 10.0.0.5:9100 could not be set "
               "(error 1796)"));
    EXPECT_EQ(machine.spooler.DriverCount(), 0);
}

TEST_F(UnattendedNetworkTest, WithoutTheMonitorThereIsNoTcpIpPort) {
    machine.spooler.failures.FailNext("OpenPrinterA", platform::error::kInvalidPrinterName);
    Run({"/quiet", "/model", "KV6X", "/port", "tcpip", "/host", "10.0.0.5"});
    EXPECT_EQ(ExitCode(), ec::kFailure);
    EXPECT_TRUE(
        Logged("error: the Standard TCP/IP Port monitor could not be reached (error 1801)"));
}

}  // namespace
