// The service control manager, with services that take simulated time to
// start and stop. A pending state turns into the target state when a status
// query (or any other call) sees that enough of the clock has passed, so
// the logic only gets there by pausing between queries.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/services.h"
#include "sim/sim_calls.h"
#include "sim/sim_clock.h"

namespace sim {

class SimServiceManager : public platform::ServiceManager {
public:
    // "Spooler" exists and is stopped, as in a fresh Wine prefix.
    explicit SimServiceManager(SimClock& clock);

    platform::ScHandle OpenSCManagerA(const std::string& database, std::uint32_t access,
                                      std::uint32_t& lastError) override;
    platform::ScHandle OpenServiceA(platform::ScHandle manager, const std::string& serviceName,
                                    std::uint32_t access, std::uint32_t& lastError) override;
    platform::BoolResult QueryServiceStatus(platform::ScHandle service,
                                            platform::ServiceStatus& status) override;
    platform::BoolResult StartServiceA(platform::ScHandle service) override;
    platform::BoolResult QueryServiceConfigA(platform::ScHandle service,
                                             platform::ServiceConfig& config) override;
    platform::BoolResult ControlService(platform::ScHandle service, std::uint32_t control,
                                        platform::ServiceStatus& status) override;
    platform::BoolResult CloseServiceHandle(platform::ScHandle handle) override;

    // Test helpers (no log, no planned failures).
    void AddService(const std::string& name, std::uint32_t state = platform::svc::kStopped);
    void RemoveService(const std::string& name);
    // A disabled service refuses to start (1058), as on Windows.
    void SetStartType(const std::string& name, std::uint32_t startType);
    // Sets the state at once; RUNNING does not call onStarted.
    void SetState(const std::string& name, std::uint32_t state);
    // The state now, pending ones settled against the clock first.
    std::uint32_t State(const std::string& name);
    int OpenHandleCount() const { return static_cast<int>(handles_.size()); }

    // Apply to every service.
    std::uint64_t startDelayMs = 250;
    std::uint64_t stopDelayMs = 250;
    bool hangStarting = false;  // stays START_PENDING
    bool hangStopping = false;  // stays STOP_PENDING
    // Called with the service name each time a service reaches RUNNING.
    std::function<void(const std::string&)> onStarted;

    int startRequests = 0;  // successful StartServiceA calls
    int stopRequests = 0;   // successful ControlService STOP calls
    FailurePlan failures;
    std::vector<std::string> calls;

private:
    struct Service {
        std::string name;
        std::uint32_t state = platform::svc::kStopped;
        std::uint32_t startType = platform::svc::kAutoStart;
        std::uint64_t pendingSince = 0;
        std::uint32_t checkPoint = 0;
    };
    struct Handle {
        bool isManager = false;
        std::string serviceKey;
    };

    Service* ServiceFor(platform::ScHandle handle, std::uint32_t& error);
    void Settle(Service& service);
    platform::ServiceStatus StatusOf(const Service& service) const;

    SimClock& clock_;
    std::map<std::string, Service> services_;  // by upper-case name
    std::map<platform::ScHandle, Handle> handles_;
    platform::ScHandle nextHandle_ = 0x2000;
};

}  // namespace sim
