// The simulated spooler: the two-call enumerations, the records it checks
// and keeps, its registry bookkeeping and the on-line answer after a
// restart of the Spooler service.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_machine.h"

namespace {

using platform::BoolResult;
using platform::RegistryRoot;
namespace error = platform::error;

constexpr const char* kX86 = "Windows NT x86";
constexpr const char* kDriverDir = "C:\\windows\\system32\\spool\\drivers\\w32x86";

class SimSpoolerTest : public ::testing::Test {
protected:
    platform::DriverInfo3 Driver(const std::string& name) {
        platform::DriverInfo3 info;
        info.version = 3;
        info.name = name;
        info.environment = kX86;
        info.driverPath = std::string(kDriverDir) + "\\UNIDRV.DLL";
        info.dataFile = std::string(kDriverDir) + "\\QZ4720.GPD";
        info.configFile = std::string(kDriverDir) + "\\UNIDRVUI.DLL";
        return info;
    }
    void WriteDriverFiles() {
        for (const char* file : {"UNIDRV.DLL", "QZ4720.GPD", "UNIDRVUI.DLL"}) {
            machine.files.WriteFile(std::string(kDriverDir) + "\\" + file, file);
        }
    }
    platform::PrinterInfo2 Printer(const std::string& name, const std::string& port) {
        platform::PrinterInfo2 info;
        info.printerName = name;
        info.portName = port;
        info.driverName = "4720 Series";
        info.printProcessor = "WinPrint";
        info.datatype = "RAW";
        return info;
    }
    platform::PrinterHandle AddPrinter(const std::string& name, const std::string& port) {
        std::uint32_t lastError = 0;
        platform::PrinterHandle handle =
            machine.spooler.AddPrinterA(2, Printer(name, port), lastError);
        EXPECT_NE(handle, 0u) << "error " << lastError;
        return handle;
    }
    // Stop and start the Spooler service the way the logic does, by polling.
    void RestartSpooler() {
        std::uint32_t error = 0;
        auto manager = machine.services.OpenSCManagerA("", platform::svc::kManagerAllAccess, error);
        auto service = machine.services.OpenServiceA(manager, "Spooler",
                                                     platform::svc::kServiceAllAccess, error);
        platform::ServiceStatus status;
        if (machine.services.State("Spooler") == platform::svc::kRunning) {
            EXPECT_EQ(
                machine.services.ControlService(service, platform::svc::kControlStop, status).value,
                1);
            while (machine.services.State("Spooler") != platform::svc::kStopped) {
                machine.threads.Sleep(50);
            }
        }
        EXPECT_EQ(machine.services.StartServiceA(service).value, 1);
        do {
            machine.threads.Sleep(50);
            EXPECT_EQ(machine.services.QueryServiceStatus(service, status).value, 1);
        } while (status.currentState != platform::svc::kRunning);
        machine.services.CloseServiceHandle(service).NonZero();
        machine.services.CloseServiceHandle(manager).NonZero();
    }

    sim::SimMachine machine;
};

TEST_F(SimSpoolerTest, EnumPortsKeepsTheTwoCallContract) {
    std::vector<platform::PortInfo2> ports;
    std::uint32_t needed = 0, returned = 99;
    BoolResult sizing = machine.spooler.EnumPortsA(2, 0, ports, needed, returned);
    EXPECT_EQ(sizing.value, 0);
    EXPECT_EQ(sizing.lastError, error::kInsufficientBuffer);
    EXPECT_EQ(returned, 0u);
    EXPECT_TRUE(ports.empty());
    EXPECT_EQ(needed, platform::EnumBytesNeeded(machine.spooler.Ports()));
    EXPECT_EQ(machine.spooler.EnumPortsA(2, needed - 1, ports, needed, returned).lastError,
              error::kInsufficientBuffer);

    BoolResult fill = machine.spooler.EnumPortsA(2, needed, ports, needed, returned);
    EXPECT_EQ(fill.value, 1);
    ASSERT_EQ(returned, 8u);
    std::vector<std::string> names;
    for (const auto& port : ports) names.push_back(port.portName);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:", "LPT3:"}));
    EXPECT_EQ(ports[0].description, "Local Port");
    EXPECT_EQ(machine.spooler.EnumPortsA(1, 4096, ports, needed, returned).lastError,
              error::kInvalidLevel);
}

TEST_F(SimSpoolerTest, EnumPrintersWithNoPrintersNeedsNoBuffer) {
    std::vector<platform::PrinterInfo2> printers;
    std::uint32_t needed = 7, returned = 7;
    BoolResult result = machine.spooler.EnumPrintersA(6, "", 2, 0, printers, needed, returned);
    EXPECT_EQ(result.value, 1);
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);
}

