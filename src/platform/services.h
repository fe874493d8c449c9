// The service control manager calls that start and stop the print spooler,
// and read how it is set to start.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

// QUERY_SERVICE_CONFIGA as the logic reads it.
struct ServiceConfig {
    std::uint32_t serviceType = 0;
    std::uint32_t startType = 0;
    std::uint32_t errorControl = 0;
};

namespace svc {
constexpr std::uint32_t kStopped = 1;
constexpr std::uint32_t kStartPending = 2;
constexpr std::uint32_t kStopPending = 3;
constexpr std::uint32_t kRunning = 4;
constexpr std::uint32_t kPaused = 7;
constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kManagerAllAccess = 0xF003F;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
constexpr std::uint32_t kManagerConnect = 0x0001;
constexpr std::uint32_t kQueryConfig = 0x0001;
constexpr std::uint32_t kAutoStart = 2;
constexpr std::uint32_t kDemandStart = 3;
constexpr std::uint32_t kDisabled = 4;
}  // namespace svc

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // Zero on failure; lastError says why.
    virtual ScHandle OpenSCManagerA(const std::string& database, std::uint32_t access,
                                    std::uint32_t& lastError) = 0;
    virtual ScHandle OpenServiceA(ScHandle manager, const std::string& serviceName,
                                  std::uint32_t access, std::uint32_t& lastError) = 0;
    virtual BoolResult QueryServiceStatus(ScHandle service, ServiceStatus& status) = 0;
    virtual BoolResult StartServiceA(ScHandle service) = 0;
    // Needs SERVICE_QUERY_CONFIG; the adapter sizes the record.
    virtual BoolResult QueryServiceConfigA(ScHandle service, ServiceConfig& config) = 0;
    virtual BoolResult ControlService(ScHandle service, std::uint32_t control,
                                      ServiceStatus& status) = 0;
    virtual BoolResult CloseServiceHandle(ScHandle handle) = 0;
};

// Closes a service-manager or service handle when it goes out of scope.
class ScopedScHandle {
public:
    ScopedScHandle(ServiceManager& services, ScHandle handle)
        : services_(services), handle_(handle) {}
    ~ScopedScHandle() {
        if (handle_ != 0) (void)services_.CloseServiceHandle(handle_);
    }
    ScopedScHandle(const ScopedScHandle&) = delete;
    ScopedScHandle& operator=(const ScopedScHandle&) = delete;
    ScHandle get() const { return handle_; }

private:
    ServiceManager& services_;
    ScHandle handle_;
};

}  // namespace platform
