// The print spooler: drivers (by name and environment), monitors, printers
// and ports by name, each enumerated in the order it was added. Besides the
// calls it keeps the spooler's registry bookkeeping for every printer, and
// it plays the part the real spooler plays after a restart: it takes each
// printer's port from the registry and sets "PrinterOnLine" in the current
// hardware profile when a printer is attached to that port.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/spooler.h"
#include "sim/sim_calls.h"
#include "sim/sim_clock.h"
#include "sim/sim_files.h"
#include "sim/sim_registry.h"

namespace sim {

class SimSystemInfo;

// One AddPortA / ConfigurePortA / DeletePortA call: the owner window and
// the monitor or port name passed.
struct PortRequest {
    std::string call;
    platform::WindowHandle owner = 0;
    std::string name;
};

using PortHook =
    std::function<platform::BoolResult(platform::WindowHandle owner, const std::string& name)>;

class SimSpooler : public platform::Spooler {
public:
    static constexpr const char* kEnvironmentX86 = "Windows NT x86";
    static constexpr const char* kEnvironmentX64 = "Windows x64";
    static constexpr const char* kDriverDirectoryX86 =
        "C:\\windows\\system32\\spool\\drivers\\w32x86";
    static constexpr const char* kDriverDirectoryX64 = "C:\\windows\\system32\\spool\\drivers\\x64";
    static constexpr const char* kLocalPort = "Local Port";
    static constexpr const char* kTcpIpPort = "Standard TCP/IP Port";
    // Prefixes of the printer keys the spooler keeps (each ends with '\\').
    static constexpr const char* kPrintersKey =
        "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
    static constexpr const char* kControlSet001PrintersKey =
        "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
    static constexpr const char* kSoftwarePrintersKey =
        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";

    // With `system`, the local environment follows its word size
    // (WOW64: "Windows x64"); without, it is "Windows NT x86".
    SimSpooler(SimRegistry& registry, SimFiles& files, const SimSystemInfo* system = nullptr);

    platform::BoolResult GetPrinterDriverDirectoryA(const std::string& environment,
                                                    std::uint32_t level, std::uint32_t bufferSize,
                                                    std::string& directory,
                                                    std::uint32_t& needed) override;
    platform::BoolResult AddPrinterDriverExA(std::uint32_t level, const platform::DriverInfo3& info,
                                             std::uint32_t copyFlags) override;
    platform::BoolResult AddMonitorA(std::uint32_t level,
                                     const platform::MonitorInfo2& info) override;
    platform::BoolResult DeleteMonitorA(const platform::OptString& environment,
                                        const std::string& monitorName) override;
    platform::BoolResult DeletePrinterDriverA(const std::string& environment,
                                              const std::string& driverName) override;
    platform::BoolResult DeletePrinterDriverExA(const std::string& environment,
                                                const std::string& driverName,
                                                std::uint32_t deleteFlags,
                                                std::uint32_t versionFlags) override;
    platform::BoolResult OpenPrinterA(const std::string& printerName,
                                      platform::PrinterHandle& handle,
                                      const platform::PrinterDefaults& defaults) override;
    platform::BoolResult SetPrinterA(platform::PrinterHandle handle, std::uint32_t level,
                                     std::uint32_t command) override;
    platform::BoolResult DeletePrinter(platform::PrinterHandle handle) override;
    platform::BoolResult ClosePrinter(platform::PrinterHandle handle) override;
    platform::PrinterHandle AddPrinterA(std::uint32_t level, const platform::PrinterInfo2& info,
                                        std::uint32_t& lastError) override;
    platform::BoolResult EnumPortsA(std::uint32_t level, std::uint32_t bufferSize,
                                    std::vector<platform::PortInfo2>& ports, std::uint32_t& needed,
                                    std::uint32_t& returned) override;
    platform::BoolResult EnumPrintersA(std::uint32_t flags, const std::string& name,
                                       std::uint32_t level, std::uint32_t bufferSize,
                                       std::vector<platform::PrinterInfo2>& printers,
                                       std::uint32_t& needed, std::uint32_t& returned) override;
    platform::BoolResult EnumPrinterDriversA(const std::string& environment, std::uint32_t level,
                                             std::uint32_t bufferSize,
                                             std::vector<platform::DriverInfo3>& drivers,
                                             std::uint32_t& needed,
                                             std::uint32_t& returned) override;
    platform::BoolResult XcvPortData(platform::PrinterHandle xcv, const std::string& command,
                                     const platform::TcpIpPortData& data,
                                     std::uint32_t& status) override;
    platform::BoolResult AddPortA(platform::WindowHandle owner,
                                  const std::string& monitorName) override;
    platform::BoolResult ConfigurePortA(platform::WindowHandle owner,
                                        const std::string& portName) override;
    platform::BoolResult DeletePortA(platform::WindowHandle owner,
                                     const std::string& portName) override;
    std::uint32_t StartDocPrinterA(platform::PrinterHandle handle, std::uint32_t level,
                                   const platform::DocInfo1& info,
                                   std::uint32_t& lastError) override;
    platform::BoolResult WritePrinter(platform::PrinterHandle handle,
                                      const std::vector<std::uint8_t>& bytes,
                                      std::uint32_t& written) override;
    platform::BoolResult EndDocPrinter(platform::PrinterHandle handle) override;
    platform::BoolResult GetJobA(platform::PrinterHandle handle, std::uint32_t jobId,
                                 std::uint32_t level, std::uint32_t bufferSize,
                                 platform::JobInfo1& job, std::uint32_t& needed) override;