TEST_F(SimSpoolerTest, DriverDirectoryPerEnvironmentWithItsBufferRule) {
    std::string directory;
    std::uint32_t needed = 0;
    const auto length = static_cast<std::uint32_t>(std::string(kDriverDir).size());
    BoolResult small =
        machine.spooler.GetPrinterDriverDirectoryA(kX86, 1, length, directory, needed);
    EXPECT_EQ(small.lastError, error::kInsufficientBuffer);
    EXPECT_EQ(needed, length + 1);  // the NUL counts
    EXPECT_TRUE(directory.empty());
    EXPECT_EQ(machine.spooler.GetPrinterDriverDirectoryA(kX86, 1, 255, directory, needed).value, 1);
    EXPECT_EQ(directory, kDriverDir);
    EXPECT_EQ(
        machine.spooler.GetPrinterDriverDirectoryA("Windows x64", 1, 255, directory, needed).value,
        1);
    EXPECT_EQ(directory, "C:\\windows\\system32\\spool\\drivers\\x64");
    EXPECT_TRUE(machine.files.IsDirectory(directory));
    EXPECT_EQ(machine.spooler.GetPrinterDriverDirectoryA("Windows 4.0", 1, 255, directory, needed)
                  .lastError,
              1805u);
    EXPECT_EQ(machine.spooler.GetPrinterDriverDirectoryA(kX86, 2, 255, directory, needed).lastError,
              error::kInvalidLevel);
}

TEST_F(SimSpoolerTest, EnumDriversListsOneEnvironmentByTheSpoolersCopies) {
    WriteDriverFiles();
    machine.files.WriteFile(std::string(kDriverDir) + "\\RES.DLL", "res");
    platform::DriverInfo3 info = Driver("4720 Series");
    info.dependentFiles = {"RES.DLL", "MISSING.INI"};
    info.defaultDataType = "RAW";
    ASSERT_EQ(machine.spooler.AddPrinterDriverExA(3, info, 4).value, 1);
    machine.spooler.SeedDriver("Other", "Windows x64");

    std::vector<platform::DriverInfo3> drivers;
    std::uint32_t needed = 0;
    std::uint32_t returned = 7;
    BoolResult sizing = machine.spooler.EnumPrinterDriversA(kX86, 3, 0, drivers, needed, returned);
    EXPECT_EQ(sizing.lastError, error::kInsufficientBuffer);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(machine.spooler.EnumPrinterDriversA(kX86, 3, needed, drivers, needed, returned).value,
              1);
    ASSERT_EQ(drivers.size(), 1u);
    EXPECT_EQ(returned, 1u);
    EXPECT_EQ(needed, platform::EnumBytesNeeded(drivers));
    const std::string kept = std::string(kDriverDir) + "\\3\\";
    EXPECT_EQ(drivers[0].driverPath, kept + "UNIDRV.DLL");
    EXPECT_EQ(drivers[0].dependentFiles,
              (std::vector<std::string>{kept + "RES.DLL", kept + "MISSING.INI"}));
    EXPECT_EQ(drivers[0].environment, std::string(kX86));
    EXPECT_EQ(drivers[0].defaultDataType, std::string("RAW"));
    EXPECT_EQ(machine.spooler.EnumPrinterDriversA("Windows 4.0", 3, 999, drivers, needed, returned)
                  .lastError,
              1805u);
    EXPECT_EQ(
        machine.spooler.EnumPrinterDriversA(kX86, 2, 999, drivers, needed, returned).lastError,
        error::kInvalidLevel);
}

