// The print spooler operations the installer uses, typed in portable C++.
// Each mirrors the ANSI winspool call of the same name; records are plain
// structs here and are marshalled into DRIVER_INFO_3A, PRINTER_INFO_2A and
// friends by the Win32 adapter. Enumerations keep the two-call contract:
// a call with a buffer too small fails with ERROR_INSUFFICIENT_BUFFER and
// reports the byte count a 32-bit Windows would need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

using OptString = std::optional<std::string>;

struct DriverInfo3 {
    std::uint32_t version = 0;
    OptString name;
    OptString environment;
    OptString driverPath;
    OptString dataFile;
    OptString configFile;
    OptString helpFile;
    // The entries of the NUL-separated list, without the final empty entry.
    std::vector<std::string> dependentFiles;
    OptString monitorName;
    OptString defaultDataType;
};

struct MonitorInfo2 {
    OptString name;
    OptString environment;
    OptString dllName;
};

struct PrinterDefaults {
    OptString datatype;
    std::uint32_t desiredAccess = 0;
};

struct PrinterInfo2 {
    OptString serverName;
    OptString printerName;
    OptString shareName;
    OptString portName;
    OptString driverName;
    OptString comment;
    OptString location;
    OptString sepFile;
    OptString printProcessor;
    OptString datatype;
    OptString parameters;
    std::uint32_t attributes = 0;
    std::uint32_t priority = 0;
    std::uint32_t defaultPriority = 0;
    std::uint32_t startTime = 0;
    std::uint32_t untilTime = 0;
    std::uint32_t status = 0;
    std::uint32_t jobs = 0;
    std::uint32_t averagePpm = 0;
};

struct PortInfo2 {
    std::string portName;
    std::string monitorName;
    std::string description;
    std::uint32_t portType = 0;
    std::uint32_t reserved = 0;
};

// A Standard TCP/IP port as the port monitor's XcvData "AddPort" and
// "ConfigPort" take it (PORT_DATA_1, RAW printing).
struct TcpIpPortData {
    std::string portName;
    std::string hostAddress;
    std::uint32_t portNumber = 9100;
};

// A print job as StartDocPrinterA takes it (DOC_INFO_1A).
struct DocInfo1 {
    OptString docName;
    OptString outputFile;
    OptString datatype;
};

// A job in a printer's queue as GetJobA reports it (JOB_INFO_1A; the time
// it was submitted is left out).
struct JobInfo1 {
    std::uint32_t jobId = 0;
    OptString printerName;
    OptString machineName;
    OptString userName;
    OptString document;
    OptString datatype;
    OptString statusText;  // the port monitor's own words, when it has any
    std::uint32_t status = 0;
    std::uint32_t priority = 0;
    std::uint32_t position = 0;
    std::uint32_t totalPages = 0;
    std::uint32_t pagesPrinted = 0;
};

namespace spool {
constexpr std::uint32_t kApdCopyAllFiles = 4;
constexpr std::uint32_t kPrinterAllAccess = 0xF000C;
constexpr std::uint32_t kPrinterControlPurge = 3;
constexpr std::uint32_t kEnumLocal = 2;
constexpr std::uint32_t kEnumConnections = 4;
// DeletePrinterDriverExA: the driver's files go too, where nothing else uses them.
constexpr std::uint32_t kDeleteUnusedFiles = 1;
// OpenPrinterA on ",XcvMonitor <monitor>": the access a port change needs.
constexpr std::uint32_t kServerAccessAdminister = 0x1;
// OpenPrinterA: enough to print.
constexpr std::uint32_t kPrinterAccessUse = 0x8;
// JOB_INFO_1 Status bits.
constexpr std::uint32_t kJobPaused = 0x1;
constexpr std::uint32_t kJobError = 0x2;
constexpr std::uint32_t kJobDeleting = 0x4;
constexpr std::uint32_t kJobSpooling = 0x8;
constexpr std::uint32_t kJobPrinting = 0x10;
constexpr std::uint32_t kJobOffline = 0x20;
constexpr std::uint32_t kJobPaperOut = 0x40;
constexpr std::uint32_t kJobPrinted = 0x80;
constexpr std::uint32_t kJobDeleted = 0x100;
constexpr std::uint32_t kJobBlockedDevq = 0x200;
constexpr std::uint32_t kJobUserIntervention = 0x400;
constexpr std::uint32_t kJobRestart = 0x800;
constexpr std::uint32_t kJobComplete = 0x1000;
}  // namespace spool

// The NUL-separated list a DRIVER_INFO_3A carries: "a\0b\0\0", each entry
// with its NUL, then the empty entry.
std::string MultiString(const std::vector<std::string>& entries);

