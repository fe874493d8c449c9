// winspool's ANSI calls behind the portable spooler interface. The records
// are rebuilt here as DRIVER_INFO_3A, PRINTER_INFO_2A and friends; the
// enumerations pass the caller's buffer size through unchanged, so the real
// two-call contract (and the real byte counts) reach the logic.
#include "platform/win32/spooler_win32.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>

namespace win32 {
namespace {

using platform::BoolResult;
using platform::OptString;

// The ANSI spooler calls take LPSTR but only read their strings.
char* Str(const std::string& text) {
    return const_cast<char*>(text.c_str());
}
char* Str(const OptString& text) {
    return text ? Str(*text) : nullptr;
}
// An empty name means "the local machine" or "no name", as the null pointer does.
char* StrOrNull(const std::string& text) {
    return text.empty() ? nullptr : Str(text);
}

BoolResult Result(BOOL value) {
    BoolResult result;
    result.lastError = ::GetLastError();
    result.value = value;
    return result;
}

OptString Opt(const char* text) {
    return text ? OptString(text) : std::nullopt;
}
std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

HANDLE ToHandle(platform::PrinterHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}
HWND ToWindow(platform::WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

// A zero size still gets a real, non-null buffer, so the size check is the spooler's.
std::vector<BYTE> EnumBuffer(std::uint32_t size) {
    return std::vector<BYTE>(size ? size : 1);
}

platform::PrinterInfo2 FromRecord(const PRINTER_INFO_2A& r) {
    platform::PrinterInfo2 p;
    p.serverName = Opt(r.pServerName);
    p.printerName = Opt(r.pPrinterName);
    p.shareName = Opt(r.pShareName);
    p.portName = Opt(r.pPortName);
    p.driverName = Opt(r.pDriverName);
    p.comment = Opt(r.pComment);
    p.location = Opt(r.pLocation);
    p.sepFile = Opt(r.pSepFile);
    p.printProcessor = Opt(r.pPrintProcessor);
    p.datatype = Opt(r.pDatatype);
    p.parameters = Opt(r.pParameters);
    p.attributes = r.Attributes;
    p.priority = r.Priority;
    p.defaultPriority = r.DefaultPriority;
    p.startTime = r.StartTime;
    p.untilTime = r.UntilTime;
    p.status = r.Status;
    p.jobs = r.cJobs;
    p.averagePpm = r.AveragePPM;
    return p;
}

platform::DriverInfo3 FromRecord(const DRIVER_INFO_3A& r) {
    platform::DriverInfo3 d;
    d.version = r.cVersion;
    d.name = Opt(r.pName);
    d.environment = Opt(r.pEnvironment);
    d.driverPath = Opt(r.pDriverPath);
    d.dataFile = Opt(r.pDataFile);
    d.configFile = Opt(r.pConfigFile);
    d.helpFile = Opt(r.pHelpFile);
    for (const char* entry = r.pDependentFiles; entry && *entry; entry += std::strlen(entry) + 1) {
        d.dependentFiles.push_back(entry);
    }
    d.monitorName = Opt(r.pMonitorName);
    d.defaultDataType = Opt(r.pDefaultDataType);
    return d;
}

}  // namespace

BoolResult Win32Spooler::GetPrinterDriverDirectoryA(const std::string& environment,
                                                    std::uint32_t level, std::uint32_t bufferSize,
                                                    std::string& directory, std::uint32_t& needed) {
    std::vector<BYTE> buffer = EnumBuffer(bufferSize);
    DWORD bytes = 0;
    BoolResult result = Result(::GetPrinterDriverDirectoryA(nullptr, StrOrNull(environment), level,
                                                            buffer.data(), bufferSize, &bytes));
    needed = bytes;
    if (result.NonZero()) {
        directory.assign(reinterpret_cast<const char*>(buffer.data()),
                         strnlen(reinterpret_cast<const char*>(buffer.data()), bufferSize));
    }
    return result;
}

BoolResult Win32Spooler::AddPrinterDriverExA(std::uint32_t level, const platform::DriverInfo3& info,
                                             std::uint32_t copyFlags) {
    std::string dependents;
    if (!info.dependentFiles.empty()) dependents = platform::MultiString(info.dependentFiles);

    DRIVER_INFO_3A record = {};
    record.cVersion = info.version;
    record.pName = Str(info.name);
    record.pEnvironment = Str(info.environment);
    record.pDriverPath = Str(info.driverPath);
    record.pDataFile = Str(info.dataFile);
    record.pConfigFile = Str(info.configFile);
    record.pHelpFile = Str(info.helpFile);
    record.pDependentFiles = dependents.empty() ? nullptr : &dependents[0];
    record.pMonitorName = Str(info.monitorName);
    record.pDefaultDataType = Str(info.defaultDataType);
    return Result(
        ::AddPrinterDriverExA(nullptr, level, reinterpret_cast<LPBYTE>(&record), copyFlags));
}

BoolResult Win32Spooler::AddMonitorA(std::uint32_t level, const platform::MonitorInfo2& info) {
    MONITOR_INFO_2A record = {};
    record.pName = Str(info.name);
    record.pEnvironment = Str(info.environment);
    record.pDLLName = Str(info.dllName);
    return Result(::AddMonitorA(nullptr, level, reinterpret_cast<LPBYTE>(&record)));
}

BoolResult Win32Spooler::DeleteMonitorA(const OptString& environment,
                                        const std::string& monitorName) {
    return Result(::DeleteMonitorA(nullptr, Str(environment), Str(monitorName)));
}

BoolResult Win32Spooler::DeletePrinterDriverA(const std::string& environment,
                                              const std::string& driverName) {
    return Result(::DeletePrinterDriverA(nullptr, Str(environment), Str(driverName)));
}

BoolResult Win32Spooler::DeletePrinterDriverExA(const std::string& environment,
                                                const std::string& driverName,
                                                std::uint32_t deleteFlags,
                                                std::uint32_t versionFlags) {
    // Some spoolers (Wine's) fail it without setting a last error: make
    // that read as "not implemented" rather than as success.
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return Result(::DeletePrinterDriverExA(nullptr, Str(environment), Str(driverName), deleteFlags,
                                           versionFlags));
}

BoolResult Win32Spooler::OpenPrinterA(const std::string& printerName,
                                      platform::PrinterHandle& handle,
                                      const platform::PrinterDefaults& defaults) {
    PRINTER_DEFAULTSA record = {};
    record.pDatatype = Str(defaults.datatype);
    record.DesiredAccess = defaults.desiredAccess;
    HANDLE opened = nullptr;
    BoolResult result = Result(::OpenPrinterA(Str(printerName), &opened, &record));
    handle = reinterpret_cast<platform::PrinterHandle>(opened);
    return result;
}

BoolResult Win32Spooler::SetPrinterA(platform::PrinterHandle handle, std::uint32_t level,
                                     std::uint32_t command) {
    return Result(::SetPrinterA(ToHandle(handle), level, nullptr, command));
}

BoolResult Win32Spooler::DeletePrinter(platform::PrinterHandle handle) {
    return Result(::DeletePrinter(ToHandle(handle)));
}

BoolResult Win32Spooler::ClosePrinter(platform::PrinterHandle handle) {
    return Result(::ClosePrinter(ToHandle(handle)));
}

platform::PrinterHandle Win32Spooler::AddPrinterA(std::uint32_t level,
                                                  const platform::PrinterInfo2& info,
                                                  std::uint32_t& lastError) {
    PRINTER_INFO_2A record = {};
    record.pServerName = Str(info.serverName);
    record.pPrinterName = Str(info.printerName);
    record.pShareName = Str(info.shareName);
    record.pPortName = Str(info.portName);
    record.pDriverName = Str(info.driverName);
    record.pComment = Str(info.comment);
    record.pLocation = Str(info.location);
    record.pSepFile = Str(info.sepFile);
    record.pPrintProcessor = Str(info.printProcessor);
    record.pDatatype = Str(info.datatype);
    record.pParameters = Str(info.parameters);
    record.Attributes = info.attributes;
    record.Priority = info.priority;
    record.DefaultPriority = info.defaultPriority;
    record.StartTime = info.startTime;
    record.UntilTime = info.untilTime;
    record.Status = info.status;
    record.cJobs = info.jobs;
    record.AveragePPM = info.averagePpm;
    HANDLE printer = ::AddPrinterA(nullptr, level, reinterpret_cast<LPBYTE>(&record));
    lastError = printer ? platform::error::kSuccess : ::GetLastError();
    return reinterpret_cast<platform::PrinterHandle>(printer);
}

BoolResult Win32Spooler::EnumPortsA(std::uint32_t level, std::uint32_t bufferSize,
                                    std::vector<platform::PortInfo2>& ports, std::uint32_t& needed,
                                    std::uint32_t& returned) {
    std::vector<BYTE> buffer = EnumBuffer(bufferSize);
    DWORD bytes = 0;
    DWORD count = 0;
    BoolResult result =
        Result(::EnumPortsA(nullptr, level, buffer.data(), bufferSize, &bytes, &count));
    needed = bytes;
    returned = count;
    ports.clear();
    if (!result.NonZero()) return result;
    for (DWORD i = 0; i < count; ++i) {
        platform::PortInfo2 port;
        if (level == 1) {
            port.portName = Text(reinterpret_cast<const PORT_INFO_1A*>(buffer.data())[i].pName);
        } else if (level == 2) {
            const auto& r = reinterpret_cast<const PORT_INFO_2A*>(buffer.data())[i];
            port.portName = Text(r.pPortName);
            port.monitorName = Text(r.pMonitorName);
            port.description = Text(r.pDescription);
            port.portType = r.fPortType;
            port.reserved = r.Reserved;
        } else {
            break;
        }
        ports.push_back(port);
    }
    return result;
}

BoolResult Win32Spooler::EnumPrintersA(std::uint32_t flags, const std::string& name,
                                       std::uint32_t level, std::uint32_t bufferSize,
                                       std::vector<platform::PrinterInfo2>& printers,
                                       std::uint32_t& needed, std::uint32_t& returned) {
    std::vector<BYTE> buffer = EnumBuffer(bufferSize);
    DWORD bytes = 0;
    DWORD count = 0;
    BoolResult result = Result(
        ::EnumPrintersA(flags, StrOrNull(name), level, buffer.data(), bufferSize, &bytes, &count));
    needed = bytes;
    returned = count;
    printers.clear();
    if (!result.NonZero() || level != 2) return result;
    const auto* records = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) printers.push_back(FromRecord(records[i]));
    return result;
}

BoolResult Win32Spooler::EnumPrinterDriversA(const std::string& environment, std::uint32_t level,
                                             std::uint32_t bufferSize,
                                             std::vector<platform::DriverInfo3>& drivers,
                                             std::uint32_t& needed, std::uint32_t& returned) {
    std::vector<BYTE> buffer = EnumBuffer(bufferSize);
    DWORD bytes = 0;
    DWORD count = 0;
    BoolResult result = Result(::EnumPrinterDriversA(nullptr, StrOrNull(environment), level,
                                                     buffer.data(), bufferSize, &bytes, &count));
    needed = bytes;
    returned = count;
    drivers.clear();
    if (!result.NonZero() || level != 3) return result;
    const auto* records = reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) drivers.push_back(FromRecord(records[i]));
    return result;
}

