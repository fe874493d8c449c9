#include "base/spooler_control.h"

#include "base/messages.h"

namespace install {
namespace svc = platform::svc;

using platform::ScopedScHandle;

SpoolerControl::SpoolerControl(platform::ServiceManager& services, platform::Threads& threads,
                               platform::MessageBoxes& messages, ServiceWait wait)
    : services_(services), threads_(threads), messages_(messages), wait_(wait) {}

void SpoolerControl::Run(const std::string& serviceName, std::int32_t mode) {
    std::uint32_t error = 0;
    ScopedScHandle manager(
        services_, services_.OpenSCManagerA("ServicesActive", svc::kManagerAllAccess, error));
    ScopedScHandle status(services_, services_.OpenServiceA(manager.get(), serviceName,
                                                            svc::kServiceAllAccess, error));
    platform::ServiceStatus record;
    if (!services_.QueryServiceStatus(status.get(), record).NonZero()) {
        messages_.ShowMessageBox(app::AppBox(app::Message::kServiceStatusUnknown,
                                             "Service status is unknown",
                                             platform::mb::kIconInformation));
        // Without a state nothing is stopped; a start request is harmless
        // for a service that already runs, and brings up one that does not.
        ScopedScHandle control(services_, services_.OpenServiceA(manager.get(), serviceName,
                                                                 svc::kServiceAllAccess, error));
        if (services_.StartServiceA(control.get()).NonZero() &&
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
    if (!started.NonZero() && started.lastError != platform::error::kServiceAlreadyRunning) {
        messages_.ShowMessageBox(app::AppBox(app::Message::kServiceNotStarted,
                                             "The " + serviceName +
                                                 " service could not be started (error " +
                                                 std::to_string(started.lastError) + ").",
                                             platform::mb::kOk));
        return;
    }
    switch (WaitFor(status, record, svc::kRunning)) {
        case WaitOutcome::Reached: return;
        case WaitOutcome::TimedOut: ReportTimeout(serviceName, "start"); return;
        case WaitOutcome::QueryFailed: ReportLostStatus(serviceName, "start"); return;
    }
}

void SpoolerControl::StopAndStart(platform::ScHandle control, platform::ScHandle status,
                                  platform::ServiceStatus& record, const std::string& serviceName) {
    switch (RequestStop(control, status, record, serviceName)) {
        case StopRequest::Made: break;
        case StopRequest::AlreadyStopped: Start(control, status, record, serviceName); return;
        case StopRequest::Refused: return;
    }
    switch (WaitFor(status, record, svc::kStopped)) {
        case WaitOutcome::Reached: Start(control, status, record, serviceName); return;
        case WaitOutcome::TimedOut: ReportTimeout(serviceName, "stop"); return;
        case WaitOutcome::QueryFailed:
            // Its state is unknown, and it may well be stopped: a start
            // request is harmless for a running service and brings a
            // stopped one back; either way the operator is told.
            ReportLostStatus(serviceName, "stop");
            Start(control, status, record, serviceName);
            return;
    }
}

SpoolerControl::StopRequest SpoolerControl::RequestStop(platform::ScHandle control,
                                                        platform::ScHandle status,
                                                        platform::ServiceStatus& record,
                                                        const std::string& serviceName) {
    platform::BoolResult stop = services_.ControlService(control, svc::kControlStop, record);
    if (!stop.NonZero() && stop.lastError == platform::error::kServiceCannotAcceptControl &&
        record.currentState == svc::kStartPending) {
        // Still coming up: let it get there, then stop it.
        if (WaitFor(status, record, svc::kRunning) == WaitOutcome::Reached) {
            stop = services_.ControlService(control, svc::kControlStop, record);
        }
    }
    if (stop.NonZero()) return StopRequest::Made;
    switch (stop.lastError) {
        case platform::error::kServiceNotActive:
            record.currentState = svc::kStopped;
            return StopRequest::AlreadyStopped;
        case platform::error::kServiceCannotAcceptControl:
            if (record.currentState == svc::kStopPending) return StopRequest::Made;
            break;
        default: break;
    }
    // Refused: it keeps running as it was; waiting for a stop that was never
    // made would only hold the operator up.
    messages_.ShowMessageBox(app::AppBox(app::Message::kServiceNotStopped,
                                         "The " + serviceName +
                                             " service could not be stopped (error " +
                                             std::to_string(stop.lastError) + ").",
                                         platform::mb::kOk));
    return StopRequest::Refused;
}

SpoolerControl::WaitOutcome SpoolerControl::WaitFor(platform::ScHandle status,
                                                    platform::ServiceStatus& record,
                                                    std::uint32_t target) {
    const std::uint64_t begin = threads_.TickCount();
    bool lastQueryFailed = false;
    // The first test sees the state recorded before the request, so at
    // least one query follows a start or stop. A query that fails now and
    // then is waited out; only one still failing at the bound counts.
    // The last pause ends at the bound itself, so the last query sees the
    // state at the bound and nothing is asked after it.
    while (record.currentState != target) {
        const std::uint64_t elapsed = threads_.TickCount() - begin;
        if (elapsed >= wait_.boundMs) {
            return lastQueryFailed ? WaitOutcome::QueryFailed : WaitOutcome::TimedOut;
        }
        const std::uint64_t remaining = wait_.boundMs - elapsed;
        const std::uint32_t pause = Pause(elapsed);
        threads_.Sleep(pause < remaining ? pause : static_cast<std::uint32_t>(remaining));
        const platform::BoolResult query = services_.QueryServiceStatus(status, record);
        lastQueryFailed = !query.NonZero();
        if (lastQueryFailed) lastQueryError_ = query.lastError;
    }
    return WaitOutcome::Reached;
}

std::uint32_t SpoolerControl::Pause(std::uint64_t elapsedMs) const {
    // Short pauses while the service is quick, longer ones as it takes its
    // time: the wait overshoots the state change by a few per cent at most,
    // and a slow service is still asked only a few dozen times a second.
    const std::uint64_t pause = elapsedMs / 32;
    if (pause < 1) return 1;
    return pause > wait_.pauseMs ? wait_.pauseMs : static_cast<std::uint32_t>(pause);
}

void SpoolerControl::ReportLostStatus(const std::string& serviceName, const char* what) {
    messages_.ShowMessageBox(app::AppBox(
        app::Message::kServiceStatusUnreadable,
        "The status of the " + serviceName + " service could not be read while waiting for it to " +
            what + " (error " + std::to_string(lastQueryError_) + ").",
        platform::mb::kOk));
}

void SpoolerControl::ReportTimeout(const std::string& serviceName, const char* what) {
    messages_.ShowMessageBox(app::AppBox(app::Message::kServiceTimedOut,
                                         "The " + serviceName + " service did not " + what +
                                             " within " + std::to_string(wait_.boundMs / 1000) +
                                             " seconds.",
                                         platform::mb::kOk));
}

}  // namespace install