// Byte counts a 32-bit Windows reports for the enumerations: the fixed
// records followed by their strings, each with its NUL.
std::uint32_t EnumBytesNeeded(const std::vector<PortInfo2>& ports);
std::uint32_t EnumBytesNeeded(const std::vector<PrinterInfo2>& printers);
std::uint32_t EnumBytesNeeded(const std::vector<DriverInfo3>& drivers);
std::uint32_t BytesNeeded(const JobInfo1& job);

class Spooler {
public:
    virtual ~Spooler() = default;

    // Fills `directory` when `bufferSize` can hold it and its NUL.
    virtual BoolResult GetPrinterDriverDirectoryA(const std::string& environment,
                                                  std::uint32_t level, std::uint32_t bufferSize,
                                                  std::string& directory,
                                                  std::uint32_t& needed) = 0;
    virtual BoolResult AddPrinterDriverExA(std::uint32_t level, const DriverInfo3& info,
                                           std::uint32_t copyFlags) = 0;
    virtual BoolResult AddMonitorA(std::uint32_t level, const MonitorInfo2& info) = 0;
    virtual BoolResult DeleteMonitorA(const OptString& environment,
                                      const std::string& monitorName) = 0;
    // The driver's registration only.
    virtual BoolResult DeletePrinterDriverA(const std::string& environment,
                                            const std::string& driverName) = 0;
    // The registration and, with kDeleteUnusedFiles, the files.
    virtual BoolResult DeletePrinterDriverExA(const std::string& environment,
                                              const std::string& driverName,
                                              std::uint32_t deleteFlags,
                                              std::uint32_t versionFlags) = 0;

    virtual BoolResult OpenPrinterA(const std::string& printerName, PrinterHandle& handle,
                                    const PrinterDefaults& defaults) = 0;
    // Level 0 with no data: a printer control command such as a purge.
    virtual BoolResult SetPrinterA(PrinterHandle handle, std::uint32_t level,
                                   std::uint32_t command) = 0;
    virtual BoolResult DeletePrinter(PrinterHandle handle) = 0;
    virtual BoolResult ClosePrinter(PrinterHandle handle) = 0;
    // Returns 0 on failure, with the reason in lastError.
    virtual PrinterHandle AddPrinterA(std::uint32_t level, const PrinterInfo2& info,
                                      std::uint32_t& lastError) = 0;

    virtual BoolResult EnumPortsA(std::uint32_t level, std::uint32_t bufferSize,
                                  std::vector<PortInfo2>& ports, std::uint32_t& needed,
                                  std::uint32_t& returned) = 0;
    virtual BoolResult EnumPrintersA(std::uint32_t flags, const std::string& name,
                                     std::uint32_t level, std::uint32_t bufferSize,
                                     std::vector<PrinterInfo2>& printers, std::uint32_t& needed,
                                     std::uint32_t& returned) = 0;
    // The drivers of `environment` (empty: the caller's own) on the local
    // machine; `drivers` is filled for level 3.
    virtual BoolResult EnumPrinterDriversA(const std::string& environment, std::uint32_t level,
                                           std::uint32_t bufferSize,
                                           std::vector<DriverInfo3>& drivers, std::uint32_t& needed,
                                           std::uint32_t& returned) = 0;

    // The port monitor's own configuration call (XcvDataW), on a handle OpenPrinterA
    // gave for ",XcvMonitor <monitor>": `command` is "AddPort" or
    // "ConfigPort"; `status` is the monitor's answer (0 when done).
    virtual BoolResult XcvPortData(PrinterHandle xcv, const std::string& command,
                                   const TcpIpPortData& data, std::uint32_t& status) = 0;

    // The port monitor shows its own windows for these, owned by `owner`.
    virtual BoolResult AddPortA(WindowHandle owner, const std::string& monitorName) = 0;
    virtual BoolResult ConfigurePortA(WindowHandle owner, const std::string& portName) = 0;
    virtual BoolResult DeletePortA(WindowHandle owner, const std::string& portName) = 0;

    // A job on a handle from OpenPrinterA: its id, or 0 with the reason in lastError.
    virtual std::uint32_t StartDocPrinterA(PrinterHandle handle, std::uint32_t level,
                                           const DocInfo1& info, std::uint32_t& lastError) = 0;
    virtual BoolResult WritePrinter(PrinterHandle handle, const std::vector<std::uint8_t>& bytes,
                                    std::uint32_t& written) = 0;
    virtual BoolResult EndDocPrinter(PrinterHandle handle) = 0;
    // Fills `job` for level 1 when `bufferSize` holds it; a job that has left
    // the queue fails with ERROR_INVALID_PARAMETER.
    virtual BoolResult GetJobA(PrinterHandle handle, std::uint32_t jobId, std::uint32_t level,
                               std::uint32_t bufferSize, JobInfo1& job, std::uint32_t& needed) = 0;
};

}  // namespace platform
