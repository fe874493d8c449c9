#include "sim/sim_services.h"

#include "sim/sim_text.h"

namespace sim {
namespace {

constexpr std::uint32_t kInvalidName = 123;
constexpr std::uint32_t kInvalidServiceControl = 1052;
constexpr std::uint32_t kCannotAcceptControl = 1061;
constexpr std::uint32_t kOwnProcess = 0x10;
constexpr std::uint32_t kAcceptStop = 0x1;

platform::BoolResult Fail(std::uint32_t error) {
    return {0, error};
}

}  // namespace

SimServiceManager::SimServiceManager(SimClock& clock) : clock_(clock) {
    AddService("Spooler");
}

void SimServiceManager::AddService(const std::string& name, std::uint32_t state) {
    Service service;
    service.name = name;
    service.state = state;
    services_[Upper(name)] = service;
}

void SimServiceManager::RemoveService(const std::string& name) {
    services_.erase(Upper(name));
}

void SimServiceManager::SetStartType(const std::string& name, std::uint32_t startType) {
    services_.at(Upper(name)).startType = startType;
}

void SimServiceManager::SetState(const std::string& name, std::uint32_t state) {
    Service& service = services_.at(Upper(name));
    service.state = state;
    service.pendingSince = clock_.Now();
    service.checkPoint = 0;
}

std::uint32_t SimServiceManager::State(const std::string& name) {
    Service& service = services_.at(Upper(name));
    Settle(service);
    return service.state;
}

void SimServiceManager::Settle(Service& service) {
    std::uint64_t elapsed = clock_.Now() - service.pendingSince;
    if (service.state == platform::svc::kStartPending) {
        ++service.checkPoint;
        if (!hangStarting && elapsed >= startDelayMs) {
            service.state = platform::svc::kRunning;
            service.checkPoint = 0;
            if (onStarted) onStarted(service.name);
        }
    } else if (service.state == platform::svc::kStopPending) {
        ++service.checkPoint;
        if (!hangStopping && elapsed >= stopDelayMs) {
            service.state = platform::svc::kStopped;
            service.checkPoint = 0;
        }
    }
}

platform::ServiceStatus SimServiceManager::StatusOf(const Service& service) const {
    platform::ServiceStatus status;
    status.serviceType = kOwnProcess;
    status.currentState = service.state;
    status.controlsAccepted = service.state == platform::svc::kRunning ? kAcceptStop : 0;
    bool pending = service.state == platform::svc::kStartPending ||
                   service.state == platform::svc::kStopPending;
    status.checkPoint = pending ? service.checkPoint : 0;
    status.waitHint = pending ? 2000 : 0;
    return status;
}

SimServiceManager::Service* SimServiceManager::ServiceFor(platform::ScHandle handle,
                                                          std::uint32_t& error) {
    auto it = handles_.find(handle);
    if (it == handles_.end() || it->second.isManager) {
        error = platform::error::kInvalidHandle;
        return nullptr;
    }
    auto service = services_.find(it->second.serviceKey);
    if (service == services_.end()) {
        error = platform::error::kInvalidHandle;
        return nullptr;
    }
    Settle(service->second);
    return &service->second;
}

platform::ScHandle SimServiceManager::OpenSCManagerA(const std::string& database,
                                                     std::uint32_t access,
                                                     std::uint32_t& lastError) {
    calls.push_back(FormatCall("OpenSCManagerA", {database, Hex(access)}));
    if (auto error = failures.Check("OpenSCManagerA")) {
        lastError = *error;
        return 0;
    }
    // Only the active database can be opened; an empty name means it too.
    if (!database.empty() && !EqualsNoCase(database, "ServicesActive")) {
        lastError = kInvalidName;
        return 0;
    }
    platform::ScHandle handle = nextHandle_;
    nextHandle_ += 8;
    handles_[handle] = Handle{true, ""};
    lastError = 0;
    return handle;
}

platform::ScHandle SimServiceManager::OpenServiceA(platform::ScHandle manager,
                                                   const std::string& serviceName,
                                                   std::uint32_t access, std::uint32_t& lastError) {
    calls.push_back(FormatCall("OpenServiceA", {Hex(manager), serviceName, Hex(access)}));
    if (auto error = failures.Check("OpenServiceA")) {
        lastError = *error;
        return 0;
    }
    auto it = handles_.find(manager);
    if (it == handles_.end() || !it->second.isManager) {
        lastError = platform::error::kInvalidHandle;
        return 0;
    }
    std::string key = Upper(serviceName);
    if (services_.count(key) == 0) {
        lastError = platform::error::kServiceDoesNotExist;
        return 0;
    }
    platform::ScHandle handle = nextHandle_;
    nextHandle_ += 8;
    handles_[handle] = Handle{false, key};
    lastError = 0;
    return handle;
}

platform::BoolResult SimServiceManager::QueryServiceStatus(platform::ScHandle service,
                                                           platform::ServiceStatus& status) {
    calls.push_back(FormatCall("QueryServiceStatus", {Hex(service)}));
    if (auto error = failures.Check("QueryServiceStatus")) return Fail(*error);
    std::uint32_t error = 0;
    Service* found = ServiceFor(service, error);
    if (!found) return Fail(error);
    status = StatusOf(*found);
    return {1, 0};
}

platform::BoolResult SimServiceManager::StartServiceA(platform::ScHandle service) {
    calls.push_back(FormatCall("StartServiceA", {Hex(service)}));
    if (auto error = failures.Check("StartServiceA")) return Fail(*error);
    std::uint32_t error = 0;
    Service* found = ServiceFor(service, error);
    if (!found) return Fail(error);
    if (found->startType == platform::svc::kDisabled)
        return Fail(platform::error::kServiceDisabled);
    if (found->state != platform::svc::kStopped) {
        return Fail(platform::error::kServiceAlreadyRunning);
    }
    found->state = platform::svc::kStartPending;
    found->pendingSince = clock_.Now();
    found->checkPoint = 0;
    ++startRequests;
    return {1, 0};
}

platform::BoolResult SimServiceManager::QueryServiceConfigA(platform::ScHandle service,
                                                            platform::ServiceConfig& config) {
    calls.push_back(FormatCall("QueryServiceConfigA", {Hex(service)}));
    if (auto error = failures.Check("QueryServiceConfigA")) return Fail(*error);
    std::uint32_t error = 0;
    Service* found = ServiceFor(service, error);
    if (!found) return Fail(error);
    config.serviceType = kOwnProcess;
    config.startType = found->startType;
    config.errorControl = 1;  // SERVICE_ERROR_NORMAL
    return {1, 0};
}

platform::BoolResult SimServiceManager::ControlService(platform::ScHandle service,
                                                       std::uint32_t control,
                                                       platform::ServiceStatus& status) {
    calls.push_back(FormatCall("ControlService", {Hex(service), std::to_string(control)}));
    if (auto error = failures.Check("ControlService")) return Fail(*error);
    std::uint32_t error = 0;
    Service* found = ServiceFor(service, error);
    if (!found) return Fail(error);
    // For these refusals Windows still fills in the status record.
    if (control != platform::svc::kControlStop) {
        status = StatusOf(*found);
        return Fail(kInvalidServiceControl);
    }
    if (found->state == platform::svc::kStopped) {
        status = StatusOf(*found);
        return Fail(platform::error::kServiceNotActive);
    }
    if (found->state != platform::svc::kRunning && found->state != platform::svc::kPaused) {
        status = StatusOf(*found);
        return Fail(kCannotAcceptControl);
    }
    found->state = platform::svc::kStopPending;
    found->pendingSince = clock_.Now();
    found->checkPoint = 0;
    ++stopRequests;
    status = StatusOf(*found);
    return {1, 0};
}

platform::BoolResult SimServiceManager::CloseServiceHandle(platform::ScHandle handle) {
    calls.push_back(FormatCall("CloseServiceHandle", {Hex(handle)}));
    if (auto error = failures.Check("CloseServiceHandle")) return Fail(*error);
    if (handles_.erase(handle) == 0) return Fail(platform::error::kInvalidHandle);
    return {1, 0};
}

}  // namespace sim