TEST_F(SimSpoolerTest, AddDriverNeedsItsFilesAndKeepsItsOwnCopies) {
    BoolResult missing = machine.spooler.AddPrinterDriverExA(3, Driver("4720 Series"), 4);
    EXPECT_EQ(missing.lastError, error::kFileNotFound);
    EXPECT_EQ(machine.spooler.Driver("4720 Series", kX86), nullptr);
    ASSERT_TRUE(machine.spooler.lastDriverInfo);  // recorded even so
    EXPECT_EQ(machine.spooler.lastDriverInfo->dataFile, std::string(kDriverDir) + "\\QZ4720.GPD");

    WriteDriverFiles();
    EXPECT_EQ(machine.spooler.AddPrinterDriverExA(3, Driver("4720 Series"), 4).value, 1);
    ASSERT_NE(machine.spooler.Driver("4720 series", "windows nt x86"), nullptr);
    EXPECT_TRUE(machine.files.Exists(std::string(kDriverDir) + "\\3\\QZ4720.GPD"));

    // Help and dependent files are copied when there, and not required.
    machine.files.WriteFile(std::string(kDriverDir) + "\\QZ70N.DLL", "plug-in");
    platform::DriverInfo3 second = Driver("4720 Series");
    second.helpFile = "UNIDRV.HLP";
    second.dependentFiles = {"QZ70N.DLL", "STDNAMES.GPD"};
    EXPECT_EQ(machine.spooler.AddPrinterDriverExA(3, second, 4).value, 1);
    EXPECT_TRUE(machine.files.Exists(std::string(kDriverDir) + "\\3\\QZ70N.DLL"));
    EXPECT_FALSE(machine.files.Exists(std::string(kDriverDir) + "\\3\\STDNAMES.GPD"));
    EXPECT_EQ(machine.spooler.DriverCount(), 1);  // the same name replaces
    ASSERT_NE(machine.spooler.Driver("4720 Series", kX86), nullptr);
    EXPECT_EQ(machine.spooler.Driver("4720 Series", kX86)->helpFile, "UNIDRV.HLP");
}

TEST_F(SimSpoolerTest, MonitorsNeedTheirDllInTheSystemFolder) {
    platform::MonitorInfo2 monitor;
    monitor.name = "Advanced Language Monitor";
    monitor.environment = kX86;
    monitor.dllName = "C:\\windows\\system32\\zqaNLMNT.dll";
    EXPECT_EQ(machine.spooler.AddMonitorA(2, monitor).lastError, error::kModNotFound);
    machine.files.WriteFile("C:\\Barcode\\x86\\zqaNLMNT.dll", "dll");
    monitor.dllName = "C:\\Barcode\\x86\\zqaNLMNT.dll";
    EXPECT_EQ(machine.spooler.AddMonitorA(2, monitor).lastError, error::kModNotFound);

    machine.files.WriteFile("C:\\windows\\system32\\zqaNLMNT.dll", "dll");
    monitor.dllName = "C:\\windows\\system32\\zqaNLMNT.dll";
    EXPECT_EQ(machine.spooler.AddMonitorA(2, monitor).value, 1);
    EXPECT_EQ(machine.spooler.AddMonitorA(2, monitor).lastError, 3006u);
    EXPECT_EQ(machine.spooler.DeleteMonitorA(std::string(kX86), "Advanced Language Monitor").value,
              1);
    EXPECT_EQ(
        machine.spooler.DeleteMonitorA(std::string(kX86), "Advanced Language Monitor").lastError,
        3000u);
}

