#include "platform/win32/privileges_win32.h"

#include <windows.h>

namespace win32 {
namespace {

platform::BoolResult Result(BOOL value) {
    return platform::BoolResult{static_cast<std::int32_t>(value), value ? 0u : GetLastError()};
}

}  // namespace

platform::BoolResult Win32ProcessToken::OpenProcessToken(std::uint32_t access,
                                                         platform::TokenHandle& token) {
    HANDLE handle = nullptr;
    const BOOL ok = ::OpenProcessToken(GetCurrentProcess(), access, &handle);
    token = reinterpret_cast<platform::TokenHandle>(handle);
    return Result(ok);
}

platform::BoolResult Win32ProcessToken::LookupPrivilegeValueA(const std::string& name,
                                                              platform::Luid& luid) {
    LUID value{};
    const BOOL ok = ::LookupPrivilegeValueA(nullptr, name.c_str(), &value);
    luid.lowPart = value.LowPart;
    luid.highPart = value.HighPart;
    return Result(ok);
}

platform::BoolResult Win32ProcessToken::AdjustTokenPrivileges(platform::TokenHandle token,
                                                              const platform::Luid& luid,
                                                              std::uint32_t attributes) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid.LowPart = luid.lowPart;
    privileges.Privileges[0].Luid.HighPart = luid.highPart;
    privileges.Privileges[0].Attributes = attributes;
    const BOOL ok = ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges,
                                            0, nullptr, nullptr);
    return Result(ok);
}

platform::BoolResult Win32ProcessToken::CloseHandle(platform::TokenHandle token) {
    return Result(::CloseHandle(reinterpret_cast<HANDLE>(token)));
}

}  // namespace win32
