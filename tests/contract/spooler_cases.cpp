// The spooler calls the installer relies on, with the two-call contract of
// the enumerations. Byte counts are checked as "at least what a 32-bit
// Windows needs": a 64-bit spooler reports wider records.
#include <algorithm>
#include <cctype>

#include "contract.h"

namespace contract {
namespace {

using platform::BoolResult;
using platform::PortInfo2;
using platform::PrinterInfo2;
namespace spool = platform::spool;
namespace err = platform::error;

// ERROR_INVALID_ENVIRONMENT, which the installer itself never meets.
constexpr std::uint32_t kInvalidEnvironment = 1805;

const PortInfo2* FindPort(const std::vector<PortInfo2>& ports, const std::string& name) {
    for (const auto& port : ports) {
        if (port.portName == name) return &port;
    }
    return nullptr;
}

}  // namespace

std::vector<PrinterInfo2> ListPrinters(ContractTarget& target) {
    std::vector<PrinterInfo2> printers;
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    BoolResult sizing = target.spooler.EnumPrintersA(spool::kEnumLocal | spool::kEnumConnections,
                                                     "", 2, 0, printers, needed, returned);
    if (sizing.NonZero()) {
        // Nothing to list: the size query itself succeeds with nothing needed.
        CHECK(needed == 0 && returned == 0, "EnumPrintersA(size 0) succeeded with %u, %u", needed,
              returned);
        return printers;
    }
    CHECK(sizing.lastError == err::kInsufficientBuffer && needed > 0,
          "EnumPrintersA(size 0): error %u, needed %u, expected 122 and > 0", sizing.lastError,
          needed);
    EXPECT_OK(target, target.spooler.EnumPrintersA(spool::kEnumLocal | spool::kEnumConnections, "",
                                                   2, needed, printers, needed, returned));
    CHECK(returned == printers.size(), "returned %u, converted %u", returned,
          static_cast<unsigned>(printers.size()));
    CHECK(needed >= platform::EnumBytesNeeded(printers), "needed %u below %u", needed,
          platform::EnumBytesNeeded(printers));
    return printers;
}

const PrinterInfo2* FindPrinter(const std::vector<PrinterInfo2>& printers,
                                const std::string& name) {
    for (const auto& printer : printers) {
        if (printer.printerName && *printer.printerName == name) return &printer;
    }
    return nullptr;
}

platform::PrinterInfo2 PrinterOnLpt1(const std::string& name, const std::string& driverName) {
    platform::PrinterInfo2 printer;
    printer.printerName = name;
    printer.portName = std::string("LPT1:");
    printer.driverName = driverName;
    printer.printProcessor = std::string("WinPrint");
    printer.datatype = std::string("RAW");
    return printer;
}

void RemovePrinterIfPresent(ContractTarget& target, const std::string& name) {
    platform::PrinterHandle handle = 0;
    platform::PrinterDefaults defaults{std::string("RAW"), spool::kPrinterAllAccess};
    if (!target.spooler.OpenPrinterA(name, handle, defaults).NonZero()) return;
    (void)target.spooler.DeletePrinter(handle);
    (void)target.spooler.ClosePrinter(handle);
}

std::string ReadDriverDirectory(ContractTarget& target, const std::string& environment) {
    std::string directory;
    std::uint32_t needed = 0;
    (void)target.spooler.GetPrinterDriverDirectoryA(environment, 1, 0, directory, needed);
    EXPECT_OK(target,
              target.spooler.GetPrinterDriverDirectoryA(environment, 1, needed, directory, needed));
    return directory;
}

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (tail.size() > text.size()) return false;
    return std::equal(tail.begin(), tail.end(), text.end() - tail.size(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

void DriverDirectoryCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    const struct {
        const char* environment;
        const char* tail;
    } kDirectories[] = {{"Windows NT x86", "\\w32x86"}, {"Windows x64", "\\x64"}};
    for (const auto& expected : kDirectories) {
        std::string directory;
        std::uint32_t needed = 0;
        EXPECT_FAIL(target,
                    target.spooler.GetPrinterDriverDirectoryA(expected.environment, 1, 0, directory,
                                                              needed),
                    err::kInsufficientBuffer);
        CHECK(needed > 0, "%s: size query needed %u", expected.environment, needed);

        std::uint32_t sized = needed;
        EXPECT_OK(target, target.spooler.GetPrinterDriverDirectoryA(expected.environment, 1, sized,
                                                                    directory, needed));
        CHECK(EndsWithNoCase(directory, expected.tail), "%s: directory \"%s\", expected \"...%s\"",
              expected.environment, directory.c_str(), expected.tail);
        CHECK(sized >= directory.size() + 1, "%s: needed %u for \"%s\"", expected.environment,
              sized, directory.c_str());

        // The installer's fixed 255-byte buffer.
        std::string fixed;
        EXPECT_OK(target, target.spooler.GetPrinterDriverDirectoryA(expected.environment, 1, 255,
                                                                    fixed, needed));
        CHECK(fixed == directory, "255-byte buffer gave \"%s\", sized one \"%s\"", fixed.c_str(),
              directory.c_str());
    }
    std::string directory;
    std::uint32_t needed = 0;
    EXPECT_FAIL(
        target,
        target.spooler.GetPrinterDriverDirectoryA("No Such Environment", 1, 255, directory, needed),
        kInvalidEnvironment);
}

void EnumPortsCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    std::vector<PortInfo2> ports;
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    EXPECT_FAIL(target, target.spooler.EnumPortsA(2, 0, ports, needed, returned),
                err::kInsufficientBuffer);
    CHECK(needed > 0, "size query needed %u", needed);
    if (needed == 0) return;

    const std::uint32_t sized = needed;
    EXPECT_FAIL(target, target.spooler.EnumPortsA(2, sized - 1, ports, needed, returned),
                err::kInsufficientBuffer);
    CHECK(needed == sized, "needed %u on the second query, %u on the first", needed, sized);

    EXPECT_OK(target, target.spooler.EnumPortsA(2, sized, ports, needed, returned));
    CHECK(returned > 0 && returned == ports.size(), "returned %u, converted %u", returned,
          static_cast<unsigned>(ports.size()));
    CHECK(sized >= platform::EnumBytesNeeded(ports), "needed %u below %u", sized,
          platform::EnumBytesNeeded(ports));
    for (const char* name : {"COM1:", "LPT1:", "FILE:"}) {
        const PortInfo2* port = FindPort(ports, name);
        CHECK(port != nullptr, "port %s not listed", name);
        if (port) CHECK(!port->description.empty(), "port %s has no description", name);
    }

    // The installer keeps positions from one enumeration to the next.
    std::vector<PortInfo2> again;
    EXPECT_OK(target, target.spooler.EnumPortsA(2, sized, again, needed, returned));
    bool sameOrder = again.size() == ports.size();
    for (std::size_t i = 0; sameOrder && i < ports.size(); ++i) {
        sameOrder = again[i].portName == ports[i].portName;
    }
    CHECK(sameOrder, "a second enumeration listed the ports in another order");
}

void DriverAndPrinterCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    const std::string environment = target.nativeEnvironment;
    const std::string directory = ReadDriverDirectory(target, environment);
    if (directory.empty()) return;

