// What the 32-bit installer relies on when Windows is 64-bit: the word-size
// answer, an x64 driver folder that its copies reach unredirected (the
// 64-bit spooler reads it), the system folder redirected to SysWOW64, and
// the spooler's records read back as they were given.
#include "contract.h"

namespace contract {
namespace {

using platform::DriverInfo3;
using platform::PrinterInfo2;
namespace spool = platform::spool;
namespace file = platform::file;

constexpr const char* kX86 = "Windows NT x86";
constexpr const char* kX64 = "Windows x64";
// Scratch sources for the copies; a folder of its own, so the other cases'
// clean-up of C:\ContractTest is not disturbed.
constexpr const char* kScratch = "C:\\ContractWow64";

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && EndsWithNoCase(a, b);
}

bool StartsWithNoCase(const std::string& text, const std::string& head) {
    return text.size() >= head.size() && EqualsNoCase(text.substr(0, head.size()), head);
}

std::string Shown(const platform::OptString& text) {
    return text ? "\"" + *text + "\"" : std::string("(null)");
}

std::string Joined(const std::vector<std::string>& entries) {
    std::string text;
    for (const auto& entry : entries) text += (text.empty() ? "" : ",") + entry;
    return text;
}

struct Attributes {
    std::uint32_t value;
    std::uint32_t error;
};

Attributes AttributesOf(ContractTarget& target, const std::string& path) {
    target.setLastError(kSentinel);
    const std::uint32_t value = target.files.GetFileAttributesA(path);
    return {value, value == file::kInvalidAttributes ? target.lastError() : 0};
}

bool Exists(ContractTarget& target, const std::string& path) {
    return AttributesOf(target, path).value != file::kInvalidAttributes;
}

void CheckFolder(ContractTarget& target, const std::string& path, const char* what) {
    const Attributes found = AttributesOf(target, path);
    CHECK(found.value != file::kInvalidAttributes && (found.value & file::kAttributeDirectory),
          "%s \"%s\": attributes 0x%x, error %u", what, path.c_str(), found.value, found.error);
}

// Writes a scratch file and copies it to `destination` through the Files
// adapter, as the installer brings its files in.
void CopyIn(ContractTarget& target, const std::string& name, const std::string& destination) {
    const std::string source = std::string(kScratch) + "\\" + name;
    CHECK(target.writeFile(source, "contract " + name), "could not write %s", source.c_str());
    EXPECT_OK(target, target.files.CopyFileA(source, destination, false));
    EXPECT_OK(target, target.files.DeleteFileA(source));
}

void RemoveScratch(ContractTarget& target) {
    EXPECT_OK(target, target.files.RemoveDirectoryA(kScratch));
}

// Where a 32-bit program's access to `path` would land if the folder were
// redirected: under SysWOW64 instead of system32. Empty for other paths.
std::string RedirectedTwin(const std::string& path, const std::string& windows) {
    const std::string system32 = windows + "\\system32\\";
    if (!StartsWithNoCase(path, system32)) return "";
    return windows + "\\SysWOW64\\" + path.substr(system32.size());
}

struct DriverFiles {
    std::string driver;
    std::string data;
    std::string config;
    std::string help;  // none when empty
    std::vector<std::string> dependents;