    // What the spooler holds (null when absent).
    const platform::DriverInfo3* Driver(const std::string& name,
                                        const std::string& environment) const;
    int DriverCount() const { return static_cast<int>(drivers_.size()); }
    const platform::MonitorInfo2* Monitor(const std::string& name) const;
    const platform::PrinterInfo2* Printer(const std::string& name) const;
    std::vector<std::string> PrinterNames() const;
    const std::vector<platform::PortInfo2>& Ports() const { return ports_; }
    std::string LocalEnvironment() const;
    int OpenPrinterHandleCount() const { return static_cast<int>(handles_.size()); }

    // Setting the machine up, without log or planned failures.
    void AddPort(const std::string& name, const std::string& description = kLocalPort,
                 const std::string& monitor = kLocalPort);
    bool RemovePort(const std::string& name);
    void ClearPorts();
    void SeedDriver(const std::string& name, const std::string& environment);
    void SeedMonitor(const std::string& name, const std::string& dllName);
    // A printer as AddPrinterA would leave it, registry keys included.
    void SeedPrinter(const std::string& name, const std::string& driverName,
                     const std::string& portName);
    // A printer answers on `port` (read at each service start).
    void SetPrinterAttached(const std::string& port, bool attached = true);
    // AddPortA for the "Standard TCP/IP Port" monitor adds `portName` and succeeds.
    void ScriptAddTcpIpPort(const std::string& portName);
    // DeletePortA removes the port and succeeds.
    void ScriptDeletePortRemoves();
    // The address and number of a Standard TCP/IP port made through XcvData.
    struct TcpIpPortConfig {
        std::string host;
        std::uint32_t number = 0;
    };
    std::optional<TcpIpPortConfig> TcpIpPort(const std::string& name) const;

    // The spooler's start: re-reads each printer's port from the registry and
    // writes its "PrinterOnLine". SimMachine calls it from the service hook.
    void OnServiceStarted();

    // A job StartDocPrinterA began, with every byte written to it.
    struct Job {
        std::uint32_t id = 0;
        std::string printer;
        platform::DocInfo1 doc;
        std::vector<std::uint8_t> bytes;
        bool ended = false;
        std::uint64_t endedAt = 0;
    };
    const std::vector<Job>& Jobs() const { return jobs_; }

    // How the printer takes an ended job: the job shows `jobStatus` until
    // `jobLeavesAfterMs` have passed on `clock` since EndDocPrinter, then
    // leaves the queue; unset, it never leaves. Without a clock, time stands.
    std::optional<std::uint64_t> jobLeavesAfterMs = 0;
    std::uint32_t jobStatus = platform::spool::kJobPrinting;
    const SimClock* clock = nullptr;