namespace {

// PORT_DATA_1 of the Standard TCP/IP Port monitor (tcpxcv.h), 964 bytes.
struct PortData1 {
    WCHAR sztPortName[64];
    DWORD dwVersion;
    DWORD dwProtocol;
    DWORD cbSize;
    DWORD dwReserved;
    WCHAR sztHostAddress[49];
    WCHAR sztSNMPCommunity[33];
    DWORD dwDoubleSpool;
    WCHAR sztQueue[33];
    WCHAR sztIPAddress[16];
    BYTE Reserved[540];
    DWORD dwPortNumber;
    DWORD dwSNMPEnabled;
    DWORD dwSNMPDevIndex;
};
static_assert(sizeof(PortData1) == 964, "PORT_DATA_1 is 964 bytes");

// The names and addresses are plain ASCII (the command line checks them);
// copied cut to fit, always terminated.
template <size_t N>
void CopyWide(WCHAR (&to)[N], const std::string& from) {
    size_t i = 0;
    for (; i + 1 < N && i < from.size(); ++i) to[i] = static_cast<unsigned char>(from[i]);
    to[i] = 0;
}

}  // namespace

BoolResult Win32Spooler::XcvPortData(platform::PrinterHandle xcv, const std::string& command,
                                     const platform::TcpIpPortData& data, std::uint32_t& status) {
    PortData1 record = {};
    CopyWide(record.sztPortName, data.portName);
    record.dwVersion = 1;
    record.dwProtocol = 1;  // RAW
    record.cbSize = sizeof(record);
    CopyWide(record.sztHostAddress, data.hostAddress);
    CopyWide(record.sztSNMPCommunity, "public");
    record.dwPortNumber = data.portNumber;
    std::wstring name(command.begin(), command.end());
    DWORD needed = 0;
    DWORD answer = 0;
    const BoolResult result =
        Result(::XcvDataW(ToHandle(xcv), name.c_str(), reinterpret_cast<BYTE*>(&record),
                          sizeof(record), nullptr, 0, &needed, &answer));
    status = answer;
    return result;
}

