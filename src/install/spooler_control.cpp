#include "install/spooler_control.h"

namespace install {
namespace svc = platform::svc;

namespace {

// Closes a service-manager handle when the call is done with it.
class ScopedScHandle {
public:
    ScopedScHandle(platform::ServiceManager& services, platform::ScHandle handle)
        : services_(services), handle_(handle) {}
    ~ScopedScHandle() {
        if (handle_ != 0) (void)services_.CloseServiceHandle(handle_);
    }
    ScopedScHandle(const ScopedScHandle&) = delete;
    ScopedScHandle& operator=(const ScopedScHandle&) = delete;
    platform::ScHandle get() const { return handle_; }

private:
    platform::ServiceManager& services_;
    platform::ScHandle handle_;
};

}  // namespace

SpoolerControl::SpoolerControl(platform::ServiceManager& services, platform::Threads& threads,
                               platform::MessageBoxes& messages, ServiceWait wait)
    : services_(services), threads_(threads), messages_(messages), wait_(wait) {}

void SpoolerControl::Run(const std::string& serviceName, std::int32_t mode) {
    std::uint32_t error = 0;
    ScopedScHandle manager(services_,
                           services_.OpenSCManagerA("ServicesActive", svc::kManagerAllAccess, error));
    ScopedScHandle status(services_, services_.OpenServiceA(manager.get(), serviceName,
                                                            svc::kServiceAllAccess, error));
    platform::ServiceStatus record;
    if (!services_.QueryServiceStatus(status.get(), record).Succeeded()) {
        messages_.AppMessageBox("Service status is unknown", platform::mb::kIconInformation);
        // Without a state nothing is stopped; a start request is harmless
        // for a service that already runs, and brings up one that does not.
        ScopedScHandle control(services_, services_.OpenServiceA(manager.get(), serviceName,
                                                                 svc::kServiceAllAccess, error));
        if (services_.StartServiceA(control.get()).Succeeded() &&
            WaitFor(status.get(), record, svc::kRunning) == WaitOutcome::TimedOut) {
            ReportTimeout(serviceName, "start");
        }
        return;
    }
    const bool stopped = record.currentState == svc::kStopped;
    if (mode == kEnsureRunning && !stopped) return;

    ScopedScHandle control(services_, services_.OpenServiceA(manager.get(), serviceName,
                                                             svc::kServiceAllAccess, error));
    if (stopped) {
        Start(control.get(), status.get(), record, serviceName);
    } else {
        StopAndStart(control.get(), status.get(), record, serviceName);
    }
}

void SpoolerControl::Start(platform::ScHandle control, platform::ScHandle status,
                           platform::ServiceStatus& record, const std::string& serviceName) {
    const platform::BoolResult started = services_.StartServiceA(control);
    // A refused start never reaches the running state; waiting would only
    // hold the operator up for the whole bound.
    if (!started.Succeeded() && started.lastError != platform::error::kServiceAlreadyRunning) {
        messages_.AppMessageBox("The " + serviceName + " service could not be started (error " +
                                    std::to_string(started.lastError) + ").",
                                platform::mb::kOk);
        return;
    }
    if (WaitFor(status, record, svc::kRunning) == WaitOutcome::TimedOut) {
        ReportTimeout(serviceName, "start");
    }
}

void SpoolerControl::StopAndStart(platform::ScHandle control, platform::ScHandle status,
                                  platform::ServiceStatus& record,
                                  const std::string& serviceName) {
    (void)services_.ControlService(control, svc::kControlStop, record);
    switch (WaitFor(status, record, svc::kStopped)) {
        case WaitOutcome::Reached: Start(control, status, record, serviceName); return;
        case WaitOutcome::TimedOut: ReportTimeout(serviceName, "stop"); return;
        case WaitOutcome::QueryFailed: return;
    }
}

SpoolerControl::WaitOutcome SpoolerControl::WaitFor(platform::ScHandle status,
                                                    platform::ServiceStatus& record,
                                                    std::uint32_t target) {
    const std::uint64_t begin = threads_.TickCount();
    // The first test sees the state recorded before the request, so at
    // least one query follows a start or stop.
    while (record.currentState != target) {
        if (threads_.TickCount() - begin >= wait_.boundMs) return WaitOutcome::TimedOut;
        threads_.Sleep(wait_.pauseMs);
        if (!services_.QueryServiceStatus(status, record).Succeeded()) {
            return WaitOutcome::QueryFailed;
        }
    }
    return WaitOutcome::Reached;
}

void SpoolerControl::ReportTimeout(const std::string& serviceName, const char* what) {
    messages_.AppMessageBox("The " + serviceName + " service did not " + what + " within " +
                                std::to_string(wait_.boundMs / 1000) + " seconds.",
                            platform::mb::kOk);
}

}  // namespace install
