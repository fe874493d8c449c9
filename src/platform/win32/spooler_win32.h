// The print spooler through winspool's ANSI calls.
#pragma once

#include "platform/spooler.h"

namespace win32 {

class Win32Spooler : public platform::Spooler {
public:
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
};

}  // namespace win32
