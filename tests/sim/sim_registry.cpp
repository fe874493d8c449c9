#include "sim/sim_registry.h"

#include "sim/sim_text.h"

namespace sim {
namespace {

constexpr long kKeyDeleted = 1018;

}  // namespace

std::string RootName(platform::RegistryRoot root) {
    switch (root) {
        case platform::RegistryRoot::ClassesRoot: return "HKCR";
        case platform::RegistryRoot::CurrentUser: return "HKCU";
        case platform::RegistryRoot::LocalMachine: return "HKLM";
        case platform::RegistryRoot::Users: return "HKU";
        case platform::RegistryRoot::CurrentConfig: return "HKCC";
    }
    return "?";
}

SimRegistry::SimRegistry() {
    using platform::RegistryRoot;
    for (auto root : {RegistryRoot::ClassesRoot, RegistryRoot::CurrentUser,
                      RegistryRoot::LocalMachine, RegistryRoot::Users}) {
        roots_[root] = std::make_shared<Key>();
    }
    roots_[RegistryRoot::CurrentConfig] =
        Create(RegistryRoot::LocalMachine, kHardwareProfilePath, false);
    // Keys every Windows has: the user's default-printer key and the
    // spooler's list of ports.
    Create(RegistryRoot::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
           false);
    Create(RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports",
           false);
}

std::shared_ptr<SimRegistry::Key> SimRegistry::Root(platform::RegistryRoot root) const {
    return roots_.at(root);
}

std::shared_ptr<SimRegistry::Key> SimRegistry::Find(platform::RegistryRoot root,
                                                    const std::string& path) const {
    std::shared_ptr<Key> key = Root(root);
    for (const auto& part : SplitPath(path)) {
        std::shared_ptr<Key> next;
        for (const auto& child : key->children) {
            if (EqualsNoCase(child->name, part)) next = child;
        }
        if (!next) return nullptr;
        key = next;
    }
    return key;
}

std::shared_ptr<SimRegistry::Key> SimRegistry::Create(platform::RegistryRoot root,
                                                      const std::string& path, bool honourDenial) {
    std::shared_ptr<Key> key = Root(root);
    for (const auto& part : SplitPath(path)) {
        std::shared_ptr<Key> next;
        for (const auto& child : key->children) {
            if (EqualsNoCase(child->name, part)) next = child;
        }
        if (!next) {
            if (honourDenial && key->denyWrites) return nullptr;
            next = std::make_shared<Key>();
            next->name = part;
            key->children.push_back(next);
        }
        key = next;
    }
    return key;
}

SimRegistry::Value* SimRegistry::FindValue(Key& key, const std::string& name) {
    for (auto& value : key.values) {
        if (EqualsNoCase(value.name, name)) return &value;
    }
    return nullptr;
}

void SimRegistry::MarkDeleted(Key& key) {
    key.deleted = true;
    for (auto& child : key.children) MarkDeleted(*child);
}

SimRegistry::Handle* SimRegistry::Lookup(platform::KeyHandle handle, long& status) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        status = static_cast<long>(platform::error::kInvalidHandle);
        return nullptr;
    }
    if (it->second.key->deleted) {
        status = kKeyDeleted;
        return nullptr;
    }
    status = 0;
    return &it->second;
}

platform::KeyHandle SimRegistry::NewHandle(std::shared_ptr<Key> key, std::uint32_t access) {
    platform::KeyHandle handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = Handle{std::move(key), access};
    return handle;
}

long SimRegistry::RegOpenKeyExA(platform::RegistryRoot root, const std::string& subKey,
                                std::uint32_t options, std::uint32_t access,
                                platform::KeyHandle& key) {
    calls.push_back(FormatCall(
        "RegOpenKeyExA", {RootName(root) + "\\" + subKey, std::to_string(options), Hex(access)}));
    key = 0;
    if (auto error = failures.Check("RegOpenKeyExA")) return static_cast<long>(*error);
    std::shared_ptr<Key> found = Find(root, subKey);
    if (!found) return static_cast<long>(platform::error::kFileNotFound);
    key = NewHandle(found, access);
    return 0;
}

long SimRegistry::RegCreateKeyExA(platform::RegistryRoot root, const std::string& subKey,
                                  std::uint32_t options, std::uint32_t access, bool inheritHandle,
                                  platform::KeyHandle& key) {
    calls.push_back(
        FormatCall("RegCreateKeyExA", {RootName(root) + "\\" + subKey, std::to_string(options),
                                       Hex(access), inheritHandle ? "true" : "false"}));
    key = 0;
    if (auto error = failures.Check("RegCreateKeyExA")) return static_cast<long>(*error);
    std::shared_ptr<Key> created = Create(root, subKey, true);
    if (!created) return static_cast<long>(platform::error::kAccessDenied);
    key = NewHandle(created, access);
    return 0;
}

long SimRegistry::RegQueryValueExA(platform::KeyHandle key, const std::string& valueName,
                                   std::uint32_t bufferSize, std::uint32_t& type,
                                   std::vector<std::uint8_t>& data) {
    calls.push_back(
        FormatCall("RegQueryValueExA", {Hex(key), valueName, std::to_string(bufferSize)}));
    data.clear();
    if (auto error = failures.Check("RegQueryValueExA")) return static_cast<long>(*error);
    long status = 0;
    Handle* handle = Lookup(key, status);
    if (!handle) return status;
    if (!(handle->access & platform::reg::kQueryValue)) {
        return static_cast<long>(platform::error::kAccessDenied);
    }
    Value* value = FindValue(*handle->key, valueName);
    if (!value) return static_cast<long>(platform::error::kFileNotFound);
    type = value->value.type;
    if (value->value.data.size() > bufferSize) {
        return static_cast<long>(platform::error::kMoreData);
    }
    data = value->value.data;
    return 0;
}

