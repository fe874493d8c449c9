// The process token calls, on the installer's own process.
#pragma once

#include "platform/privileges.h"

namespace win32 {

class Win32ProcessToken : public platform::ProcessToken {
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
};

}  // namespace win32