BoolResult Win32Spooler::AddPortA(platform::WindowHandle owner, const std::string& monitorName) {
    return Result(::AddPortA(nullptr, ToWindow(owner), Str(monitorName)));
}

BoolResult Win32Spooler::ConfigurePortA(platform::WindowHandle owner, const std::string& portName) {
    return Result(::ConfigurePortA(nullptr, ToWindow(owner), Str(portName)));
}

BoolResult Win32Spooler::DeletePortA(platform::WindowHandle owner, const std::string& portName) {
    return Result(::DeletePortA(nullptr, ToWindow(owner), Str(portName)));
}

std::uint32_t Win32Spooler::StartDocPrinterA(platform::PrinterHandle handle, std::uint32_t level,
                                             const platform::DocInfo1& info,
                                             std::uint32_t& lastError) {
    DOC_INFO_1A record = {Str(info.docName), Str(info.outputFile), Str(info.datatype)};
    const DWORD job =
        ::StartDocPrinterA(ToHandle(handle), level, reinterpret_cast<LPBYTE>(&record));
    lastError = ::GetLastError();
    return job;
}

BoolResult Win32Spooler::WritePrinter(platform::PrinterHandle handle,
                                      const std::vector<std::uint8_t>& bytes,
                                      std::uint32_t& written) {
    std::vector<std::uint8_t> copy = bytes.empty() ? std::vector<std::uint8_t>(1) : bytes;
    DWORD count = 0;
    BoolResult result = Result(
        ::WritePrinter(ToHandle(handle), copy.data(), static_cast<DWORD>(bytes.size()), &count));
    written = count;
    return result;
}