    const std::string driverName = "Contract Test Driver";
    const std::string printerName = "Contract Test Printer";
    const char* const kFiles[] = {"ctdrv.dll", "ctdrv.gpd", "ctui.dll", "ctres.dll", "ctnames.gpd"};
    for (const char* file : kFiles) {
        // Copies from an earlier run would hide a file the spooler failed to copy.
        (void)target.files.DeleteFileA(directory + "\\3\\" + file);
        CHECK(target.writeFile(directory + "\\" + file, std::string("placeholder ") + file),
              "could not write %s into %s", file, directory.c_str());
    }

    platform::DriverInfo3 driver;
    driver.version = 3;
    driver.name = driverName;
    driver.environment = environment;
    driver.driverPath = directory + "\\ctdrv.dll";
    driver.dataFile = directory + "\\ctdrv.gpd";
    driver.configFile = directory + "\\ctui.dll";
    driver.dependentFiles = {"ctres.dll", "ctnames.gpd"};
    EXPECT_OK(target, target.spooler.AddPrinterDriverExA(3, driver, spool::kApdCopyAllFiles));
    // A reinstall registers the same driver again: with all files copied,
    // an existing driver is replaced, not refused.
    EXPECT_OK(target, target.spooler.AddPrinterDriverExA(3, driver, spool::kApdCopyAllFiles));

    // The spooler holds its own copies now, dependent files included, in the
    // version folder; ours can go, as the installer's do.
    for (const char* file : kFiles) {
        const std::string copy = directory + "\\3\\" + file;
        CHECK(target.files.GetFileAttributesA(copy) != platform::file::kInvalidAttributes,
              "the spooler has no copy %s", copy.c_str());
        EXPECT_OK(target, target.files.DeleteFileA(directory + "\\" + file));
    }

    RemovePrinterIfPresent(target, printerName);
    const PrinterInfo2 printer = PrinterOnLpt1(printerName, driverName);
    std::uint32_t error = kSentinel;
    platform::PrinterHandle added = target.spooler.AddPrinterA(2, printer, error);
    CHECK(added != 0, "AddPrinterA: null handle, error %u", error);
    if (!added) return;
    EXPECT_OK(target, target.spooler.ClosePrinter(added));

