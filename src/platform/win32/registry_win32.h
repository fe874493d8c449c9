// The registry through advapi32's ANSI calls.
#pragma once

#include "platform/registry.h"

namespace win32 {

class Win32Registry : public platform::Registry {
public:
    long RegOpenKeyExA(platform::RegistryRoot root, const std::string& subKey,
                       std::uint32_t options, std::uint32_t access,
                       platform::KeyHandle& key) override;
    long RegCreateKeyExA(platform::RegistryRoot root, const std::string& subKey,
                         std::uint32_t options, std::uint32_t access, bool inheritHandle,
                         platform::KeyHandle& key) override;
    long RegQueryValueExA(platform::KeyHandle key, const std::string& valueName,
                          std::uint32_t bufferSize, std::uint32_t& type,
                          std::vector<std::uint8_t>& data) override;
    long RegSetValueExA(platform::KeyHandle key, const std::string& valueName, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) override;
    long RegEnumValueA(platform::KeyHandle key, std::uint32_t index, std::uint32_t nameBufferSize,
                       std::uint32_t dataBufferSize, std::string& name, std::uint32_t& type,
                       std::vector<std::uint8_t>& data) override;
    long RegCloseKey(platform::KeyHandle key) override;
};

}  // namespace win32
