#include "app/preflight.h"

#include "base/exit_codes.h"
#include "base/installer_dialog.h"
#include "base/messages.h"

namespace app {
namespace {

constexpr const char* kSpooler = "Spooler";
constexpr const char* kLoadDriverPrivilege = "SeLoadDriverPrivilege";
// The "Configure Windows protected print" policy (Printing.admx).
constexpr const char* kProtectedPrintKey =
    "Software\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
constexpr const char* kProtectedPrintValue = "WindowsProtectedPrintGroupPolicyState";
// The "Limits print driver installation to Administrators" policy (KB5005652).
constexpr const char* kPointAndPrintKey =
    "Software\\Policies\\Microsoft\\Windows NT\\Printers\\PointAndPrint";
constexpr const char* kRestrictValue = "RestrictDriverInstallationToAdministrators";
// A 32-bit program reads the machine's own policy keys, not the WOW64 copy.
constexpr std::uint32_t kWow64_64Key = 0x0100;
constexpr std::uint64_t kMebibyte = std::uint64_t(1) << 20;

Finding Make(const char* item, Verdict verdict, std::string text, bool policy = false) {
    return Finding{item, verdict, std::move(text), policy};
}

std::string Error(std::uint32_t code) {
    return "(error " + std::to_string(code) + ")";
}

}  // namespace

std::vector<Finding> Preflight::Run(const PreflightRequest& request) {
    std::vector<Finding> findings = {Rights(),       Spooler(),        ProtectedPrint(),
                                     DriverPolicy(), Package(request), Room(request)};
    if (!request.host.empty()) findings.push_back(Printer(request));
    return findings;
}

std::optional<bool> Preflight::Administrator() {
    if (!askedAdministrator_) {
        askedAdministrator_ = true;
        bool member = false;
        const platform::BoolResult asked = platform_.token.CheckAdministratorsMembership(member);
        if (asked.NonZero()) administrator_ = member;
        administratorError_ = asked.lastError;
    }
    return administrator_;
}

std::optional<bool> Preflight::HoldsLoadDriverPrivilege(std::uint32_t& error) {
    platform::ProcessToken& token = platform_.token;
    platform::TokenHandle handle = 0;
    const platform::BoolResult opened = token.OpenProcessToken(platform::token::kQuery, handle);
    if (!opened.NonZero()) {
        error = opened.lastError;
        return std::nullopt;
    }
    std::vector<platform::Luid> held;
    const platform::BoolResult listed = token.GetTokenPrivileges(handle, held);
    (void)token.CloseHandle(handle);
    platform::Luid wanted;
    const platform::BoolResult looked = token.LookupPrivilegeValueA(kLoadDriverPrivilege, wanted);
    if (!listed.NonZero() || !looked.NonZero()) {
        error = listed.NonZero() ? looked.lastError : listed.lastError;
        return std::nullopt;
    }
    for (const platform::Luid& luid : held) {
        if (luid.lowPart == wanted.lowPart && luid.highPart == wanted.highPart) return true;
    }
    return false;
}

Finding Preflight::Rights() {
    const char* item = "rights";
    const std::optional<bool> administrator = Administrator();
    if (!administrator) {
        return Make(item, Verdict::Warning,
                    "whether this process is an administrator could not be read " +
                        Error(administratorError_));
    }
    if (!*administrator) {
        return Make(item, Verdict::Blocking,
                    "this process is not an elevated administrator, and installing printer drivers "
                    "needs one: start the installer with \"Run as administrator\", or from an "
                    "elevated command prompt");
    }
    std::uint32_t error = 0;
    const std::optional<bool> holds = HoldsLoadDriverPrivilege(error);
    if (!holds) {
        return Make(item, Verdict::Warning,
                    "the process's privileges could not be read " + Error(error));
    }
    if (*holds) {
        return Make(item, Verdict::Ok,
                    std::string("an administrator, holding ") + kLoadDriverPrivilege);
    }
    return Make(item, Verdict::Blocking,
                std::string("this process does not hold ") + kLoadDriverPrivilege +
                    " (\"Load and unload device drivers\"), which setting up a printer driver "
                    "asks for: grant it to Administrators under Local Security Policy, User Rights "
                    "Assignment, then sign in again");
}

Finding Preflight::Spooler() {
    const char* item = "spooler";
    platform::ServiceManager& services = platform_.services;
    std::uint32_t error = 0;
    platform::ScopedScHandle manager(
        services, services.OpenSCManagerA("", platform::svc::kManagerConnect, error));
    if (manager.get() == 0) {
        return Make(item, Verdict::Warning,
                    "the service control manager could not be opened " + Error(error));
    }
    platform::ScopedScHandle service(
        services,
        services.OpenServiceA(manager.get(), kSpooler, platform::svc::kQueryConfig, error));
    if (service.get() == 0) {
        if (error == platform::error::kServiceDoesNotExist) {
            return Make(item, Verdict::Blocking,
                        "this machine has no Print Spooler service (\"Spooler\"), and no printer "
                        "can be installed without it: add the Windows print components back "
                        "(Windows Features, or the image the machine was built from)");
        }
        return Make(item, Verdict::Warning,
                    "the Print Spooler service could not be opened " + Error(error));
    }
    platform::ServiceConfig config;
    const platform::BoolResult queried = services.QueryServiceConfigA(service.get(), config);
    if (!queried.NonZero()) {
        return Make(
            item, Verdict::Warning,
            "the Print Spooler service's start type could not be read " + Error(queried.lastError));
    }
    if (config.startType == platform::svc::kDisabled) {
        return Make(
            item, Verdict::Blocking,
            "the Print Spooler service (\"Spooler\") is disabled: in Services (services.msc) "
            "set Print Spooler's startup type to Automatic and start it, or run "
            "\"sc config Spooler start= auto\" and \"sc start Spooler\" as an administrator");
    }
    return Make(
        item, Verdict::Ok,
        std::string("the Print Spooler service (\"Spooler\") is not disabled (start type ") +
            std::to_string(config.startType) + ")");
}

Preflight::PolicyValue Preflight::ReadPolicy(const char* key, const char* name) {
    PolicyValue result;
    platform::Registry& registry = platform_.registry;
    platform::KeyHandle handle = 0;
    const long opened = registry.RegOpenKeyExA(platform::RegistryRoot::LocalMachine, key, 0,
                                               platform::reg::kRead | kWow64_64Key, handle);
    if (opened == static_cast<long>(platform::error::kFileNotFound)) {
        result.read = true;
        return result;
    }
    if (opened != 0) {
        result.error = opened;
        return result;
    }
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    const long queried = registry.RegQueryValueExA(handle, name, 4, type, data);
    (void)registry.RegCloseKey(handle);
    if (queried == static_cast<long>(platform::error::kFileNotFound)) {
        result.read = true;
    } else if (queried != 0 || type != platform::reg::kDword || data.size() != 4) {
        // Group Policy writes a DWORD; anything else is not its setting.
        result.error =
            queried != 0 ? queried : static_cast<long>(platform::error::kInvalidParameter);
    } else {
        result.read = true;
        result.value =
            static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
            static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    }
    return result;
}

Finding Preflight::ProtectedPrint() {
    const char* item = "protected print";
    const PolicyValue policy = ReadPolicy(kProtectedPrintKey, kProtectedPrintValue);
    if (!policy.read) {
        return Make(item, Verdict::Warning,
                    std::string("the policy value ") + kProtectedPrintValue +
                        " could not be read " + Error(static_cast<std::uint32_t>(policy.error)));
    }
    if (policy.value == 1u) {
        return Make(
            item, Verdict::Blocking,
            "Windows protected print mode is on, and it refuses third-party printer drivers "
            "such as these: turn it off with the Group Policy \"Configure Windows protected "
            "print\" (Computer Configuration > Administrative Templates > Printers) set to "
            "Disabled, or ask whoever manages this machine",
            true);
    }
    return Make(item, Verdict::Ok, "Windows protected print mode is off");
}

Finding Preflight::DriverPolicy() {
    const char* item = "driver policy";
    const PolicyValue policy = ReadPolicy(kPointAndPrintKey, kRestrictValue);
    if (!policy.read) {
        return Make(item, Verdict::Warning,
                    std::string("the policy value ") + kRestrictValue + " could not be read " +
                        Error(static_cast<std::uint32_t>(policy.error)));
    }
    if (!policy.value) {
        return Make(
            item, Verdict::Ok,
            "no policy on driver installation (Windows keeps it to administrators by default)");
    }
    if (*policy.value == 0)
        return Make(item, Verdict::Ok, "driver installation is open to every user");
    const std::optional<bool> administrator = Administrator();
    if (!administrator) {
        return Make(item, Verdict::Warning,
                    "driver installation is kept to administrators by policy, and whether this "
                    "process is one could not be read " +
                        Error(administratorError_));
    }
    if (*administrator) {
        return Make(item, Verdict::Ok,
                    "driver installation is kept to administrators by policy; this process is one");
    }
    return Make(
        item, Verdict::Blocking,
        std::string("this machine's policy keeps printer driver installation to administrators (") +
            kRestrictValue + " is " + std::to_string(*policy.value) +
            ") and this process is not one: run the installer as an administrator",
        true);
}

Finding Preflight::Package(const PreflightRequest& request) {
    const char* item = "package";
    if (!request.workingFolders.empty()) {
        return Make(item, Verdict::Blocking,
                    "the driver package was not unpacked: " + request.workingFolders);
    }
    if (request.offeredEntries == 0) {
        std::string text =
            "the driver package \"DriverData.Drv\" was not found in the program's folder, or it "
            "could not be unpacked: put it there together with 7-zip32.dll";
        if (!request.packageFailure.empty()) {
            text += " (the archive library said: " + request.packageFailure + ")";
        }
        return Make(item, Verdict::Blocking, text);
    }
    if (request.model.empty()) {
        return Make(item, Verdict::Ok,
                    "the driver package offers " + std::to_string(request.offeredEntries) +
                        " driver-list entries");
    }
    if (request.modelOffered) {
        return Make(item, Verdict::Ok, "the driver package offers \"" + request.model + "\"");
    }
    return Make(item, Verdict::Blocking,
                "the driver package does not offer \"" + request.model +
                    "\" with a driver this installer knows: choose one /list shows");
}

Finding Preflight::Room(const PreflightRequest& request) {
    const char* item = "room";
    if (request.declaredBytes == 0) {
        return Make(
            item, Verdict::Warning,
            "the driver package declares no size: the room on the system drive was not checked");
    }
    const std::string system = platform_.files.GetSystemDirectoryA(platform::file::kMaxPath);
    // The drivers go below the system folder: its drive is the one to have room.
    const std::string drive = system.size() >= 3 ? system.substr(0, 3) : std::string();
    std::uint64_t available = 0;
    const platform::BoolResult asked = drive.empty()
                                           ? platform::BoolResult{0, 0}
                                           : platform_.files.GetDiskFreeSpaceExA(drive, available);
    if (!asked.NonZero()) {
        return Make(
            item, Verdict::Warning,
            "the free space of the system drive could not be read " + Error(asked.lastError));
    }
    const std::uint64_t needed = (request.declaredBytes + kMebibyte - 1) / kMebibyte;
    const std::string what = drive + " has " + std::to_string(available / kMebibyte) +
                             " MiB free and the package's files take " + std::to_string(needed) +
                             " MiB";
    if (available >= request.declaredBytes) return Make(item, Verdict::Ok, what);
    return Make(
        item, Verdict::Blocking,
        what + ": free at least " +
            std::to_string((request.declaredBytes - available + kMebibyte - 1) / kMebibyte) +
            " MiB on " + drive);
}

Finding Preflight::Printer(const PreflightRequest& request) {
    const char* item = "printer";
    const std::string where = request.host + ":" + std::to_string(request.hostPort);
    const std::uint32_t error =
        platform_.network.ConnectTcp(request.host, request.hostPort, kPrinterConnectMs);
    if (error == 0) return Make(item, Verdict::Ok, where + " accepts a connection");
    const std::string why = error == platform::net::kTimedOut
                                ? " did not accept a connection within " +
                                      std::to_string(kPrinterConnectMs / 1000) + " s"
                                : " could not be reached " + Error(error);
    return Make(item, Verdict::Warning,
                where + why +
                    ": check that the printer is switched on and on the network (the "
                    "installation can go on without it)");
}

int PreflightExitCode(const std::vector<Finding>& findings) {
    int code = exitcode::kSuccess;
    for (const Finding& finding : findings) {
        if (finding.verdict != Verdict::Blocking) continue;
        if (finding.policy) return exitcode::kForbiddenByPolicy;
        code = exitcode::kFailure;
    }
    return code;
}

std::string PreflightLine(const Finding& finding) {
    const char* word = finding.verdict == Verdict::Ok        ? "ok       "
                       : finding.verdict == Verdict::Warning ? "warning  "
                                                             : "blocking ";
    return word + finding.item + ": " + finding.text;
}

std::string BlockingText(const std::vector<Finding>& findings) {
    std::string text;
    for (const Finding& finding : findings) {
        if (finding.verdict == Verdict::Blocking) text += "\r\n\r\n- " + finding.text + ".";
    }
    return text.empty() ? text : "The installation cannot start on this machine:" + text;
}

bool ClearToInstall(InstallerDialog& dialog, const std::string& model) {
    if (dialog.preflightPassed) return true;
    PreflightRequest request;
    request.model = model;
    request.offeredEntries = static_cast<std::size_t>(dialog.driverCombo.GetCount());
    request.modelOffered = true;  // the dialog installs only what its list offers
    request.packageFailure = dialog.extractor.FailureText();
    request.workingFolders = dialog.workingFoldersProblem;
    request.declaredBytes = dialog.extractor.DeclaredTotal();
    const std::string text = BlockingText(Preflight(dialog.Platform()).Run(request));
    if (text.empty()) return true;
    dialog.TheOperator().ShowMessageBox(
        OwnedBox(Message::kPreflightBlocked, text, "Error", platform::mb::kOk));
    dialog.EndInstallation(InstallerDialog::Outcome::Failed, text);
    return false;
}

}  // namespace app
