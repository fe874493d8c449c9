// One question of the network: does a printer's raw port take a TCP
// connection? The adapter opens a socket, connects without blocking and
// waits at most the given time; nothing is sent.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

namespace net {
constexpr std::uint32_t kTimedOut = 10060;      // WSAETIMEDOUT
constexpr std::uint32_t kRefused = 10061;       // WSAECONNREFUSED
constexpr std::uint32_t kHostNotFound = 11001;  // WSAHOST_NOT_FOUND
}  // namespace net

class Network {
public:
    virtual ~Network() = default;
    // 0 when `host` accepted a connection on `port` within `timeoutMs`;
    // otherwise the Windows Sockets error (kTimedOut when the time ran out).
    virtual std::uint32_t ConnectTcp(const std::string& host, int port,
                                     std::uint32_t timeoutMs) = 0;
};

}  // namespace platform
