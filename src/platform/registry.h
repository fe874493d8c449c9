// Registry access, mirroring the ANSI calls the installer makes. Results are
// the LONG status codes of the real calls (0 is success).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

namespace reg {
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kSz = 1;
constexpr std::uint32_t kBinary = 3;
constexpr std::uint32_t kDword = 4;
constexpr std::uint32_t kQueryValue = 0x0001;
constexpr std::uint32_t kSetValue = 0x0002;
constexpr std::uint32_t kRead = 0x20019;
constexpr std::uint32_t kAllAccess = 0xF003F;
constexpr std::uint32_t kOptionNonVolatile = 0;

// A REG_SZ value as the program stores it: the text and its NUL.
std::vector<std::uint8_t> SzBytes(const std::string& text);
std::vector<std::uint8_t> DwordBytes(std::uint32_t value);
}  // namespace reg

class Registry {
public:
    virtual ~Registry() = default;

    virtual long RegOpenKeyExA(RegistryRoot root, const std::string& subKey, std::uint32_t options,
                               std::uint32_t access, KeyHandle& key) = 0;
    // Creates the key (and its parents) when it is missing.
    virtual long RegCreateKeyExA(RegistryRoot root, const std::string& subKey,
                                 std::uint32_t options, std::uint32_t access, bool inheritHandle,
                                 KeyHandle& key) = 0;
    // Fails with ERROR_MORE_DATA when the value does not fit `bufferSize`.
    virtual long RegQueryValueExA(KeyHandle key, const std::string& valueName,
                                  std::uint32_t bufferSize, std::uint32_t& type,
                                  std::vector<std::uint8_t>& data) = 0;
    virtual long RegSetValueExA(KeyHandle key, const std::string& valueName, std::uint32_t type,
                                const std::vector<std::uint8_t>& data) = 0;
    // The name buffer counts its NUL, the data buffer does not have to;
    // a name or data that does not fit gives ERROR_MORE_DATA, and an index
    // past the last value ERROR_NO_MORE_ITEMS (259).
    virtual long RegEnumValueA(KeyHandle key, std::uint32_t index, std::uint32_t nameBufferSize,
                               std::uint32_t dataBufferSize, std::string& name, std::uint32_t& type,
                               std::vector<std::uint8_t>& data) = 0;
    virtual long RegCloseKey(KeyHandle key) = 0;
};

}  // namespace platform
