// The port steps read and write printer keys through two names of one key
// and size their buffers by hand; the simulated registry has to answer
// those the Windows way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_registry.h"

namespace {

using platform::KeyHandle;
using platform::RegistryRoot;
namespace reg = platform::reg;

constexpr const char* kPrinterKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1";

class SimRegistryTest : public ::testing::Test {
protected:
    KeyHandle Open(RegistryRoot root, const std::string& path, std::uint32_t access) {
        KeyHandle key = 0;
        EXPECT_EQ(registry.RegOpenKeyExA(root, path, 0, access, key), 0) << path;
        return key;
    }

    sim::SimRegistry registry;
};

TEST_F(SimRegistryTest, CurrentConfigIsTheHardwareProfileKeyUnderLocalMachine) {
    KeyHandle key = 0;
    ASSERT_EQ(registry.RegCreateKeyExA(RegistryRoot::CurrentConfig, kPrinterKey,
                                       reg::kOptionNonVolatile, reg::kAllAccess, true, key),
              0);
    EXPECT_EQ(registry.RegSetValueExA(key, "PrinterOnLine", reg::kDword, reg::DwordBytes(1)), 0);
    EXPECT_EQ(registry.RegCloseKey(key), 0);

    const std::string viaMachine = std::string(
        "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\"
        "CurrentControlSet\\Control\\Print\\Printers\\P1");
    key = Open(RegistryRoot::LocalMachine, viaMachine, reg::kQueryValue);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(registry.RegQueryValueExA(key, "printeronline", 50, type, data), 0);
    EXPECT_EQ(type, reg::kDword);
    EXPECT_EQ(data, reg::DwordBytes(1));
    EXPECT_EQ(registry.RegCloseKey(key), 0);

    // And the other way round, through the helpers.
    registry.SetDword(RegistryRoot::LocalMachine, viaMachine, "PrinterOnLine", 0);
    EXPECT_EQ(registry.GetDword(RegistryRoot::CurrentConfig, kPrinterKey, "PrinterOnLine"), 0u);
    EXPECT_EQ(registry.OpenHandleCount(), 0);
}

TEST_F(SimRegistryTest, QueryNeedsRoomForTheWholeValue) {
    registry.SetString(RegistryRoot::LocalMachine, kPrinterKey, "Port", "USB001:");  // 8 bytes
    KeyHandle key = Open(RegistryRoot::LocalMachine, kPrinterKey, reg::kQueryValue);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(registry.RegQueryValueExA(key, "Port", 7, type, data), 234);
    EXPECT_EQ(registry.RegQueryValueExA(key, "Port", 8, type, data), 0);
    EXPECT_EQ(data, reg::SzBytes("USB001:"));
    EXPECT_EQ(registry.RegQueryValueExA(key, "Missing", 50, type, data), 2);
    registry.RegCloseKey(key);

    KeyHandle none = 0;
    EXPECT_EQ(
        registry.RegOpenKeyExA(RegistryRoot::LocalMachine, "SYSTEM\\Nowhere", 0, reg::kRead, none),
        2);
    EXPECT_EQ(none, 0u);
}

TEST_F(SimRegistryTest, EnumValuesInInsertionOrderWithTheNulInTheNameBuffer) {
    const char* map = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
    registry.SetString(RegistryRoot::LocalMachine, map, "\\Device\\Serial1", "COM2");
    registry.SetString(RegistryRoot::LocalMachine, map, "\\Device\\Serial0", "COM1");
    KeyHandle key = Open(RegistryRoot::LocalMachine, map, reg::kRead);
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(registry.RegEnumValueA(key, 0, 128, 128, name, type, data), 0);
    EXPECT_EQ(name, "\\Device\\Serial1");
    EXPECT_EQ(data, reg::SzBytes("COM2"));
    EXPECT_EQ(registry.RegEnumValueA(key, 1, 128, 128, name, type, data), 0);
    EXPECT_EQ(name, "\\Device\\Serial0");
    EXPECT_EQ(registry.RegEnumValueA(key, 2, 128, 128, name, type, data), 259);

    // "\Device\Serial0" is 15 characters: 16 with its NUL.
    EXPECT_EQ(registry.RegEnumValueA(key, 0, 15, 128, name, type, data), 234);
    EXPECT_EQ(registry.RegEnumValueA(key, 0, 16, 128, name, type, data), 0);
    EXPECT_EQ(registry.RegEnumValueA(key, 0, 16, 4, name, type, data), 234);
    EXPECT_EQ(registry.RegEnumValueA(key, 0, 16, 5, name, type, data), 0);
    registry.RegCloseKey(key);
}

TEST_F(SimRegistryTest, HandlesAreCountedAndBadOnesRefused) {
    registry.CreateKey(RegistryRoot::LocalMachine, kPrinterKey);
    KeyHandle a = Open(RegistryRoot::LocalMachine, kPrinterKey, reg::kRead);
    KeyHandle b = Open(RegistryRoot::LocalMachine, kPrinterKey, reg::kRead);
    EXPECT_NE(a, b);
    EXPECT_EQ(registry.OpenHandleCount(), 2);
    EXPECT_EQ(registry.RegCloseKey(a), 0);
    EXPECT_EQ(registry.RegCloseKey(a), 6);
    EXPECT_EQ(registry.RegCloseKey(0x9999), 6);
    EXPECT_EQ(registry.OpenHandleCount(), 1);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(registry.RegQueryValueExA(a, "Port", 50, type, data), 6);
    registry.RegCloseKey(b);
}

TEST_F(SimRegistryTest, WritesNeedSetAccessAndAnUnprotectedKey) {
    registry.CreateKey(RegistryRoot::LocalMachine, kPrinterKey);
    KeyHandle readOnly = Open(RegistryRoot::LocalMachine, kPrinterKey, reg::kQueryValue);
    EXPECT_EQ(registry.RegSetValueExA(readOnly, "Port", reg::kSz, reg::SzBytes("COM1:")), 5);
    registry.RegCloseKey(readOnly);

    registry.DenyWrites(RegistryRoot::LocalMachine, kPrinterKey);
    KeyHandle key = Open(RegistryRoot::LocalMachine, kPrinterKey, reg::kSetValue);
    EXPECT_EQ(registry.RegSetValueExA(key, "Port", reg::kSz, reg::SzBytes("COM1:")), 5);
    EXPECT_FALSE(registry.GetValue(RegistryRoot::LocalMachine, kPrinterKey, "Port"));
    registry.DenyWrites(RegistryRoot::LocalMachine, kPrinterKey, false);
    EXPECT_EQ(registry.RegSetValueExA(key, "Port", reg::kSz, reg::SzBytes("COM1:")), 0);
    EXPECT_EQ(registry.GetString(RegistryRoot::LocalMachine, kPrinterKey, "Port"), "COM1:");
    registry.RegCloseKey(key);
}

TEST_F(SimRegistryTest, CreateMakesParentsAndPlannedFailuresComeFirst) {
    registry.failures.FailNext("RegCreateKeyExA", 5);
    KeyHandle key = 0;
    EXPECT_EQ(registry.RegCreateKeyExA(RegistryRoot::CurrentConfig, kPrinterKey, 0, reg::kAllAccess,
                                       true, key),
              5);
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::CurrentConfig, kPrinterKey));
    EXPECT_EQ(registry.RegCreateKeyExA(RegistryRoot::CurrentConfig, kPrinterKey, 0, reg::kAllAccess,
                                       true, key),
              0);
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::CurrentConfig,
                                   "SYSTEM\\CurrentControlSet\\Control\\Print"));
    registry.RegCloseKey(key);
    EXPECT_EQ(sim::CountCalls(registry.calls, "RegCreateKeyExA"), 2);
}

}  // namespace
