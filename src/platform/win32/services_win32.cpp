// advapi32's service control calls. SC_HANDLEs go to the logic, which closes them.
#include "platform/win32/services_win32.h"

#include <windows.h>

#include <vector>

namespace win32 {
namespace {

SC_HANDLE ToHandle(platform::ScHandle handle) {
    return reinterpret_cast<SC_HANDLE>(handle);
}

platform::BoolResult Result(BOOL value) {
    platform::BoolResult result;
    result.lastError = ::GetLastError();
    result.value = value;
    return result;
}

void Copy(const SERVICE_STATUS& from, platform::ServiceStatus& to) {
    to.serviceType = from.dwServiceType;
    to.currentState = from.dwCurrentState;
    to.controlsAccepted = from.dwControlsAccepted;
    to.win32ExitCode = from.dwWin32ExitCode;
    to.serviceSpecificExitCode = from.dwServiceSpecificExitCode;
    to.checkPoint = from.dwCheckPoint;
    to.waitHint = from.dwWaitHint;
}

}  // namespace

platform::ScHandle Win32ServiceManager::OpenSCManagerA(const std::string& database,
                                                       std::uint32_t access,
                                                       std::uint32_t& lastError) {
    SC_HANDLE manager =
        ::OpenSCManagerA(nullptr, database.empty() ? nullptr : database.c_str(), access);
    lastError = manager ? platform::error::kSuccess : ::GetLastError();
    return reinterpret_cast<platform::ScHandle>(manager);
}

platform::ScHandle Win32ServiceManager::OpenServiceA(platform::ScHandle manager,
                                                     const std::string& serviceName,
                                                     std::uint32_t access,
                                                     std::uint32_t& lastError) {
    SC_HANDLE service = ::OpenServiceA(ToHandle(manager), serviceName.c_str(), access);
    lastError = service ? platform::error::kSuccess : ::GetLastError();
    return reinterpret_cast<platform::ScHandle>(service);
}

platform::BoolResult Win32ServiceManager::QueryServiceStatus(platform::ScHandle service,
                                                             platform::ServiceStatus& status) {
    SERVICE_STATUS record = {};
    platform::BoolResult result = Result(::QueryServiceStatus(ToHandle(service), &record));
    if (result.NonZero()) Copy(record, status);
    return result;
}

platform::BoolResult Win32ServiceManager::StartServiceA(platform::ScHandle service) {
    return Result(::StartServiceA(ToHandle(service), 0, nullptr));
}

platform::BoolResult Win32ServiceManager::QueryServiceConfigA(platform::ScHandle service,
                                                              platform::ServiceConfig& config) {
    DWORD needed = 0;
    // Size query first: the record carries its strings behind it.
    (void)::QueryServiceConfigA(ToHandle(service), nullptr, 0, &needed);
    if (needed == 0) return Result(FALSE);
    std::vector<BYTE> buffer(needed);
    auto* record = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    platform::BoolResult result =
        Result(::QueryServiceConfigA(ToHandle(service), record, needed, &needed));
    if (result.NonZero()) {
        config.serviceType = record->dwServiceType;
        config.startType = record->dwStartType;
        config.errorControl = record->dwErrorControl;
    }
    return result;
}

// The manager fills the record on some failures too (service not active,
// control not accepted), so a filled record is passed on either way.
platform::BoolResult Win32ServiceManager::ControlService(platform::ScHandle service,
                                                         std::uint32_t control,
                                                         platform::ServiceStatus& status) {
    SERVICE_STATUS record = {};
    platform::BoolResult result = Result(::ControlService(ToHandle(service), control, &record));
    if (result.NonZero() || record.dwCurrentState != 0) Copy(record, status);
    return result;
}

platform::BoolResult Win32ServiceManager::CloseServiceHandle(platform::ScHandle handle) {
    return Result(::CloseServiceHandle(ToHandle(handle)));
}

}  // namespace win32
