// What the simulated spooler's files share: its error codes and the shape
// of a Boolean result, kept out of the header the tests see.
#pragma once

#include <cstdint>
#include <string>

#include "platform/spooler.h"

namespace sim::spooler_calls {

using platform::BoolResult;
namespace error = platform::error;

constexpr std::uint32_t kInvalidEnvironment = 1805;
constexpr std::uint32_t kUnknownPrintProcessor = 1798;
constexpr std::uint32_t kRpcServerUnavailable = 1722;
constexpr std::uint32_t kPrinterStatusPendingDeletion = 0x4;
constexpr std::uint32_t kPortTypeWrite = 0x1;
constexpr std::uint32_t kInvalidPrinterState = 1906;
constexpr std::uint32_t kSplNoStartDoc = 3004;
constexpr const char* kHardwareProfilePrintersKey =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

inline BoolResult Fail(std::uint32_t code) {
    return {0, code};
}
inline BoolResult Succeed() {
    return {1, 0};
}

inline std::string Text(const platform::OptString& text) {
    return text ? *text : "(null)";
}

inline bool HasSeparator(const std::string& path) {
    return path.find_first_of("\\/") != std::string::npos;
}

inline std::string FileName(const std::string& path) {
    auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace sim::spooler_calls
