// The TCP reachability question through Windows Sockets.
#pragma once

#include "platform/network.h"

namespace win32 {

class Win32Network : public platform::Network {
public:
    std::uint32_t ConnectTcp(const std::string& host, int port, std::uint32_t timeoutMs) override;
};

}  // namespace win32
