// advapi32's ANSI registry calls. Value buffers are always real, non-null
// buffers of the caller's size, so a value that does not fit gives
// ERROR_MORE_DATA as the interface promises (a null buffer would turn the
// call into a size query that succeeds).
#include "platform/win32/registry_win32.h"

#include <windows.h>

namespace win32 {
namespace {

HKEY ToRoot(platform::RegistryRoot root) {
    switch (root) {
        case platform::RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case platform::RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case platform::RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case platform::RegistryRoot::Users: return HKEY_USERS;
        case platform::RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
    }
    return nullptr;
}

HKEY ToKey(platform::KeyHandle key) {
    return reinterpret_cast<HKEY>(key);
}
platform::KeyHandle FromKey(HKEY key) {
    return reinterpret_cast<platform::KeyHandle>(key);
}

std::vector<BYTE> ValueBuffer(std::uint32_t size) {
    return std::vector<BYTE>(size ? size : 1);
}

}  // namespace

long Win32Registry::RegOpenKeyExA(platform::RegistryRoot root, const std::string& subKey,
                                  std::uint32_t options, std::uint32_t access,
                                  platform::KeyHandle& key) {
    HKEY opened = nullptr;
    LONG status = ::RegOpenKeyExA(ToRoot(root), subKey.c_str(), options, access, &opened);
    key = status == ERROR_SUCCESS ? FromKey(opened) : 0;
    return status;
}

long Win32Registry::RegCreateKeyExA(platform::RegistryRoot root, const std::string& subKey,
                                    std::uint32_t options, std::uint32_t access, bool inheritHandle,
                                    platform::KeyHandle& key) {
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HKEY created = nullptr;
    LONG status = ::RegCreateKeyExA(ToRoot(root), subKey.c_str(), 0, nullptr, options, access,
                                    inheritHandle ? &inherit : nullptr, &created, nullptr);
    key = status == ERROR_SUCCESS ? FromKey(created) : 0;
    return status;
}

long Win32Registry::RegQueryValueExA(platform::KeyHandle key, const std::string& valueName,
                                     std::uint32_t bufferSize, std::uint32_t& type,
                                     std::vector<std::uint8_t>& data) {
    std::vector<BYTE> buffer = ValueBuffer(bufferSize);
    DWORD valueType = REG_NONE;
    DWORD size = bufferSize;
    LONG status = ::RegQueryValueExA(ToKey(key), valueName.c_str(), nullptr, &valueType,
                                     buffer.data(), &size);
    type = valueType;
    data.clear();
    if (status == ERROR_SUCCESS) data.assign(buffer.begin(), buffer.begin() + size);
    return status;
}

long Win32Registry::RegSetValueExA(platform::KeyHandle key, const std::string& valueName,
                                   std::uint32_t type, const std::vector<std::uint8_t>& data) {
    return ::RegSetValueExA(ToKey(key), valueName.c_str(), 0, type, data.data(),
                            static_cast<DWORD>(data.size()));
}

long Win32Registry::RegEnumValueA(platform::KeyHandle key, std::uint32_t index,
                                  std::uint32_t nameBufferSize, std::uint32_t dataBufferSize,
                                  std::string& name, std::uint32_t& type,
                                  std::vector<std::uint8_t>& data) {
    std::vector<char> nameBuffer(nameBufferSize ? nameBufferSize : 1);
    std::vector<BYTE> dataBuffer = ValueBuffer(dataBufferSize);
    DWORD nameLength = nameBufferSize;
    DWORD dataSize = dataBufferSize;
    DWORD valueType = REG_NONE;
    LONG status = ::RegEnumValueA(ToKey(key), index, nameBuffer.data(), &nameLength, nullptr,
                                  &valueType, dataBuffer.data(), &dataSize);
    name.clear();
    data.clear();
    type = valueType;
    if (status == ERROR_SUCCESS) {
        name.assign(nameBuffer.data(), nameLength);
        data.assign(dataBuffer.begin(), dataBuffer.begin() + dataSize);
    }
    return status;
}

long Win32Registry::RegCloseKey(platform::KeyHandle key) {
    return ::RegCloseKey(ToKey(key));
}

}  // namespace win32
