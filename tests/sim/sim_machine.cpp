#include "sim/sim_machine.h"

#include "sim/sim_text.h"

namespace sim {

SimMachine::SimMachine()
    : threads(clock),
      profile(files),
      services(clock),
      spooler(registry, files, &system),
      network(clock) {
    // As the spooler's environment: kernel32 without IsWow64Process means 32-bit Windows.
    files.wow64Process = [this] { return system.hasIsWow64 && system.wow64; };
    spooler.clock = &clock;
    services.onStarted = [this](const std::string& name) {
        if (EqualsNoCase(name, "Spooler")) spooler.OnServiceStarted();
    };
}

void SimMachine::RequireRunningSpooler() {
    spooler.serviceRunning = [this] {
        return services.State("Spooler") == platform::svc::kRunning;
    };
}

platform::Platform SimMachine::MakePlatform(platform::DialogWindow& window) {
    return platform::Platform{window, spooler, registry,  services, files,  profile,
                              system, threads, libraries, token,    serial, network};
}

}  // namespace sim