TEST_F(SimSpoolerTest, AddPrinterChecksNameDriverAndPort) {
    std::uint32_t lastError = 0;
    EXPECT_EQ(machine.spooler.AddPrinterA(2, Printer("P1", "LPT1:"), lastError), 0u);
    EXPECT_EQ(lastError, error::kUnknownPrinterDriver);
    machine.spooler.SeedDriver("4720 Series", kX86);
    EXPECT_EQ(machine.spooler.AddPrinterA(2, Printer("P1", "USB001"), lastError), 0u);
    EXPECT_EQ(lastError, error::kUnknownPort);
    platform::PrinterHandle handle = AddPrinter("P1", "LPT1:");
    EXPECT_EQ(machine.spooler.AddPrinterA(2, Printer("p1", "LPT1:"), lastError), 0u);
    EXPECT_EQ(lastError, error::kPrinterAlreadyExists);
    EXPECT_EQ(machine.spooler.ClosePrinter(handle).value, 1);
    EXPECT_EQ(machine.spooler.OpenPrinterHandleCount(), 0);

    // The spooler's own registry places for the printer's port.
    const std::string software =
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\P1";
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::LocalMachine,
                                         "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1",
                                         "Port"),
              "LPT1:");
    EXPECT_EQ(
        machine.registry.GetString(RegistryRoot::LocalMachine,
                                   "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\P1", "Port"),
        "LPT1:");
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::LocalMachine, software, "Port"), "LPT1:");
    EXPECT_EQ(machine.registry.GetString(RegistryRoot::LocalMachine, software + "\\DsSpooler",
                                         "portName"),
              "LPT1:");
}

