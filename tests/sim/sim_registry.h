// The registry as a tree of keys per root, with Windows' return codes.
// HKEY_CURRENT_CONFIG is not a copy: it is the very node HKLM
// "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", so a value
// written through one name is read through the other, as on Windows.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "sim/sim_calls.h"

namespace sim {

struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

class SimRegistry : public platform::Registry {
public:
    static constexpr const char* kHardwareProfilePath =
        "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";

    SimRegistry();

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

    // Test helpers: no log, no planned failures, no write protection.
    // The setters create the key and its parents.
    void CreateKey(platform::RegistryRoot root, const std::string& path);
    void SetValue(platform::RegistryRoot root, const std::string& path, const std::string& name,
                  std::uint32_t type, const std::vector<std::uint8_t>& data);
    void SetString(platform::RegistryRoot root, const std::string& path, const std::string& name,
                   const std::string& value);  // REG_SZ with its NUL
    void SetDword(platform::RegistryRoot root, const std::string& path, const std::string& name,
                  std::uint32_t value);
    std::optional<RegValue> GetValue(platform::RegistryRoot root, const std::string& path,
                                     const std::string& name) const;
    // The text of a REG_SZ without its NUL.
    std::optional<std::string> GetString(platform::RegistryRoot root, const std::string& path,
                                         const std::string& name) const;
    // A 4-byte value, whatever its type.
    std::optional<std::uint32_t> GetDword(platform::RegistryRoot root, const std::string& path,
                                          const std::string& name) const;
    bool KeyExists(platform::RegistryRoot root, const std::string& path) const;
    // Removes the key and everything below it; open handles to it go stale.
    bool DeleteKey(platform::RegistryRoot root, const std::string& path);
    bool DeleteValue(platform::RegistryRoot root, const std::string& path, const std::string& name);
    // RegSetValueExA on the key (and creating subkeys below it) fails with 5.
    void DenyWrites(platform::RegistryRoot root, const std::string& path, bool deny = true);
    int OpenHandleCount() const { return static_cast<int>(handles_.size()); }

    FailurePlan failures;
    std::vector<std::string> calls;

private:
    struct Value {
        std::string name;
        RegValue value;
    };
    struct Key {
        std::string name;
        std::vector<std::shared_ptr<Key>> children;  // in creation order
        std::vector<Value> values;                   // in creation order
        bool denyWrites = false;
        bool deleted = false;
    };
    struct Handle {
        std::shared_ptr<Key> key;
        std::uint32_t access = 0;
    };

    std::shared_ptr<Key> Root(platform::RegistryRoot root) const;
    std::shared_ptr<Key> Find(platform::RegistryRoot root, const std::string& path) const;
    // Walks down and creates what is missing; null when a write-protected
    // key would get a new subkey.
    std::shared_ptr<Key> Create(platform::RegistryRoot root, const std::string& path,
                                bool honourDenial);
    static Value* FindValue(Key& key, const std::string& name);
    static void MarkDeleted(Key& key);
    Handle* Lookup(platform::KeyHandle handle, long& status);
    platform::KeyHandle NewHandle(std::shared_ptr<Key> key, std::uint32_t access);

    std::map<platform::RegistryRoot, std::shared_ptr<Key>> roots_;
    std::map<platform::KeyHandle, Handle> handles_;
    platform::KeyHandle nextHandle_ = 0x1000;
};

std::string RootName(platform::RegistryRoot root);

}  // namespace sim