    // A second AddPrinterA of the same name is not checked: Windows refuses
    // it with 1802, Wine hands out another handle.
    std::vector<PrinterInfo2> printers = ListPrinters(target);
    const PrinterInfo2* listed = FindPrinter(printers, printerName);
    CHECK(listed != nullptr, "EnumPrintersA does not list \"%s\"", printerName.c_str());
    if (listed) {
        CHECK(listed->portName && *listed->portName == "LPT1:", "listed with port \"%s\"",
              listed->portName ? listed->portName->c_str() : "(null)");
        CHECK(listed->driverName && *listed->driverName == driverName, "listed with driver \"%s\"",
              listed->driverName ? listed->driverName->c_str() : "(null)");
    }

    platform::PrinterHandle handle = 0;
    platform::PrinterDefaults defaults{std::string("RAW"), spool::kPrinterAllAccess};
    EXPECT_OK(target, target.spooler.OpenPrinterA(printerName, handle, defaults));
    CHECK(handle != 0, "OpenPrinterA gave no handle");
    if (handle) {
        EXPECT_OK(target, target.spooler.DeletePrinter(handle));
        EXPECT_OK(target, target.spooler.ClosePrinter(handle));
    }
    printers = ListPrinters(target);
    CHECK(FindPrinter(printers, printerName) == nullptr, "\"%s\" still listed after the delete",
          printerName.c_str());
    EXPECT_FAIL(target, target.spooler.OpenPrinterA(printerName, handle, defaults),
                err::kInvalidPrinterName);
}

// A printer handle opened before the spooler restarts, used after it: what
// the installer must expect of a handle it kept across a restart.
void PrinterHandleAcrossRestartCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    const std::string environment = target.nativeEnvironment;
    const std::string directory = ReadDriverDirectory(target, environment);
    if (directory.empty()) return;
    const std::string driverName = "Contract Restart Driver";
    const std::string printerName = "Contract Restart Printer";
    const char* const kFiles[] = {"rsdrv.dll", "rsdrv.gpd", "rsui.dll"};
    for (const char* file : kFiles) {
        CHECK(target.writeFile(directory + "\\" + file, std::string("placeholder ") + file),
              "could not write %s into %s", file, directory.c_str());
    }
    platform::DriverInfo3 driver;
    driver.version = 3;
    driver.name = driverName;
    driver.environment = environment;
    driver.driverPath = directory + "\\rsdrv.dll";
    driver.dataFile = directory + "\\rsdrv.gpd";
    driver.configFile = directory + "\\rsui.dll";
    EXPECT_OK(target, target.spooler.AddPrinterDriverExA(3, driver, spool::kApdCopyAllFiles));

    RemovePrinterIfPresent(target, printerName);
    const PrinterInfo2 printer = PrinterOnLpt1(printerName, driverName);
    std::uint32_t error = kSentinel;
    const platform::PrinterHandle added = target.spooler.AddPrinterA(2, printer, error);
    CHECK(added != 0, "AddPrinterA: null handle, error %u", error);
    if (!added) return;

    // Wine's spooler runs inside the program: the handle still works after
    // the restart (Windows' would have ended with its spooler process).
    RestartSpooler(target);
    EXPECT_OK(target, target.spooler.DeletePrinter(added));
    EXPECT_OK(target, target.spooler.ClosePrinter(added));
    CHECK(FindPrinter(ListPrinters(target), printerName) == nullptr,
          "\"%s\" still listed after the delete through the old handle", printerName.c_str());

    // What the installer does, and what works on either: let the old handle
    // go and open the printer again by name.
    error = kSentinel;
    const platform::PrinterHandle again = target.spooler.AddPrinterA(2, printer, error);
    CHECK(again != 0, "AddPrinterA again: null handle, error %u", error);
    if (!again) return;
    RestartSpooler(target);
    (void)target.spooler.ClosePrinter(again);
    platform::PrinterHandle reopened = 0;
    const platform::PrinterDefaults defaults{std::string("RAW"), spool::kPrinterAllAccess};
    EXPECT_OK(target, target.spooler.OpenPrinterA(printerName, reopened, defaults));
    CHECK(reopened != 0, "OpenPrinterA after the restart gave no handle");
    if (reopened) {
        EXPECT_OK(target, target.spooler.DeletePrinter(reopened));
        EXPECT_OK(target, target.spooler.ClosePrinter(reopened));
    }
    CHECK(FindPrinter(ListPrinters(target), printerName) == nullptr,
          "\"%s\" still listed after the delete by name", printerName.c_str());
    EXPECT_OK(target, target.spooler.DeletePrinterDriverA(environment, driverName));
}

}  // namespace contract