long SimRegistry::RegSetValueExA(platform::KeyHandle key, const std::string& valueName,
                                 std::uint32_t type, const std::vector<std::uint8_t>& data) {
    calls.push_back(FormatCall("RegSetValueExA", {Hex(key), valueName, std::to_string(type),
                                                  std::to_string(data.size()) + " bytes"}));
    if (auto error = failures.Check("RegSetValueExA")) return static_cast<long>(*error);
    long status = 0;
    Handle* handle = Lookup(key, status);
    if (!handle) return status;
    if (!(handle->access & platform::reg::kSetValue) || handle->key->denyWrites) {
        return static_cast<long>(platform::error::kAccessDenied);
    }
    if (Value* value = FindValue(*handle->key, valueName)) {
        value->value = RegValue{type, data};
    } else {
        handle->key->values.push_back({valueName, RegValue{type, data}});
    }
    return 0;
}

long SimRegistry::RegEnumValueA(platform::KeyHandle key, std::uint32_t index,
                                std::uint32_t nameBufferSize, std::uint32_t dataBufferSize,
                                std::string& name, std::uint32_t& type,
                                std::vector<std::uint8_t>& data) {
    calls.push_back(FormatCall("RegEnumValueA",
                               {Hex(key), std::to_string(index), std::to_string(nameBufferSize),
                                std::to_string(dataBufferSize)}));
    name.clear();
    data.clear();
    if (auto error = failures.Check("RegEnumValueA")) return static_cast<long>(*error);
    long status = 0;
    Handle* handle = Lookup(key, status);
    if (!handle) return status;
    if (!(handle->access & platform::reg::kQueryValue)) {
        return static_cast<long>(platform::error::kAccessDenied);
    }
    const auto& values = handle->key->values;
    if (index >= values.size()) return static_cast<long>(platform::error::kNoMoreItems);
    const Value& value = values[index];
    // The name buffer must hold the NUL as well; the data buffer need not.
    if (value.name.size() >= nameBufferSize || value.value.data.size() > dataBufferSize) {
        return static_cast<long>(platform::error::kMoreData);
    }
    name = value.name;
    type = value.value.type;
    data = value.value.data;
    return 0;
}

long SimRegistry::RegCloseKey(platform::KeyHandle key) {
    calls.push_back(FormatCall("RegCloseKey", {Hex(key)}));
    if (auto error = failures.Check("RegCloseKey")) return static_cast<long>(*error);
    // A handle to a deleted key still closes.
    if (handles_.erase(key) == 0) return static_cast<long>(platform::error::kInvalidHandle);
    return 0;
}

void SimRegistry::CreateKey(platform::RegistryRoot root, const std::string& path) {
    Create(root, path, false);
}

void SimRegistry::SetValue(platform::RegistryRoot root, const std::string& path,
                           const std::string& name, std::uint32_t type,
                           const std::vector<std::uint8_t>& data) {
    std::shared_ptr<Key> key = Create(root, path, false);
    if (Value* value = FindValue(*key, name)) {
        value->value = RegValue{type, data};
    } else {
        key->values.push_back({name, RegValue{type, data}});
    }
}

void SimRegistry::SetString(platform::RegistryRoot root, const std::string& path,
                            const std::string& name, const std::string& value) {
    SetValue(root, path, name, platform::reg::kSz, platform::reg::SzBytes(value));
}

void SimRegistry::SetDword(platform::RegistryRoot root, const std::string& path,
                           const std::string& name, std::uint32_t value) {
    SetValue(root, path, name, platform::reg::kDword, platform::reg::DwordBytes(value));
}

std::optional<RegValue> SimRegistry::GetValue(platform::RegistryRoot root, const std::string& path,
                                              const std::string& name) const {
    std::shared_ptr<Key> key = Find(root, path);
    if (!key) return std::nullopt;
    Value* value = FindValue(*key, name);
    if (!value) return std::nullopt;
    return value->value;
}

std::optional<std::string> SimRegistry::GetString(platform::RegistryRoot root,
                                                  const std::string& path,
                                                  const std::string& name) const {
    auto value = GetValue(root, path, name);
    if (!value) return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    auto nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

std::optional<std::uint32_t> SimRegistry::GetDword(platform::RegistryRoot root,
                                                   const std::string& path,
                                                   const std::string& name) const {
    auto value = GetValue(root, path, name);
    if (!value || value->data.size() != 4) return std::nullopt;
    const auto& d = value->data;
    return static_cast<std::uint32_t>(d[0] | (d[1] << 8) | (d[2] << 16) |
                                      (static_cast<std::uint32_t>(d[3]) << 24));
}

bool SimRegistry::KeyExists(platform::RegistryRoot root, const std::string& path) const {
    return Find(root, path) != nullptr;
}

bool SimRegistry::DeleteKey(platform::RegistryRoot root, const std::string& path) {
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) return false;
    std::string leaf = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const auto& part : parts) parentPath += part + "\\";
    std::shared_ptr<Key> parent = Find(root, parentPath);
    if (!parent) return false;
    auto& children = parent->children;
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (EqualsNoCase((*it)->name, leaf)) {
            MarkDeleted(**it);
            children.erase(it);
            return true;
        }
    }
    return false;
}

bool SimRegistry::DeleteValue(platform::RegistryRoot root, const std::string& path,
                              const std::string& name) {
    std::shared_ptr<Key> key = Find(root, path);
    if (!key) return false;
    auto& values = key->values;
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (EqualsNoCase(it->name, name)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

void SimRegistry::DenyWrites(platform::RegistryRoot root, const std::string& path, bool deny) {
    Create(root, path, false)->denyWrites = deny;
}

}  // namespace sim
