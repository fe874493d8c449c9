// One simulated Windows machine: every platform service, wired together as
// on a real one (the profile reader reads the simulated disk, the spooler
// keeps its keys in the simulated registry, starting the "Spooler" service
// runs the spooler's start, the file calls are redirected as the system
// information's word size says, and everything shares one clock).
#pragma once

#include "platform/platform.h"
#include "sim/sim_clock.h"
#include "sim/sim_files.h"
#include "sim/sim_libraries.h"
#include "sim/sim_network.h"
#include "sim/sim_privileges.h"
#include "sim/sim_profile.h"
#include "sim/sim_registry.h"
#include "sim/sim_serial.h"
#include "sim/sim_services.h"
#include "sim/sim_spooler.h"
#include "sim/sim_system_info.h"
#include "sim/sim_threads.h"

namespace sim {

class SimMachine {
public:
    SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    platform::Platform MakePlatform(platform::DialogWindow& window);
    // From now on spooler calls fail with 1722 while the "Spooler" service
    // is not running, as on Windows (off by default: most tests start with
    // the service stopped, as Wine does, and never start it).
    void RequireRunningSpooler();

    // Declared in construction order: later members take earlier ones.
    SimClock clock;
    SimThreads threads;
    SimFiles files;
    SimProfileReader profile;
    SimRegistry registry;
    SimSystemInfo system;
    SimServiceManager services;
    SimSpooler spooler;
    SimLibraries libraries;
    SimProcessToken token;
    SimSerialLines serial;
    SimNetwork network;
};

}  // namespace sim
