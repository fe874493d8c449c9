// Version and word size. The record size is the caller's: 156 asks for the
// extended record, 148 for the basic one, anything else is refused by the
// system itself.
#include "platform/win32/system_info_win32.h"

#include <windows.h>

namespace win32 {
namespace {

#ifndef _WIN64
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// Looked up at run time: kernel32 of the oldest supported systems lacks it.
IsWow64ProcessFn FindIsWow64Process() {
    HMODULE kernel = ::GetModuleHandleA("kernel32");
    if (!kernel) return nullptr;
    return reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "IsWow64Process")));
}
#endif

}  // namespace

bool Win32SystemInfo::GetVersionExA(platform::OsVersionInfo& info) {
    OSVERSIONINFOEXA record = {};
    record.dwOSVersionInfoSize = info.size;
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record))) return false;
    info.majorVersion = record.dwMajorVersion;
    info.minorVersion = record.dwMinorVersion;
    info.buildNumber = record.dwBuildNumber;
    info.platformId = record.dwPlatformId;
    info.csdVersion = record.szCSDVersion;
    if (info.size == platform::os::kExtendedRecordSize) {
        info.servicePackMajor = record.wServicePackMajor;
        info.servicePackMinor = record.wServicePackMinor;
        info.suiteMask = record.wSuiteMask;
        info.productType = record.wProductType;
    }
    return true;
}

// A 64-bit build runs only on 64-bit Windows, where IsWow64Process says
// false for it; the logic asks "is this 64-bit Windows", so answer that.
bool Win32SystemInfo::HasIsWow64Process() {
#ifdef _WIN64
    return true;
#else
    return FindIsWow64Process() != nullptr;
#endif
}

bool Win32SystemInfo::IsWow64Process(std::int32_t& wow64) {
#ifdef _WIN64
    wow64 = 1;
    return true;
#else
    IsWow64ProcessFn isWow64Process = FindIsWow64Process();
    if (!isWow64Process) return false;
    BOOL result = wow64;
    BOOL ok = isWow64Process(::GetCurrentProcess(), &result);
    wow64 = result;
    return ok != FALSE;
#endif
}

}  // namespace win32
