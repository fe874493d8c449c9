// Version and word size of the running Windows.
#pragma once

#include "platform/system_info.h"

namespace win32 {

class Win32SystemInfo : public platform::SystemInfo {
public:
    bool GetVersionExA(platform::OsVersionInfo& info) override;
    bool HasIsWow64Process() override;
    bool IsWow64Process(std::int32_t& wow64) override;
};

}  // namespace win32