    std::vector<std::string> All() const {
        std::vector<std::string> all{driver, data, config};
        if (!help.empty()) all.push_back(help);
        all.insert(all.end(), dependents.begin(), dependents.end());
        return all;
    }
};

// The record of a driver whose files are in `directory`: the main files by
// full path, the dependent ones by name, as the installer writes them.
DriverInfo3 DriverRecord(const std::string& name, const std::string& environment,
                         const std::string& directory, const DriverFiles& files) {
    DriverInfo3 driver;
    driver.version = 3;
    driver.name = name;
    driver.environment = environment;
    driver.driverPath = directory + "\\" + files.driver;
    driver.dataFile = directory + "\\" + files.data;
    driver.configFile = directory + "\\" + files.config;
    if (!files.help.empty()) driver.helpFile = directory + "\\" + files.help;
    driver.dependentFiles = files.dependents;
    return driver;
}

// Copies the files into the driver folder and registers them with all files
// copied; the spooler's copies of an earlier run go first, so that they
// cannot stand in for a copy that failed. Returns whether it was registered.
bool RegisterDriver(ContractTarget& target, const DriverInfo3& driver, const std::string& directory,
                    const DriverFiles& files) {
    for (const std::string& name : files.All()) {
        (void)target.files.DeleteFileA(directory + "\\3\\" + name);
        CopyIn(target, name, directory + "\\" + name);
    }
    RemoveScratch(target);
    target.setLastError(kSentinel);
    const platform::BoolResult added =
        target.spooler.AddPrinterDriverExA(3, driver, spool::kApdCopyAllFiles);
    ExpectOk(added, "AddPrinterDriverExA(3, driver, APD_COPY_ALL_FILES)", __FILE__, __LINE__);
    return added.value == 1;
}

void RemoveCopiesIn(ContractTarget& target, const std::string& directory,
                    const DriverFiles& files) {
    for (const std::string& name : files.All()) {
        EXPECT_OK(target, target.files.DeleteFileA(directory + "\\" + name));
    }
}

std::vector<DriverInfo3> ListDrivers(ContractTarget& target, const std::string& environment) {
    std::vector<DriverInfo3> drivers;
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    EXPECT_FAIL(target,
                target.spooler.EnumPrinterDriversA(environment, 3, 0, drivers, needed, returned),
                platform::error::kInsufficientBuffer);
    CHECK(needed > 0, "EnumPrinterDriversA(%s, size 0) needed %u", environment.c_str(), needed);
    if (needed == 0) return drivers;
    const std::uint32_t sized = needed;
    EXPECT_OK(target,
              target.spooler.EnumPrinterDriversA(environment, 3, sized, drivers, needed, returned));
    CHECK(returned == drivers.size(), "returned %u, converted %u", returned,
          static_cast<unsigned>(drivers.size()));
    CHECK(sized >= platform::EnumBytesNeeded(drivers), "needed %u below %u", sized,
          platform::EnumBytesNeeded(drivers));
    return drivers;
}

const DriverInfo3* FindDriver(const std::vector<DriverInfo3>& drivers, const std::string& name) {
    for (const auto& driver : drivers) {
        if (driver.name && *driver.name == name) return &driver;
    }
    return nullptr;
}

}  // namespace

bool Wow64(const ContractTarget& target) {
    return target.windowsBits == 64 && target.processBits == 32;
}

void Wow64ProcessCase(ContractTarget& target) {
    CHECK(target.system.HasIsWow64Process(), "IsWow64Process not found");
    const std::int32_t expected = target.windowsBits == 64 ? 1 : 0;
    std::int32_t wow64 = 7;  // the call must overwrite it
    target.setLastError(kSentinel);
    const bool answered = target.system.IsWow64Process(wow64);
    const std::uint32_t error = target.lastError();
    CHECK(answered && wow64 == expected,
          "IsWow64Process: returned %d, wow64 %d, error %u; expected 1 and %d on %d-bit Windows",
          answered ? 1 : 0, static_cast<int>(wow64), error, static_cast<int>(expected),
          target.windowsBits);
}

void Wow64DriverDirectoryCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    const std::string x64 = ReadDriverDirectory(target, kX64);
    const std::string x86 = ReadDriverDirectory(target, kX86);
    CHECK(!x64.empty() && !x86.empty() && !EqualsNoCase(x64, x86),
          "x64 folder \"%s\", x86 folder \"%s\": expected two different ones", x64.c_str(),
          x86.c_str());
    const std::string windows = target.files.GetWindowsDirectoryA(file::kMaxPath);
    CHECK(!windows.empty(), "GetWindowsDirectoryA gave nothing");
    // The spool folders are below system32, yet exempt from its redirection.
    const std::string twin = RedirectedTwin(x64, windows);
    CHECK(!twin.empty(), "x64 folder \"%s\" is not below \"%s\\system32\"", x64.c_str(),
          windows.c_str());
    if (x64.empty() || windows.empty()) return;

    const std::string name = "Contract Wow64 Driver";
    const DriverFiles files{"ctw64drv.dll", "ctw64.gpd", "ctw64ui.dll", "", {}};
    const DriverInfo3 driver = DriverRecord(name, kX64, x64, files);
    CheckFolder(target, x64, "x64 folder");
    const bool registered = RegisterDriver(target, driver, x64, files);
    for (const std::string& entry : files.All()) {
        const std::string copied = x64 + "\\" + entry;
        const Attributes found = AttributesOf(target, copied);
        CHECK(found.value != file::kInvalidAttributes, "our copy %s: error %u", copied.c_str(),
              found.error);
        if (!twin.empty()) {
            CHECK(!Exists(target, twin + "\\" + entry), "the copy went to %s\\%s", twin.c_str(),
                  entry.c_str());
        }
        if (registered) {
            const std::string kept = x64 + "\\3\\" + entry;
            CHECK(Exists(target, kept), "the spooler has no copy %s", kept.c_str());
        }
    }
    RemoveCopiesIn(target, x64, files);
}