BoolResult Win32Spooler::EndDocPrinter(platform::PrinterHandle handle) {
    return Result(::EndDocPrinter(ToHandle(handle)));
}

BoolResult Win32Spooler::GetJobA(platform::PrinterHandle handle, std::uint32_t jobId,
                                 std::uint32_t level, std::uint32_t bufferSize,
                                 platform::JobInfo1& job, std::uint32_t& needed) {
    std::vector<BYTE> buffer = EnumBuffer(bufferSize);
    DWORD bytes = 0;
    BoolResult result =
        Result(::GetJobA(ToHandle(handle), jobId, level, buffer.data(), bufferSize, &bytes));
    needed = bytes;
    if (result.NonZero() && level == 1) {
        const auto& r = *reinterpret_cast<const JOB_INFO_1A*>(buffer.data());
        job.jobId = r.JobId;
        job.printerName = Opt(r.pPrinterName);
        job.machineName = Opt(r.pMachineName);
        job.userName = Opt(r.pUserName);
        job.document = Opt(r.pDocument);
        job.datatype = Opt(r.pDatatype);
        job.statusText = Opt(r.pStatus);
        job.status = r.Status;
        job.priority = r.Priority;
        job.position = r.Position;
        job.totalPages = r.TotalPages;
        job.pagesPrinted = r.PagesPrinted;
    }
    return result;
}

}  // namespace win32
