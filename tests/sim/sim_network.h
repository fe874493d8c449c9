// The network as the pre-flight check sees it: a set of addresses whose
// ports accept a connection. Any other address never answers, so the call
// takes its whole bound on the simulated clock, as a switched-off printer
// makes a real connect wait.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/network.h"
#include "sim/sim_calls.h"
#include "sim/sim_clock.h"

namespace sim {

class SimNetwork : public platform::Network {
public:
    explicit SimNetwork(SimClock& clock) : clock_(clock) {}

    std::uint32_t ConnectTcp(const std::string& host, int port, std::uint32_t timeoutMs) override;

    std::set<std::pair<std::string, int>> listening;
    // Names no resolver knows: WSAHOST_NOT_FOUND at once.
    std::set<std::string> unknownHosts;
    FailurePlan failures;
    std::vector<std::string> calls;

private:
    SimClock& clock_;
};

}  // namespace sim