void SystemDirectoryRedirectionCase(ContractTarget& target) {
    const std::string system = target.files.GetSystemDirectoryA(file::kMaxPath);
    const std::string windows = target.files.GetWindowsDirectoryA(file::kMaxPath);
    CHECK(!system.empty() && !windows.empty(), "system folder \"%s\", Windows folder \"%s\"",
          system.c_str(), windows.c_str());
    if (system.empty() || windows.empty()) return;
    // A 32-bit program is told system32 too; only its accesses are redirected.
    CHECK(EqualsNoCase(system, windows + "\\system32"), "system folder \"%s\"", system.c_str());
    CheckFolder(target, system, "system folder");
    const std::string wow64Folder = windows + "\\SysWOW64";
    if (target.windowsBits == 64) CheckFolder(target, wow64Folder, "SysWOW64");

    const bool redirected = Wow64(target);
    // One file copied in through the Files adapter, one written directly.
    const std::string copied = "ctredir1.tmp";
    const std::string written = "ctredir2.tmp";
    CopyIn(target, copied, system + "\\" + copied);
    RemoveScratch(target);
    CHECK(target.writeFile(system + "\\" + written, "written"), "could not write %s\\%s",
          system.c_str(), written.c_str());
    for (const std::string& name : {copied, written}) {
        CHECK(Exists(target, system + "\\" + name), "%s\\%s is gone", system.c_str(), name.c_str());
        const Attributes twin = AttributesOf(target, wow64Folder + "\\" + name);
        CHECK((twin.value != file::kInvalidAttributes) == redirected,
              "%s\\%s: attributes 0x%x, error %u; expected %s", wow64Folder.c_str(), name.c_str(),
              twin.value, twin.error, redirected ? "the file" : "no file");
        // One file under two names: deleted through one, gone from the other.
        const std::string remove = (redirected ? wow64Folder : system) + "\\" + name;
        EXPECT_OK(target, target.files.DeleteFileA(remove));
        CHECK(!Exists(target, system + "\\" + name), "%s\\%s is still there", system.c_str(),
              name.c_str());
    }
}

