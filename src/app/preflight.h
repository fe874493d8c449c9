// The pre-flight check: what on this machine would stop an installation,
// asked before anything is copied. Each item reads one documented setting or
// asks one documented call, and says ok, warning or blocking; a blocking
// item names what blocks and what to do about it. A call that fails leaves
// its item a warning: a check that cannot tell must not stop an
// installation that may well succeed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace app {

class InstallerDialog;

enum class Verdict { Ok, Warning, Blocking };

struct Finding {
    std::string item;  // what was checked, in a word or two
    Verdict verdict = Verdict::Ok;
    std::string text;     // what was found; for a blocking item, what to do
    bool policy = false;  // blocking by the machine's own policy
};

// What the caller knows of the package and the chosen printer.
struct PreflightRequest {
    std::string model;  // the chosen driver-list entry; empty: none chosen
    std::size_t offeredEntries = 0;
    bool modelOffered = false;        // the package offers `model` with a driver
    std::string packageFailure;       // the archive library's words, if it refused
    std::string workingFolders;       // why nothing could be unpacked, if so
    std::uint64_t declaredBytes = 0;  // the package's files unpacked; 0: not declared
    std::string host;                 // TCP/IP: the printer's address; empty: no connection check
    int hostPort = 9100;
};

// How long the printer's raw port may take to accept a connection.
constexpr std::uint32_t kPrinterConnectMs = 2000;

class Preflight {
public:
    explicit Preflight(platform::Platform& platform) : platform_(platform) {}

    // Every item, in a fixed order; the printer's connection only for a host.
    std::vector<Finding> Run(const PreflightRequest& request);

    Finding Rights();
    Finding Spooler();
    Finding ProtectedPrint();
    Finding DriverPolicy();
    static Finding Package(const PreflightRequest& request);
    Finding Room(const PreflightRequest& request);
    Finding Printer(const PreflightRequest& request);

private:
    // The registry's DWORD under HKLM; nothing when the value is not there.
    struct PolicyValue {
        bool read = false;  // false: the key or value could not be read
        std::optional<std::uint32_t> value;
        long error = 0;
    };
    PolicyValue ReadPolicy(const char* key, const char* name);
    // Whether the token holds the privilege the printer set-up enables;
    // nothing (with the error) when that cannot be read.
    std::optional<bool> HoldsLoadDriverPrivilege(std::uint32_t& error);
    // Asked once a run; nothing when the call failed.
    std::optional<bool> Administrator();

    platform::Platform& platform_;
    bool askedAdministrator_ = false;
    std::optional<bool> administrator_;
    std::uint32_t administratorError_ = 0;
};

// 0 when nothing blocks; 1625 when the machine's policy blocks; 1603 otherwise.
int PreflightExitCode(const std::vector<Finding>& findings);
// "ok       <item>: <text>", as /check prints it.
std::string PreflightLine(const Finding& finding);
// The blocking items for a message box; empty when nothing blocks.
std::string BlockingText(const std::vector<Finding>& findings);

// At Install, once the model is known: nothing is shown when nothing
// blocks; otherwise one message box says what blocks, and false. Passes at
// once when the check was run before Install (dialog.preflightPassed).
bool ClearToInstall(InstallerDialog& dialog, const std::string& model);

}  // namespace app
