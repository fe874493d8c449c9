// Contract cases: the same assertions against the simulated machine (host)
// and against the Win32 adapters (under Wine), so the simulator cannot drift
// from the real calls. No test framework on the Windows side, so a small one
// lives here, in the manner of Wine's conformance tests: preset the last error
// to a sentinel, call, and check the result and the error together.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

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
    // The spooler environment of the machine's own word size.
    std::string nativeEnvironment;
    // Writes a file's bytes, creating missing folders: set-up outside the interfaces.
    std::function<bool(const std::string& path, const std::string& bytes)> writeFile;
    // Sets the thread's last error (the simulator has none to set).
    std::function<void(std::uint32_t)> setLastError;
};

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
bool EndsWithNoCase(const std::string& text, const std::string& tail);

// The cases, grouped by interface.
void DriverDirectoryCase(ContractTarget& target);
void EnumPortsCase(ContractTarget& target);
void SpoolerServiceCase(ContractTarget& target);
void DriverAndPrinterCase(ContractTarget& target);
void RegistryCase(ContractTarget& target);
void RegistryEnumCase(ContractTarget& target);
void FilesCase(ContractTarget& target);
void ProfileSectionNamesCase(ContractTarget& target);
void ProfileStringCase(ContractTarget& target);
void SystemInfoCase(ContractTarget& target);
void ThreadsCase(ContractTarget& target);

}  // namespace contract

#define CHECK(condition, ...) ::contract::Check((condition), __FILE__, __LINE__, __VA_ARGS__)

// `call` is evaluated after the last error was preset, so a failure that
// leaves the error untouched shows up as the sentinel.
#define EXPECT_OK(target, call)                                          \
    do {                                                                 \
        (target).setLastError(::contract::kSentinel);                    \
        ::contract::ExpectOk((call), #call, __FILE__, __LINE__);         \
    } while (0)
#define EXPECT_FAIL(target, call, error)                                 \
    do {                                                                 \
        (target).setLastError(::contract::kSentinel);                    \
        ::contract::ExpectFail((call), (error), #call, __FILE__, __LINE__); \
    } while (0)
#define EXPECT_STATUS(call, expected) \
    ::contract::ExpectStatus((call), (expected), #call, __FILE__, __LINE__)
