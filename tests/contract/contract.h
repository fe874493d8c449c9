// Contract cases: the same assertions against the simulated machine (host)
// and against the Win32 adapters (under Wine), so the simulator cannot drift
// from the real calls. No test framework on the Windows side, so a small one
// lives here, in the manner of Wine's conformance tests: preset the last error
// to a sentinel, call, and check the result and the error together.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/spooler.h"
#include "platform/system_info.h"
#include "platform/threads.h"

namespace contract {

struct ContractTarget {
    platform::Spooler& spooler;
    platform::Registry& registry;
    platform::ServiceManager& services;
    platform::Files& files;
    platform::ProfileReader& profile;
    platform::SystemInfo& system;
    platform::Threads& threads;

    bool isSimulator = false;
    // The environment whose drivers AddPrinterA takes: the spooler's own.
    // Windows' spooler has Windows' word size; Wine's runs inside the
    // program and has the program's.
    std::string nativeEnvironment{};
    // Word sizes told by the runner, not asked of the target, so that the
    // target's own answers can be checked: Windows' (the Wine prefix's, the
    // simulator's configuration) and the contract program's.
    int windowsBits = 64;
    int processBits = 32;
    // Writes a file's bytes, creating missing folders: set-up outside the interfaces.
    std::function<bool(const std::string& path, const std::string& bytes)> writeFile{};
    // Sets the thread's last error (the simulator has none to set).
    std::function<void(std::uint32_t)> setLastError{};
    // Reads it back, for the calls that do not hand it over themselves (the
    // simulator keeps one for its file calls only).
    std::function<std::uint32_t()> lastError{};
    // Wine, whose answers are marked where they are its own (as Wine's tests
    // mark todo_wine), so that the simulator keeps Windows' answer.
    bool isWine = false;
    // The access list a file or folder reads back with, in its text form
    // (the DACL alone); empty when it cannot be read.
    std::function<std::string(const std::string& path)> readAccess{};
};

// Links the runner plants before the cases run, as a standard user could:
// a link to a folder and one to a file, both leading outside drive C:, and a
// file with a second name.
constexpr const char* kLinkedFolder = "C:\\ContractLinks\\folder";
constexpr const char* kLinkedFile = "C:\\ContractLinks\\file.txt";
constexpr const char* kSecondName = "C:\\ContractLinks\\second.txt";

constexpr std::uint32_t kSentinel = 0xDEADBEEF;

// Records a failed check of the running case; printf-style message.
void Check(bool condition, const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void ExpectOk(const platform::BoolResult& result, const char* call, const char* file, int line);
void ExpectFail(const platform::BoolResult& result, std::uint32_t error, const char* call,
                const char* file, int line);
void ExpectStatus(long status, long expected, const char* call, const char* file, int line);

// Runs the cases in order, one line each, then "N passed, M failed".
// Returns the process exit code.
int RunAll(ContractTarget& target);

// Starts "Spooler" when it is stopped and waits (bounded) until it runs.
void EnsureSpoolerRunning(ContractTarget& target);
// Stops "Spooler" and starts it again, waiting (bounded) for each.
void RestartSpooler(ContractTarget& target);
bool EndsWithNoCase(const std::string& text, const std::string& tail);
// A 32-bit program on 64-bit Windows.
bool Wow64(const ContractTarget& target);

// Spooler helpers shared by the cases.
std::string ReadDriverDirectory(ContractTarget& target, const std::string& environment);
std::vector<platform::PrinterInfo2> ListPrinters(ContractTarget& target);
const platform::PrinterInfo2* FindPrinter(const std::vector<platform::PrinterInfo2>& printers,
                                          const std::string& name);
// A printer left behind by an interrupted run would make AddPrinterA fail.
void RemovePrinterIfPresent(ContractTarget& target, const std::string& name);
// The record AddPrinterA takes for a test printer on LPT1: with WinPrint and RAW.
platform::PrinterInfo2 PrinterOnLpt1(const std::string& name, const std::string& driverName);

// The cases, grouped by interface.
void DriverDirectoryCase(ContractTarget& target);
void EnumPortsCase(ContractTarget& target);
void SpoolerServiceCase(ContractTarget& target);
void DriverAndPrinterCase(ContractTarget& target);
void DriverRemovalCase(ContractTarget& target);
void PrinterHandleAcrossRestartCase(ContractTarget& target);
void RegistryCase(ContractTarget& target);
void RegistryEnumCase(ContractTarget& target);
void FilesCase(ContractTarget& target);
void LinksCase(ContractTarget& target);
void ProfileSectionNamesCase(ContractTarget& target);
void ProfileStringCase(ContractTarget& target);
void SystemInfoCase(ContractTarget& target);
void Wow64ProcessCase(ContractTarget& target);
void Wow64DriverDirectoryCase(ContractTarget& target);
void SystemDirectoryRedirectionCase(ContractTarget& target);
void DriverInfo3RoundTripCase(ContractTarget& target);
void PrinterInfo2RoundTripCase(ContractTarget& target);
void ThreadsCase(ContractTarget& target);

}  // namespace contract

#define CHECK(condition, ...) ::contract::Check((condition), __FILE__, __LINE__, __VA_ARGS__)

// `call` is evaluated after the last error was preset, so a failure that
// leaves the error untouched shows up as the sentinel.
#define EXPECT_OK(target, call)                                  \
    do {                                                         \
        (target).setLastError(::contract::kSentinel);            \
        ::contract::ExpectOk((call), #call, __FILE__, __LINE__); \
    } while (0)
#define EXPECT_FAIL(target, call, error)                                    \
    do {                                                                    \
        (target).setLastError(::contract::kSentinel);                       \
        ::contract::ExpectFail((call), (error), #call, __FILE__, __LINE__); \
    } while (0)
#define EXPECT_STATUS(call, expected) \
    ::contract::ExpectStatus((call), (expected), #call, __FILE__, __LINE__)
