// The "Spooler" service through the service control manager, as SpoolerControl uses it.
#include "contract.h"

namespace contract {
namespace {

using platform::ServiceStatus;
namespace svc = platform::svc;

// Real services take a moment; the simulator's clock only moves when we sleep.
constexpr int kPollLimit = 200;
constexpr std::uint32_t kPollPause = 50;

bool WaitForState(ContractTarget& target, platform::ScHandle service, std::uint32_t state,
                  ServiceStatus& status) {
    for (int i = 0; i < kPollLimit; ++i) {
        platform::BoolResult query = target.services.QueryServiceStatus(service, status);
        if (!query.NonZero()) return false;
        if (status.currentState == state) return true;
        target.threads.Sleep(kPollPause);
    }
    return false;
}

struct OpenedSpooler {
    platform::ScHandle manager = 0;
    platform::ScHandle service = 0;
};

OpenedSpooler OpenSpooler(ContractTarget& target) {
    OpenedSpooler opened;
    std::uint32_t error = kSentinel;
    opened.manager =
        target.services.OpenSCManagerA("ServicesActive", svc::kManagerAllAccess, error);
    CHECK(opened.manager != 0, "OpenSCManagerA: null handle, error %u", error);
    if (!opened.manager) return opened;
    error = kSentinel;
    opened.service =
        target.services.OpenServiceA(opened.manager, "Spooler", svc::kServiceAllAccess, error);
    CHECK(opened.service != 0, "OpenServiceA(Spooler): null handle, error %u", error);
    return opened;
}

void Close(ContractTarget& target, OpenedSpooler& opened) {
    if (opened.service) EXPECT_OK(target, target.services.CloseServiceHandle(opened.service));
    if (opened.manager) EXPECT_OK(target, target.services.CloseServiceHandle(opened.manager));
}

}  // namespace

void EnsureSpoolerRunning(ContractTarget& target) {
    OpenedSpooler spooler = OpenSpooler(target);
    ServiceStatus status;
    bool stopped = spooler.service &&
                   target.services.QueryServiceStatus(spooler.service, status).NonZero() &&
                   status.currentState == svc::kStopped;
    if (stopped) {
        EXPECT_OK(target, target.services.StartServiceA(spooler.service));
        CHECK(WaitForState(target, spooler.service, svc::kRunning, status),
              "Spooler did not come up, state %u", status.currentState);
    }
    Close(target, spooler);
}

void RestartSpooler(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    OpenedSpooler spooler = OpenSpooler(target);
    if (!spooler.service) return;
    ServiceStatus status;
    EXPECT_OK(target, target.services.ControlService(spooler.service, svc::kControlStop, status));
    CHECK(WaitForState(target, spooler.service, svc::kStopped, status),
          "Spooler did not stop, state %u", status.currentState);
    EXPECT_OK(target, target.services.StartServiceA(spooler.service));
    CHECK(WaitForState(target, spooler.service, svc::kRunning, status),
          "Spooler did not come back, state %u", status.currentState);
    Close(target, spooler);
}

void SpoolerServiceCase(ContractTarget& target) {
    std::uint32_t error = kSentinel;
    platform::ScHandle manager =
        target.services.OpenSCManagerA("ServicesActive", svc::kManagerAllAccess, error);
    CHECK(manager != 0, "OpenSCManagerA: null handle, error %u", error);
    if (!manager) return;

    error = kSentinel;
    platform::ScHandle missing =
        target.services.OpenServiceA(manager, "NoSuchServiceHere", svc::kServiceAllAccess, error);
    CHECK(missing == 0 && error == platform::error::kServiceDoesNotExist,
          "OpenServiceA(missing): handle %s, error %u, expected null and 1060",
          missing ? "set" : "null", error);

    error = kSentinel;
    platform::ScHandle service =
        target.services.OpenServiceA(manager, "Spooler", svc::kServiceAllAccess, error);
    CHECK(service != 0, "OpenServiceA(Spooler): null handle, error %u", error);
    if (service) {
        // The pre-flight check's question: the spooler is set to start.
        platform::ServiceConfig config;
        EXPECT_OK(target, target.services.QueryServiceConfigA(service, config));
        CHECK(config.startType == svc::kAutoStart || config.startType == svc::kDemandStart,
              "Spooler start type %u, expected 2 or 3", config.startType);
        ServiceStatus status;
        EXPECT_OK(target, target.services.QueryServiceStatus(service, status));
        if (status.currentState == svc::kRunning) {
            // Left running by an earlier run: starting it again is refused.
            EXPECT_FAIL(target, target.services.StartServiceA(service),
                        platform::error::kServiceAlreadyRunning);
        } else {
            CHECK(status.currentState == svc::kStopped, "first state %u, expected 1 or 4",
                  status.currentState);
            EXPECT_OK(target, target.services.StartServiceA(service));
            CHECK(WaitForState(target, service, svc::kRunning, status),
                  "not running after start, state %u", status.currentState);
        }

        ServiceStatus stopAnswer;
        EXPECT_OK(target, target.services.ControlService(service, svc::kControlStop, stopAnswer));
        CHECK(stopAnswer.currentState == svc::kStopPending ||
                  stopAnswer.currentState == svc::kStopped,
              "stop answered state %u, expected 3 or 1", stopAnswer.currentState);
        CHECK(WaitForState(target, service, svc::kStopped, status),
              "not stopped after stop, state %u", status.currentState);
        EXPECT_FAIL(target, target.services.ControlService(service, svc::kControlStop, stopAnswer),
                    platform::error::kServiceNotActive);

        // Left running, as the installer would leave it.
        EXPECT_OK(target, target.services.StartServiceA(service));
        CHECK(WaitForState(target, service, svc::kRunning, status),
              "not running after restart, state %u", status.currentState);
        EXPECT_OK(target, target.services.CloseServiceHandle(service));
    }
    EXPECT_OK(target, target.services.CloseServiceHandle(manager));
}

}  // namespace contract
