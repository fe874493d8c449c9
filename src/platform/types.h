// Plain value types shared by the platform interfaces. The logic speaks in
// these; the Win32 adapters translate them to and from the real structures.
#pragma once

#include <cstdint>

namespace platform {

// Opaque handles. Zero is "no handle", as with the Win32 calls they stand for.
using WindowHandle = std::uintptr_t;
using PrinterHandle = std::uintptr_t;
using ScHandle = std::uintptr_t;
using KeyHandle = std::uintptr_t;
using ModuleHandle = std::uintptr_t;
using ProcAddress = std::uintptr_t;
using FindHandle = std::uintptr_t;

constexpr FindHandle kInvalidFindHandle = ~static_cast<FindHandle>(0);

// A BOOL-returning call together with the last error it left behind. Two
// tests, named for what they check: the spooler's Boolean results count as
// success only when exactly 1 (TRUE), as the installer has always relied on;
// most other calls document any non-zero value as success.
struct [[nodiscard]] BoolResult {
    std::int32_t value = 0;
    std::uint32_t lastError = 0;
    bool IsOne() const { return value == 1; }
    bool NonZero() const { return value != 0; }
};

// Win32 error codes the logic and the simulators share.
namespace error {
constexpr std::uint32_t kSuccess = 0;
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kInvalidHandle = 6;
constexpr std::uint32_t kNotSupported = 50;
constexpr std::uint32_t kAdapterHardwareError = 57;
constexpr std::uint32_t kInvalidParameter = 87;
constexpr std::uint32_t kInsufficientBuffer = 122;
constexpr std::uint32_t kInvalidLevel = 124;
constexpr std::uint32_t kModNotFound = 126;
constexpr std::uint32_t kProcNotFound = 127;
constexpr std::uint32_t kDirNotEmpty = 145;
constexpr std::uint32_t kAlreadyExists = 183;
constexpr std::uint32_t kMoreData = 234;
constexpr std::uint32_t kNoMoreItems = 259;
constexpr std::uint32_t kServiceRequestTimeout = 1053;
constexpr std::uint32_t kServiceAlreadyRunning = 1056;
constexpr std::uint32_t kServiceDisabled = 1058;
constexpr std::uint32_t kServiceDoesNotExist = 1060;
constexpr std::uint32_t kServiceCannotAcceptControl = 1061;
constexpr std::uint32_t kServiceNotActive = 1062;
constexpr std::uint32_t kCancelled = 1223;
constexpr std::uint32_t kUnknownPort = 1796;
constexpr std::uint32_t kUnknownPrinterDriver = 1797;
constexpr std::uint32_t kInvalidPrinterName = 1801;
constexpr std::uint32_t kPrinterAlreadyExists = 1802;
constexpr std::uint32_t kPrinterDriverAlreadyInstalled = 1795;
constexpr std::uint32_t kPrintMonitorAlreadyInstalled = 3006;
constexpr std::uint32_t kPrinterDriverInUse = 3001;
constexpr std::uint32_t kInvalidEnvironment = 1805;
constexpr std::uint32_t kCallNotImplemented = 120;
constexpr std::uint32_t kUnknownPrintMonitor = 3000;
}  // namespace error

}  // namespace platform
