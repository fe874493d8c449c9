// The service control manager through advapi32's ANSI calls.
#pragma once

#include "platform/services.h"

namespace win32 {

class Win32ServiceManager : public platform::ServiceManager {
public:
    platform::ScHandle OpenSCManagerA(const std::string& database, std::uint32_t access,
                                      std::uint32_t& lastError) override;
    platform::ScHandle OpenServiceA(platform::ScHandle manager, const std::string& serviceName,
                                    std::uint32_t access, std::uint32_t& lastError) override;
    platform::BoolResult QueryServiceStatus(platform::ScHandle service,
                                            platform::ServiceStatus& status) override;
    platform::BoolResult StartServiceA(platform::ScHandle service) override;
    platform::BoolResult QueryServiceConfigA(platform::ScHandle service,
                                             platform::ServiceConfig& config) override;
    platform::BoolResult ControlService(platform::ScHandle service, std::uint32_t control,
                                        platform::ServiceStatus& status) override;
    platform::BoolResult CloseServiceHandle(platform::ScHandle handle) override;
};

}  // namespace win32
