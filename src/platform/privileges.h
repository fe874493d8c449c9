// The process token calls that enable one privilege of the installer's own
// process (the driver-loading privilege, before a printer is created), and
// the two questions the pre-flight check asks of the token.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

using TokenHandle = std::uintptr_t;

struct Luid {
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;
};

namespace token {
constexpr std::uint32_t kAdjustPrivileges = 0x20;
constexpr std::uint32_t kQuery = 0x08;
constexpr std::uint32_t kPrivilegeEnabled = 2;
}  // namespace token

class ProcessToken {
public:
    virtual ~ProcessToken() = default;
    // Each is non-zero on success, as the calls document.
    virtual BoolResult OpenProcessToken(std::uint32_t access, TokenHandle& token) = 0;
    virtual BoolResult LookupPrivilegeValueA(const std::string& name, Luid& luid) = 0;
    // One privilege, not disabling the others, no previous state asked for.
    virtual BoolResult AdjustTokenPrivileges(TokenHandle token, const Luid& luid,
                                             std::uint32_t attributes) = 0;
    virtual BoolResult CloseHandle(TokenHandle token) = 0;
    // GetTokenInformation(TokenPrivileges): every privilege the token holds,
    // enabled or not.
    virtual BoolResult GetTokenPrivileges(TokenHandle token, std::vector<Luid>& held) = 0;
    // CheckTokenMembership of the caller's own token in BUILTIN\Administrators;
    // under UAC a filtered (not elevated) token is no member.
    virtual BoolResult CheckAdministratorsMembership(bool& member) = 0;
};

}  // namespace platform