void DriverInfo3RoundTripCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    const std::string directory = ReadDriverDirectory(target, kX64);
    if (directory.empty()) return;

    const std::string name = "Contract Round Trip Driver";
    const DriverFiles files{"ctrtdrv.dll",
                            "ctrt.gpd",
                            "ctrtui.dll",
                            "ctrt.hlp",
                            {"ctrtres.dll", "ctrtnames.gpd", "ctrtcmn.ini", "ctrtpcl.dll"}};
    DriverInfo3 driver = DriverRecord(name, kX64, directory, files);
    driver.monitorName = std::string();
    driver.defaultDataType = std::string("RAW");
    const bool registered = RegisterDriver(target, driver, directory, files);
    RemoveCopiesIn(target, directory, files);
    if (!registered) return;

    const std::vector<DriverInfo3> drivers = ListDrivers(target, kX64);
    const DriverInfo3* listed = FindDriver(drivers, name);
    CHECK(listed != nullptr, "EnumPrinterDriversA(%s, 3) does not list \"%s\"", kX64, name.c_str());
    if (!listed) return;
    CHECK(listed->version == 3, "version %u", listed->version);
    CHECK(listed->environment && *listed->environment == kX64, "environment %s",
          Shown(listed->environment).c_str());
    // Every file comes back as the spooler's copy in the version folder.
    const std::string kept = directory + "\\3\\";
    const struct {
        const char* field;
        const platform::OptString& path;
        const std::string& name;
    } kMainFiles[] = {{"driver", listed->driverPath, files.driver},
                      {"data", listed->dataFile, files.data},
                      {"config", listed->configFile, files.config},
                      {"help", listed->helpFile, files.help}};
    for (const auto& expected : kMainFiles) {
        CHECK(expected.path && EqualsNoCase(*expected.path, kept + expected.name),
              "%s file %s, expected \"%s%s\"", expected.field, Shown(expected.path).c_str(),
              kept.c_str(), expected.name.c_str());
    }
    bool sameDependents = listed->dependentFiles.size() == files.dependents.size();
    for (std::size_t i = 0; sameDependents && i < files.dependents.size(); ++i) {
        sameDependents = EqualsNoCase(listed->dependentFiles[i], kept + files.dependents[i]);
    }
    CHECK(sameDependents, "dependent files [%s], expected [%s] in %s",
          Joined(listed->dependentFiles).c_str(), Joined(files.dependents).c_str(), kept.c_str());
    CHECK(!listed->monitorName || listed->monitorName->empty(), "monitor %s",
          Shown(listed->monitorName).c_str());
    CHECK(listed->defaultDataType && *listed->defaultDataType == "RAW", "data type %s",
          Shown(listed->defaultDataType).c_str());
}

void PrinterInfo2RoundTripCase(ContractTarget& target) {
    EnsureSpoolerRunning(target);
    // Windows' spooler is 64-bit and takes the printer's driver from "Windows
    // x64"; Wine's runs inside this 32-bit program and looks in "Windows NT
    // x86" (without it: error 87). So the driver goes in for both.
    const std::string driverName = "Contract Printer Driver";
    const DriverFiles files{"ctpdrv.dll", "ctp.gpd", "ctpui.dll", "", {}};
    for (const char* environment : {kX64, kX86}) {
        const std::string directory = ReadDriverDirectory(target, environment);
        if (directory.empty()) return;
        const bool registered = RegisterDriver(
            target, DriverRecord(driverName, environment, directory, files), directory, files);
        RemoveCopiesIn(target, directory, files);
        if (!registered) return;
    }

    const std::string name = "Contract Round Trip Printer";
    RemovePrinterIfPresent(target, name);
    const PrinterInfo2 printer = PrinterOnLpt1(name, driverName);
    std::uint32_t error = kSentinel;
    const platform::PrinterHandle added = target.spooler.AddPrinterA(2, printer, error);
    CHECK(added != 0, "AddPrinterA: null handle, error %u", error);
    if (!added) return;
    EXPECT_OK(target, target.spooler.ClosePrinter(added));

    const std::vector<PrinterInfo2> printers = ListPrinters(target);
    const PrinterInfo2* listed = FindPrinter(printers, name);
    CHECK(listed != nullptr, "EnumPrintersA(6, 2) does not list \"%s\"", name.c_str());
    if (listed) {
        CHECK(listed->portName == printer.portName, "port %s", Shown(listed->portName).c_str());
        CHECK(listed->driverName == printer.driverName, "driver %s",
              Shown(listed->driverName).c_str());
        CHECK(listed->printProcessor && EqualsNoCase(*listed->printProcessor, "WinPrint"),
              "print processor %s", Shown(listed->printProcessor).c_str());
        CHECK(listed->datatype == printer.datatype, "data type %s",
              Shown(listed->datatype).c_str());
    }

    // Nothing of it may reach the next case or the next run.
    platform::PrinterHandle handle = 0;
    const platform::PrinterDefaults defaults{std::string("RAW"), spool::kPrinterAllAccess};
    EXPECT_OK(target, target.spooler.OpenPrinterA(name, handle, defaults));
    if (handle) {
        EXPECT_OK(target, target.spooler.DeletePrinter(handle));
        EXPECT_OK(target, target.spooler.ClosePrinter(handle));
    }
    CHECK(FindPrinter(ListPrinters(target), name) == nullptr,
          "\"%s\" still listed after the delete", name.c_str());
}

}  // namespace contract
