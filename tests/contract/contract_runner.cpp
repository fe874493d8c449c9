#include <cstdarg>
#include <cstdio>
#include <exception>

#include "contract.h"

namespace contract {
namespace {

int failedChecks = 0;

struct Case {
    const char* name;
    void (*run)(ContractTarget&);
};

// Order matters: the service case leaves the spooler running for the spooler cases.
constexpr Case kCases[] = {
    {"SpoolerService", SpoolerServiceCase},
    {"DriverDirectory", DriverDirectoryCase},
    {"EnumPorts", EnumPortsCase},
    {"DriverAndPrinter", DriverAndPrinterCase},
    {"DriverRemoval", DriverRemovalCase},
    {"PrinterHandleAcrossRestart", PrinterHandleAcrossRestartCase},
    {"Registry", RegistryCase},
    {"RegistryEnum", RegistryEnumCase},
    {"Files", FilesCase},
    {"Links", LinksCase},
    {"ProfileSectionNames", ProfileSectionNamesCase},
    {"ProfileString", ProfileStringCase},
    {"SystemInfo", SystemInfoCase},
    {"Threads", ThreadsCase},
    {"Wow64Process", Wow64ProcessCase},
    {"Wow64DriverDirectory", Wow64DriverDirectoryCase},
    {"SystemDirectoryRedirection", SystemDirectoryRedirectionCase},
    {"DriverInfo3RoundTrip", DriverInfo3RoundTripCase},
    {"PrinterInfo2RoundTrip", PrinterInfo2RoundTripCase},
};

}  // namespace

void Check(bool condition, const char* file, int line, const char* format, ...) {
    if (condition) return;
    ++failedChecks;
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::printf("  %s:%d: %s\n", file, line, message);
}

void ExpectOk(const platform::BoolResult& result, const char* call, const char* file, int line) {
    Check(result.value == 1, file, line, "%s: got %d, error %u, expected 1", call,
          static_cast<int>(result.value), static_cast<unsigned>(result.lastError));
}

void ExpectFail(const platform::BoolResult& result, std::uint32_t error, const char* call,
                const char* file, int line) {
    Check(result.value == 0 && result.lastError == error, file, line,
          "%s: got %d, error %u, expected 0 and error %u", call, static_cast<int>(result.value),
          static_cast<unsigned>(result.lastError), static_cast<unsigned>(error));
}

void ExpectStatus(long status, long expected, const char* call, const char* file, int line) {
    Check(status == expected, file, line, "%s: got %ld, expected %ld", call, status, expected);
}

int RunAll(ContractTarget& target) {
    int passed = 0;
    int failed = 0;
    std::printf("contract target: %s, %d-bit program on %d-bit Windows\n",
                target.isSimulator ? "simulator" : "Win32", target.processBits, target.windowsBits);
    for (const Case& c : kCases) {
        failedChecks = 0;
        try {
            c.run(target);
        } catch (const std::exception& e) {
            Check(false, __FILE__, __LINE__, "exception: %s", e.what());
        } catch (...) {
            Check(false, __FILE__, __LINE__, "unknown exception");
        }
        if (failedChecks == 0) {
            ++passed;
            std::printf("PASS %s\n", c.name);
        } else {
            ++failed;
            std::printf("FAIL %s (%d checks)\n", c.name, failedChecks);
        }
        std::fflush(stdout);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace contract
