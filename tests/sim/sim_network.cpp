#include "sim/sim_network.h"

namespace sim {

std::uint32_t SimNetwork::ConnectTcp(const std::string& host, int port, std::uint32_t timeoutMs) {
    calls.push_back(
        FormatCall("ConnectTcp", {host, std::to_string(port), std::to_string(timeoutMs)}));
    if (auto error = failures.Check("ConnectTcp")) return *error;
    if (unknownHosts.count(host) != 0) return platform::net::kHostNotFound;
    if (listening.count({host, port}) != 0) return 0;
    clock_.Advance(timeoutMs);
    return platform::net::kTimedOut;
}

}  // namespace sim