    // Where GetPrinterDriverDirectoryA points (a test may move them).
    std::string driverDirectoryX86 = kDriverDirectoryX86;
    std::string driverDirectoryX64 = kDriverDirectoryX64;
    // Wine's AddPrinterA takes any port name; Windows answers 1796.
    bool acceptAnyPort = false;
    // Wine's spooler runs inside the program, and a printer handle keeps
    // working across a restart of the service; Windows' spooler is a process
    // of its own, and its handles end with it (calls then fail with 6).
    bool handlesSurviveRestart = true;
    // When set and it answers false, every call fails with 1722 (RPC server
    // unavailable), as when the Spooler service is not running.
    std::function<bool()> serviceRunning;
    // Scripted port monitor windows; unset, the calls fail with 50.
    PortHook onAddPort;
    PortHook onConfigurePort;
    PortHook onDeletePort;

    // What was passed last (also when the call failed).
    std::optional<platform::DriverInfo3> lastDriverInfo;
    std::uint32_t lastCopyFlags = 0;
    std::optional<platform::MonitorInfo2> lastMonitorInfo;
    std::optional<platform::PrinterInfo2> lastPrinterInfo;
    std::optional<platform::PrinterDefaults> lastPrinterDefaults;
    std::vector<std::string> purged;  // printer names, one per purge
    std::vector<PortRequest> portRequests;
    int serviceStarts = 0;
    FailurePlan failures;
    std::vector<std::string> calls;

private:
    struct StoredDriver {
        platform::DriverInfo3 info;
        std::string environment;
    };
    struct StoredPrinter {
        platform::PrinterInfo2 info;
        bool pendingDeletion = false;
    };

    std::optional<std::string> DriverDirectory(const std::string& environment) const;
    bool KnownEnvironment(const std::string& environment) const;
    // Logs the call and answers a planned failure or a stopped service.
    std::optional<std::uint32_t> Begin(const std::string& name,
                                       std::initializer_list<std::string> args);
    // A stored driver as the enumeration reports it.
    platform::DriverInfo3 Listed(const StoredDriver& driver) const;
    std::vector<std::string> DriverFiles(const StoredDriver& driver) const;
    platform::BoolResult RemoveDriver(const std::string& environment, const std::string& driverName,
                                      bool withFiles);
    StoredPrinter* FindPrinter(const std::string& name);
    const StoredPrinter* FindPrinter(const std::string& name) const;
    bool PortExists(const std::string& name) const;
    bool HasDriver(const std::string& name) const;
    std::uint32_t CheckDriverFile(const platform::OptString& path, const std::string& directory,
                                  std::string& fullPath) const;
    void StorePrinter(const platform::PrinterInfo2& info);
    void WritePrinterKeys(const std::string& name, const std::string& port);
    void RemovePrinter(const std::string& name);
    platform::PrinterHandle NewHandle(const std::string& printerName);
    bool Left(const Job& job) const;
    platform::BoolResult PortCall(const std::string& call, platform::WindowHandle owner,
                                  const std::string& name, const PortHook& hook);

    SimRegistry& registry_;
    SimFiles& files_;
    const SimSystemInfo* system_;
    std::vector<StoredDriver> drivers_;
    std::vector<platform::MonitorInfo2> monitors_;
    std::vector<StoredPrinter> printers_;
    std::vector<platform::PortInfo2> ports_;
    std::set<std::string> attachedPorts_;  // upper-case names
    std::map<platform::PrinterHandle, std::string> handles_;
    // Handles on ",XcvMonitor Standard TCP/IP Port", with the access asked for.
    std::map<platform::PrinterHandle, std::uint32_t> xcvHandles_;
    std::map<std::string, TcpIpPortConfig> tcpIpPorts_;  // upper-case names
    platform::PrinterHandle nextHandle_ = 0x3000;
    std::vector<Job> jobs_;
    std::map<platform::PrinterHandle, std::size_t> openDocs_;  // handle -> index in jobs_
    std::uint32_t nextJobId_ = 2;
};

}  // namespace sim
