// Starts, or stops and starts again, a Windows service (in practice the
// print spooler) and waits for it to get there. The waits pause between
// status queries and give up after a bound, telling the operator so: the
// callers have no failure path and carry on, and their own spooler calls
// then report what went wrong.
#pragma once

#include <cstdint>
#include <string>

#include "platform/services.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace install {

enum SpoolerMode : std::int32_t {
    kRestart = 0,
    kEnsureRunning = 16,
};

constexpr const char* kSpoolerService = "Spooler";

struct ServiceWait {
    std::uint32_t pauseMs = 50;  // the longest pause between status queries
    std::uint32_t boundMs = 30000;
};

class SpoolerControl {
public:
    SpoolerControl(platform::ServiceManager& services, platform::Threads& threads,
                   platform::MessageBoxes& messages, ServiceWait wait = {});

    // Any mode other than kEnsureRunning restarts.
    void Run(const std::string& serviceName, std::int32_t mode);

private:
    enum class WaitOutcome { Reached, TimedOut, QueryFailed };
    enum class StopRequest { Made, AlreadyStopped, Refused };

    void Start(platform::ScHandle control, platform::ScHandle status,
               platform::ServiceStatus& record, const std::string& serviceName);
    void StopAndStart(platform::ScHandle control, platform::ScHandle status,
                      platform::ServiceStatus& record, const std::string& serviceName);
    StopRequest RequestStop(platform::ScHandle control, platform::ScHandle status,
                            platform::ServiceStatus& record, const std::string& serviceName);
    WaitOutcome WaitFor(platform::ScHandle status, platform::ServiceStatus& record,
                        std::uint32_t target);
    void ReportTimeout(const std::string& serviceName, const char* what);
    std::uint32_t Pause(std::uint64_t elapsedMs) const;
    void ReportLostStatus(const std::string& serviceName, const char* what);

    platform::ServiceManager& services_;
    platform::Threads& threads_;
    platform::MessageBoxes& messages_;
    ServiceWait wait_;
    std::uint32_t lastQueryError_ = 0;
};

}  // namespace install
