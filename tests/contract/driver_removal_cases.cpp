// Removing a printer driver, as the uninstall does: the registration goes
// with DeletePrinterDriverA; DeletePrinterDriverExA, which takes the files
// too, either does all of it or leaves the driver registered (Wine's
// spooler lacks it), so that the plain call can follow.
#include "contract.h"

namespace contract {
namespace {

using platform::BoolResult;
using platform::DriverInfo3;
namespace err = platform::error;

bool Listed(ContractTarget& target, const std::string& environment, const std::string& name) {
    std::vector<DriverInfo3> drivers;
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    (void)target.spooler.EnumPrinterDriversA(environment, 3, 0, drivers, needed, returned);
    drivers.clear();
    EXPECT_OK(target, target.spooler.EnumPrinterDriversA(environment, 3, needed, drivers, needed,
                                                         returned));
    for (const auto& driver : drivers) {
        if (driver.name && *driver.name == name) return true;
    }
    return false;
}

bool AddDriver(ContractTarget& target, const std::string& environment, const std::string& name) {
    const std::string directory = ReadDriverDirectory(target, environment);
    if (directory.empty()) return false;
    const char* const kFiles[] = {"crdrv.dll", "crdrv.gpd", "crui.dll"};
    for (const char* file : kFiles) {
        CHECK(target.writeFile(directory + "\\" + file, std::string("placeholder ") + file),
              "could not write %s into %s", file, directory.c_str());
    }
    DriverInfo3 driver;
    driver.version = 3;
    driver.name = name;
    driver.environment = environment;
    driver.driverPath = directory + "\\crdrv.dll";
    driver.dataFile = directory + "\\crdrv.gpd";
    driver.configFile = directory + "\\crui.dll";
    EXPECT_OK(target,
              target.spooler.AddPrinterDriverExA(3, driver, platform::spool::kApdCopyAllFiles));
    return Listed(target, environment, name);
}

}  // namespace

void DriverRemovalCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    const std::string environment = target.nativeEnvironment;
    const std::string name = "Contract Removal Driver";
    CHECK(AddDriver(target, environment, name), "\"%s\" is not listed after it was added",
          name.c_str());

    EXPECT_OK(target, target.spooler.DeletePrinterDriverA(environment, name));
    CHECK(!Listed(target, environment, name), "\"%s\" still listed after the delete", name.c_str());
    // Once gone, a second delete fails: Windows says 1797; Wine's leaves
    // the last error as it was, so the uninstall never goes by it.
    target.setLastError(kSentinel);
    const BoolResult again = target.spooler.DeletePrinterDriverA(environment, name);
    CHECK(!again.IsOne(), "a second DeletePrinterDriverA succeeded");
    CHECK(!target.isSimulator || again.lastError == err::kUnknownPrinterDriver,
          "a second DeletePrinterDriverA: error %u, expected 1797", again.lastError);

    CHECK(AddDriver(target, environment, name), "\"%s\" is not listed after it was added again",
          name.c_str());
    target.setLastError(kSentinel);
    const BoolResult withFiles = target.spooler.DeletePrinterDriverExA(
        environment, name, platform::spool::kDeleteUnusedFiles, 0);
    if (withFiles.IsOne()) {
        CHECK(!Listed(target, environment, name),
              "DeletePrinterDriverExA succeeded, \"%s\" still listed", name.c_str());
    } else {
        CHECK(withFiles.lastError != kSentinel && withFiles.lastError != 0,
              "DeletePrinterDriverExA failed without a reason");
        CHECK(Listed(target, environment, name), "a failed DeletePrinterDriverExA removed \"%s\"",
              name.c_str());
        EXPECT_OK(target, target.spooler.DeletePrinterDriverA(environment, name));
    }
    CHECK(!Listed(target, environment, name), "\"%s\" still listed at the end", name.c_str());
}

}  // namespace contract
