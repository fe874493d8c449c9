// Registry values as the installer reads and writes them: REG_SZ with its
// NUL, REG_DWORD, ERROR_MORE_DATA for short buffers, and value enumeration
// as ReadSerialPorts walks the serial device map.
#include "contract.h"

namespace contract {
namespace {

using platform::RegistryRoot;
namespace reg = platform::reg;
namespace err = platform::error;

constexpr const char* kKey = "Software\\DriverInstallerContract";

platform::KeyHandle CreateKey(ContractTarget& target, const std::string& subKey) {
    platform::KeyHandle key = 0;
    EXPECT_STATUS(
        target.registry.RegCreateKeyExA(RegistryRoot::CurrentUser, subKey, reg::kOptionNonVolatile,
                                        reg::kAllAccess, false, key),
        err::kSuccess);
    return key;
}

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

void RegistryCase(ContractTarget& target) {
    platform::KeyHandle key = CreateKey(target, kKey);
    if (!key) return;
    EXPECT_STATUS(target.registry.RegSetValueExA(key, "Port", reg::kSz, reg::SzBytes("COM3:")),
                  err::kSuccess);
    EXPECT_STATUS(
        target.registry.RegSetValueExA(key, "PrinterOnLine", reg::kDword, reg::DwordBytes(1)),
        err::kSuccess);
    EXPECT_STATUS(target.registry.RegCloseKey(key), err::kSuccess);

    // Read back through a second, read-only handle.
    key = 0;
    EXPECT_STATUS(
        target.registry.RegOpenKeyExA(RegistryRoot::CurrentUser, kKey, 0, reg::kRead, key),
        err::kSuccess);
    if (!key) return;
    std::uint32_t type = reg::kNone;
    std::vector<std::uint8_t> data;
    EXPECT_STATUS(target.registry.RegQueryValueExA(key, "Port", 64, type, data), err::kSuccess);
    CHECK(type == reg::kSz && data == reg::SzBytes("COM3:"), "Port: type %u, %u bytes \"%s\"", type,
          static_cast<unsigned>(data.size()), AsText(data).c_str());
    // Exactly the text and its NUL fits; one byte less does not.
    EXPECT_STATUS(target.registry.RegQueryValueExA(key, "Port", 6, type, data), err::kSuccess);
    EXPECT_STATUS(target.registry.RegQueryValueExA(key, "Port", 5, type, data), err::kMoreData);

    EXPECT_STATUS(target.registry.RegQueryValueExA(key, "PrinterOnLine", 4, type, data),
                  err::kSuccess);
    CHECK(type == reg::kDword && data == reg::DwordBytes(1), "PrinterOnLine: type %u, %u bytes",
          type, static_cast<unsigned>(data.size()));
    EXPECT_STATUS(target.registry.RegQueryValueExA(key, "PrinterOnLine", 3, type, data),
                  err::kMoreData);
    EXPECT_STATUS(target.registry.RegQueryValueExA(key, "NoSuchValue", 64, type, data),
                  err::kFileNotFound);
    EXPECT_STATUS(target.registry.RegCloseKey(key), err::kSuccess);

    const std::string missing = std::string(kKey) + "\\Missing";
    EXPECT_STATUS(
        target.registry.RegOpenKeyExA(RegistryRoot::CurrentUser, missing, 0, reg::kRead, key),
        err::kFileNotFound);
}

// Values are created in name order: Windows enumerates in creation order and
// Wine in name order, so only that order means the same on both.
void RegistryEnumCase(ContractTarget& target) {
    platform::KeyHandle key = CreateKey(target, std::string(kKey) + "\\SerialMap");
    if (!key) return;
    const struct {
        const char* name;
        const char* data;
    } kValues[] = {{"\\Device\\Serial0", "COM1"}, {"\\Device\\Serial1", "COM2"}, {"Other", "COM9"}};
    for (const auto& value : kValues) {
        EXPECT_STATUS(
            target.registry.RegSetValueExA(key, value.name, reg::kSz, reg::SzBytes(value.data)),
            err::kSuccess);
    }

    std::uint32_t index = 0;
    for (const auto& value : kValues) {
        std::string name;
        std::uint32_t type = reg::kNone;
        std::vector<std::uint8_t> data;
        EXPECT_STATUS(target.registry.RegEnumValueA(key, index, 128, 128, name, type, data),
                      err::kSuccess);
        CHECK(name == value.name && data == reg::SzBytes(value.data) && type == reg::kSz,
              "index %u: \"%s\" = \"%s\" (type %u), expected \"%s\" = \"%s\"", index, name.c_str(),
              AsText(data).c_str(), type, value.name, value.data);
        ++index;
    }
    std::string name;
    std::uint32_t type = reg::kNone;
    std::vector<std::uint8_t> data;
    EXPECT_STATUS(target.registry.RegEnumValueA(key, index, 128, 128, name, type, data),
                  err::kNoMoreItems);
    // The name buffer counts its NUL: 15 characters need 16.
    EXPECT_STATUS(target.registry.RegEnumValueA(key, 0, 15, 128, name, type, data), err::kMoreData);
    EXPECT_STATUS(target.registry.RegEnumValueA(key, 0, 16, 128, name, type, data), err::kSuccess);
    EXPECT_STATUS(target.registry.RegEnumValueA(key, 0, 128, 4, name, type, data), err::kMoreData);
    EXPECT_STATUS(target.registry.RegCloseKey(key), err::kSuccess);
}

}  // namespace contract
