#include "platform/win32/privileges_win32.h"

#include <windows.h>

#include <vector>

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
    const BOOL ok = ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), FALSE, &privileges, 0,
                                            nullptr, nullptr);
    return Result(ok);
}

platform::BoolResult Win32ProcessToken::CloseHandle(platform::TokenHandle token) {
    return Result(::CloseHandle(reinterpret_cast<HANDLE>(token)));
}

platform::BoolResult Win32ProcessToken::GetTokenPrivileges(platform::TokenHandle token,
                                                           std::vector<platform::Luid>& held) {
    const HANDLE handle = reinterpret_cast<HANDLE>(token);
    DWORD size = 0;
    // Size query first: it fails with ERROR_INSUFFICIENT_BUFFER and says how much.
    (void)::GetTokenInformation(handle, TokenPrivileges, nullptr, 0, &size);
    if (size == 0) return Result(FALSE);
    std::vector<BYTE> buffer(size);
    const BOOL ok = ::GetTokenInformation(handle, TokenPrivileges, buffer.data(), size, &size);
    if (!ok) return Result(FALSE);
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    held.clear();
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID& luid = privileges->Privileges[i].Luid;
        held.push_back(platform::Luid{luid.LowPart, luid.HighPart});
    }
    return Result(TRUE);
}

platform::BoolResult Win32ProcessToken::CheckAdministratorsMembership(bool& member) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators)) {
        return Result(FALSE);
    }
    BOOL isMember = FALSE;
    const platform::BoolResult result =
        Result(::CheckTokenMembership(nullptr, administrators, &isMember));
    ::FreeSid(administrators);
    if (result.NonZero()) member = isMember != FALSE;
    return result;
}

}  // namespace win32
