// The process token, simulated: the driver-loading privilege can be looked
// up and enabled; the tests read what was enabled, and say what the token
// holds and whether it is an administrator's.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/privileges.h"
#include "sim/sim_calls.h"

namespace sim {

class SimProcessToken : public platform::ProcessToken {
public:
    platform::BoolResult OpenProcessToken(std::uint32_t access,
                                          platform::TokenHandle& token) override;
    platform::BoolResult LookupPrivilegeValueA(const std::string& name,
                                               platform::Luid& luid) override;
    platform::BoolResult AdjustTokenPrivileges(platform::TokenHandle token,
                                               const platform::Luid& luid,
                                               std::uint32_t attributes) override;
    platform::BoolResult CloseHandle(platform::TokenHandle token) override;
    platform::BoolResult GetTokenPrivileges(platform::TokenHandle token,
                                            std::vector<platform::Luid>& held) override;
    platform::BoolResult CheckAdministratorsMembership(bool& member) override;

    std::set<std::string> enabled;  // privilege names
    // What the token holds: an elevated administrator's token by default.
    std::set<std::string> held = {"SeShutdownPrivilege", "SeLoadDriverPrivilege"};
    bool administrator = true;
    int openHandles = 0;
    FailurePlan failures;
    std::vector<std::string> calls;
};

}  // namespace sim