TEST_F(SimSpoolerTest, DeletedPrinterGoesAtCloseWithItsKeys) {
    machine.spooler.SeedDriver("4720 Series", kX86);
    machine.spooler.ClosePrinter(AddPrinter("P1", "LPT1:")).NonZero();
    platform::PrinterHandle handle = 0;
    platform::PrinterDefaults defaults{std::string("RAW"), platform::spool::kPrinterAllAccess};
    BoolResult unknown = machine.spooler.OpenPrinterA("P2", handle, defaults);
    EXPECT_EQ(unknown.lastError, error::kInvalidPrinterName);
    EXPECT_EQ(handle, 0u);

    ASSERT_EQ(machine.spooler.OpenPrinterA("P1", handle, defaults).value, 1);
    EXPECT_EQ(machine.spooler.SetPrinterA(handle, 0, platform::spool::kPrinterControlPurge).value,
              1);
    EXPECT_EQ(machine.spooler.DeletePrinter(handle).value, 1);
    EXPECT_NE(machine.spooler.Printer("P1"), nullptr);  // until the handle closes
    EXPECT_EQ(machine.spooler.ClosePrinter(handle).value, 1);
    EXPECT_EQ(machine.spooler.Printer("P1"), nullptr);
    EXPECT_EQ(machine.spooler.purged, (std::vector<std::string>{"P1"}));
    EXPECT_FALSE(machine.registry.KeyExists(
        RegistryRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1"));
    EXPECT_FALSE(machine.registry.KeyExists(
        RegistryRoot::LocalMachine,
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\P1"));
    EXPECT_EQ(machine.spooler.ClosePrinter(handle).lastError, error::kInvalidHandle);
    EXPECT_EQ(
        sim::CallNames(machine.spooler.calls),
        (std::vector<std::string>{"AddPrinterA", "ClosePrinter", "OpenPrinterA", "OpenPrinterA",
                                  "SetPrinterA", "DeletePrinter", "ClosePrinter", "ClosePrinter"}));
}

TEST_F(SimSpoolerTest, EnumPrintersReportsEachPrinterAndItsPort) {
    machine.spooler.SeedDriver("4720 Series", kX86);
    machine.spooler.ClosePrinter(AddPrinter("B", "LPT2:")).NonZero();
    machine.spooler.ClosePrinter(AddPrinter("A", "COM1:")).NonZero();
    std::vector<platform::PrinterInfo2> printers;
    std::uint32_t needed = 0, returned = 0;
    EXPECT_EQ(machine.spooler.EnumPrintersA(6, "", 2, 0, printers, needed, returned).lastError,
              error::kInsufficientBuffer);
    ASSERT_EQ(machine.spooler.EnumPrintersA(6, "", 2, needed, printers, needed, returned).value, 1);
    ASSERT_EQ(returned, 2u);
    EXPECT_EQ(printers[0].printerName, "B");
    EXPECT_EQ(printers[0].portName, "LPT2:");
    EXPECT_EQ(printers[1].printerName, "A");
    EXPECT_EQ(needed, platform::EnumBytesNeeded(printers));
}

TEST_F(SimSpoolerTest, RestartSetsPrinterOnLineFromTheRegisteredPort) {
    machine.spooler.acceptAnyPort = true;
    machine.spooler.SeedDriver("4720 Series", kX86);
    machine.spooler.ClosePrinter(AddPrinter("P1", "USB001")).NonZero();
    machine.spooler.SetPrinterAttached("USB002");
    const std::string hardwareProfile =
        "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\"
        "Control\\Print\\Printers\\P1";

    RestartSpooler();
    EXPECT_EQ(
        machine.registry.GetDword(RegistryRoot::LocalMachine, hardwareProfile, "PrinterOnLine"),
        0u);

    machine.registry.SetString(RegistryRoot::LocalMachine,
                               "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1", "Port",
                               "USB002");
    RestartSpooler();
    EXPECT_EQ(
        machine.registry.GetDword(RegistryRoot::LocalMachine, hardwareProfile, "PrinterOnLine"),
        1u);
    ASSERT_NE(machine.spooler.Printer("P1"), nullptr);
    EXPECT_EQ(machine.spooler.Printer("P1")->portName, "USB002");  // taken over
    EXPECT_EQ(machine.spooler.serviceStarts, 2);
    EXPECT_EQ(machine.services.OpenHandleCount(), 0);
}

TEST_F(SimSpoolerTest, PortMonitorCallsAreScriptedAndRecorded) {
    BoolResult add = machine.spooler.AddPortA(0x4242, "Standard TCP/IP Port");
    EXPECT_EQ(add.value, 0);
    EXPECT_EQ(add.lastError, error::kNotSupported);
    machine.spooler.ScriptAddTcpIpPort("IP_10.0.0.5");
    EXPECT_EQ(machine.spooler.AddPortA(0x4242, "Standard TCP/IP Port").value, 1);
    EXPECT_EQ(machine.spooler.Ports().back().portName, "IP_10.0.0.5");
    EXPECT_EQ(machine.spooler.Ports().back().description, "Standard TCP/IP Port");
    EXPECT_EQ(machine.spooler.ConfigurePortA(0x4242, "IP_10.0.0.5").lastError,
              error::kNotSupported);
    ASSERT_EQ(machine.spooler.portRequests.size(), 3u);
    EXPECT_EQ(machine.spooler.portRequests[2].call, "ConfigurePortA");
    EXPECT_EQ(machine.spooler.portRequests[2].owner, 0x4242u);
    EXPECT_EQ(machine.spooler.portRequests[2].name, "IP_10.0.0.5");
}

TEST_F(SimSpoolerTest, PlannedFailureAndStoppedServiceFailTheCall) {
    WriteDriverFiles();
    machine.spooler.failures.FailNext("AddPrinterDriverExA", 5);
    EXPECT_EQ(machine.spooler.AddPrinterDriverExA(3, Driver("4720 Series"), 4).lastError, 5u);
    EXPECT_EQ(machine.spooler.DriverCount(), 0);
    EXPECT_EQ(machine.spooler.AddPrinterDriverExA(3, Driver("4720 Series"), 4).value, 1);

    machine.RequireRunningSpooler();
    std::string directory;
    std::uint32_t needed = 0;
    EXPECT_EQ(machine.spooler.GetPrinterDriverDirectoryA(kX86, 1, 255, directory, needed).lastError,
              1722u);
    machine.services.SetState("Spooler", platform::svc::kRunning);
    EXPECT_EQ(machine.spooler.GetPrinterDriverDirectoryA(kX86, 1, 255, directory, needed).value, 1);
}

}  // namespace
