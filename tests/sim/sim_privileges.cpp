#include "sim/sim_privileges.h"

#include <array>

namespace sim {
namespace {

constexpr platform::TokenHandle kToken = 0x7000;
// The few privileges the simulated machine knows, by LUID low part.
constexpr std::array<const char*, 3> kPrivileges = {"SeShutdownPrivilege", "SeLoadDriverPrivilege",
                                                    "SeDebugPrivilege"};
constexpr std::uint32_t kFirstLuid = 19;

platform::BoolResult Fail(std::uint32_t error) {
    return {0, error};
}

}  // namespace

platform::BoolResult SimProcessToken::OpenProcessToken(std::uint32_t access,
                                                       platform::TokenHandle& token) {
    calls.push_back(FormatCall("OpenProcessToken", {std::to_string(access)}));
    if (auto error = failures.Check("OpenProcessToken")) return Fail(*error);
    token = kToken;
    ++openHandles;
    return {1, 0};
}

platform::BoolResult SimProcessToken::LookupPrivilegeValueA(const std::string& name,
                                                            platform::Luid& luid) {
    calls.push_back(FormatCall("LookupPrivilegeValueA", {name}));
    if (auto error = failures.Check("LookupPrivilegeValueA")) return Fail(*error);
    for (std::size_t i = 0; i < kPrivileges.size(); ++i) {
        if (name == kPrivileges[i]) {
            luid = platform::Luid{kFirstLuid + static_cast<std::uint32_t>(i), 0};
            return {1, 0};
        }
    }
    return Fail(1313);  // ERROR_NO_SUCH_PRIVILEGE
}

platform::BoolResult SimProcessToken::AdjustTokenPrivileges(platform::TokenHandle token,
                                                            const platform::Luid& luid,
                                                            std::uint32_t attributes) {
    calls.push_back(FormatCall("AdjustTokenPrivileges",
                               {std::to_string(luid.lowPart), std::to_string(attributes)}));
    if (auto error = failures.Check("AdjustTokenPrivileges")) return Fail(*error);
    if (token != kToken || openHandles == 0) return Fail(platform::error::kInvalidHandle);
    const std::uint32_t index = luid.lowPart - kFirstLuid;
    if (index >= kPrivileges.size()) return Fail(platform::error::kInvalidParameter);
    if (attributes == platform::token::kPrivilegeEnabled) enabled.insert(kPrivileges[index]);
    return {1, 0};
}

platform::BoolResult SimProcessToken::CloseHandle(platform::TokenHandle token) {
    calls.push_back("CloseHandle()");
    if (token != kToken || openHandles == 0) return Fail(platform::error::kInvalidHandle);
    --openHandles;
    return {1, 0};
}

platform::BoolResult SimProcessToken::GetTokenPrivileges(platform::TokenHandle token,
                                                         std::vector<platform::Luid>& heldLuids) {
    calls.push_back("GetTokenInformation(TokenPrivileges)");
    if (auto error = failures.Check("GetTokenInformation")) return Fail(*error);
    if (token != kToken || openHandles == 0) return Fail(platform::error::kInvalidHandle);
    heldLuids.clear();
    for (std::size_t i = 0; i < kPrivileges.size(); ++i) {
        if (held.count(kPrivileges[i]) != 0) {
            heldLuids.push_back(platform::Luid{kFirstLuid + static_cast<std::uint32_t>(i), 0});
        }
    }
    return {1, 0};
}

platform::BoolResult SimProcessToken::CheckAdministratorsMembership(bool& member) {
    calls.push_back("CheckTokenMembership(Administrators)");
    if (auto error = failures.Check("CheckTokenMembership")) return Fail(*error);
    member = administrator;
    return {1, 0};
}

}  // namespace sim
