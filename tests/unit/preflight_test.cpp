// The pre-flight check's items on the simulated machine, each blocking and
// clear, and how the findings become an exit code.
#include "app/preflight.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/exit_codes.h"
#include "sim/sim_machine.h"
#include "sim/sim_window.h"

namespace {

using app::Finding;
using app::Verdict;
using platform::RegistryRoot;

constexpr const char* kWppKey = "Software\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
constexpr const char* kPointAndPrintKey =
    "Software\\Policies\\Microsoft\\Windows NT\\Printers\\PointAndPrint";
constexpr std::uint64_t kMiB = std::uint64_t(1) << 20;

struct Rig {
    Rig() {
        request.model = "KV6X";
        request.offeredEntries = 3;
        request.modelOffered = true;
        request.declaredBytes = 5 * kMiB;
    }
    sim::SimMachine machine;
    sim::SimDialogWindow window;
    platform::Platform platform = machine.MakePlatform(window);
    app::PreflightRequest request;
};

struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    std::function<Finding(app::Preflight&, const app::PreflightRequest&)> item;
    Verdict verdict;
    const char* says;  // a part of the text
    bool policy;
};

Finding Rights(app::Preflight& p, const app::PreflightRequest&) {
    return p.Rights();
}
Finding Spooler(app::Preflight& p, const app::PreflightRequest&) {
    return p.Spooler();
}
Finding Wpp(app::Preflight& p, const app::PreflightRequest&) {
    return p.ProtectedPrint();
}
Finding Policy(app::Preflight& p, const app::PreflightRequest&) {
    return p.DriverPolicy();
}
Finding Package(app::Preflight&, const app::PreflightRequest& r) {
    return app::Preflight::Package(r);
}
Finding Room(app::Preflight& p, const app::PreflightRequest& r) {
    return p.Room(r);
}
Finding Printer(app::Preflight& p, const app::PreflightRequest& r) {
    return p.Printer(r);
}

void NotAdministrator(Rig& r) {
    r.machine.token.administrator = false;
}
void Protect(Rig& r, std::uint32_t value) {
    r.machine.registry.SetDword(RegistryRoot::LocalMachine, kWppKey,
                                "WindowsProtectedPrintGroupPolicyState", value);
}
void Restrict(Rig& r, std::uint32_t value) {
    r.machine.registry.SetDword(RegistryRoot::LocalMachine, kPointAndPrintKey,
                                "RestrictDriverInstallationToAdministrators", value);
}

const Case kCases[] = {
    {"AnAdministratorHoldingThePrivilege", [](Rig&) {}, Rights, Verdict::Ok,
     "holding SeLoadDriverPrivilege", false},
    {"NotAnAdministrator", NotAdministrator, Rights, Verdict::Blocking, "\"Run as administrator\"",
     false},
    {"WithoutTheDriverPrivilege", [](Rig& r) { r.machine.token.held = {"SeShutdownPrivilege"}; },
     Rights, Verdict::Blocking, "does not hold SeLoadDriverPrivilege", false},
    {"MembershipUnreadable",
     [](Rig& r) { r.machine.token.failures.FailAlways("CheckTokenMembership", 5); }, Rights,
     Verdict::Warning, "could not be read (error 5)", false},
    {"PrivilegesUnreadable",
     [](Rig& r) { r.machine.token.failures.FailAlways("GetTokenInformation", 5); }, Rights,
     Verdict::Warning, "privileges could not be read (error 5)", false},

    {"SpoolerOnDemand",
     [](Rig& r) { r.machine.services.SetStartType("Spooler", platform::svc::kDemandStart); },
     Spooler, Verdict::Ok, "is not disabled (start type 3)", false},
    {"SpoolerDisabled",
     [](Rig& r) { r.machine.services.SetStartType("Spooler", platform::svc::kDisabled); }, Spooler,
     Verdict::Blocking, "\"sc config Spooler start= auto\"", false},
    {"SpoolerMissing", [](Rig& r) { r.machine.services.RemoveService("Spooler"); }, Spooler,
     Verdict::Blocking, "no Print Spooler service (\"Spooler\")", false},
    {"SpoolerUnreadable",
     [](Rig& r) { r.machine.services.failures.FailAlways("QueryServiceConfigA", 5); }, Spooler,
     Verdict::Warning, "start type could not be read (error 5)", false},

    {"ProtectedPrintNotSet", [](Rig&) {}, Wpp, Verdict::Ok, "is off", false},
    {"ProtectedPrintOff", [](Rig& r) { Protect(r, 0); }, Wpp, Verdict::Ok, "is off", false},
    {"ProtectedPrintOn", [](Rig& r) { Protect(r, 1); }, Wpp, Verdict::Blocking,
     "\"Configure Windows protected print\"", true},

    {"RestrictedForANonAdministrator",
     [](Rig& r) {
         NotAdministrator(r);
         Restrict(r, 1);
     },
     Policy, Verdict::Blocking, "RestrictDriverInstallationToAdministrators is 1", true},
    {"RestrictedForAnAdministrator", [](Rig& r) { Restrict(r, 1); }, Policy, Verdict::Ok,
     "this process is one", false},
    {"OpenToEveryone",
     [](Rig& r) {
         NotAdministrator(r);
         Restrict(r, 0);
     },
     Policy, Verdict::Ok, "open to every user", false},
    {"NoPolicyIsLeftToTheRightsItem", NotAdministrator, Policy, Verdict::Ok, "no policy", false},

    {"PackageOffersTheModel", [](Rig&) {}, Package, Verdict::Ok, "offers \"KV6X\"", false},
    {"PackageWithoutTheModel", [](Rig& r) { r.request.modelOffered = false; }, Package,
     Verdict::Blocking, "does not offer \"KV6X\"", false},
    {"NoPackage",
     [](Rig& r) {
         r.request.offeredEntries = 0;
         r.request.packageFailure = "CRC error: PKV.DLL";
     },
     Package, Verdict::Blocking, "(the archive library said: CRC error: PKV.DLL)", false},
    {"NoModelChosen", [](Rig& r) { r.request.model.clear(); }, Package, Verdict::Ok,
     "offers 3 driver-list entries", false},

    {"RoomExactlyEnough", [](Rig& r) { r.machine.files.freeBytes['C'] = r.request.declaredBytes; },
     Room, Verdict::Ok, "C:\\ has 5 MiB free and the package's files take 5 MiB", false},
    {"OneByteShort", [](Rig& r) { r.machine.files.freeBytes['C'] = r.request.declaredBytes - 1; },
     Room, Verdict::Blocking, "free at least 1 MiB on C:\\", false},
    {"NoDeclaredSize", [](Rig& r) { r.request.declaredBytes = 0; }, Room, Verdict::Warning,
     "declares no size", false},
    {"FreeSpaceUnreadable",
     [](Rig& r) { r.machine.files.failures.FailAlways("GetDiskFreeSpaceExA", 21); }, Room,
     Verdict::Warning, "(error 21)", false},

    {"PrinterAnswers",
     [](Rig& r) {
         r.machine.network.listening.insert({"10.0.0.7", 9100});
     },
     Printer, Verdict::Ok, "10.0.0.7:9100 accepts a connection", false},
    {"PrinterSilent", [](Rig&) {}, Printer, Verdict::Warning,
     "did not accept a connection within 2 s", false},
    {"PrinterUnknown", [](Rig& r) { r.machine.network.unknownHosts.insert("10.0.0.7"); }, Printer,
     Verdict::Warning, "could not be reached (error 11001)", false},
};

class PreflightItemTest : public ::testing::TestWithParam<Case> {};

TEST_P(PreflightItemTest, SaysWhatItFound) {
    const Case& c = GetParam();
    Rig rig;
    rig.request.host = "10.0.0.7";
    c.arrange(rig);
    app::Preflight preflight(rig.platform);
    const Finding finding = c.item(preflight, rig.request);
    EXPECT_EQ(finding.verdict, c.verdict) << finding.text;
    EXPECT_NE(finding.text.find(c.says), std::string::npos) << finding.text;
    EXPECT_EQ(finding.policy, c.policy);
    // Every handle the check opened is closed again.
    EXPECT_EQ(rig.machine.token.openHandles, 0);
    EXPECT_EQ(rig.machine.services.OpenHandleCount(), 0);
    EXPECT_EQ(rig.machine.registry.OpenHandleCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Items, PreflightItemTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

TEST(PreflightTest, ThePrinterGetsTwoSecondsOnItsRawPort) {
    Rig rig;
    rig.request.host = "printer.local";
    rig.request.hostPort = 9101;
    const std::uint64_t before = rig.machine.clock.Now();
    (void)app::Preflight(rig.platform).Printer(rig.request);
    EXPECT_EQ(rig.machine.network.calls,
              (std::vector<std::string>{"ConnectTcp(printer.local, 9101, 2000)"}));
    EXPECT_EQ(rig.machine.clock.Now() - before, 2000u);
}

TEST(PreflightTest, TheExitCodeIsPolicyFirstThenFailure) {
    Rig clear;
    const auto findings = app::Preflight(clear.platform).Run(clear.request);
    ASSERT_EQ(findings.size(), 6u);  // no host: no connection item
    EXPECT_EQ(app::PreflightExitCode(findings), app::exitcode::kSuccess);

    Rig warned;
    warned.request.host = "10.0.0.9";  // silent: a warning only
    EXPECT_EQ(app::PreflightExitCode(app::Preflight(warned.platform).Run(warned.request)), 0);

    Rig disabled;
    disabled.machine.services.SetStartType("Spooler", platform::svc::kDisabled);
    EXPECT_EQ(app::PreflightExitCode(app::Preflight(disabled.platform).Run(disabled.request)),
              1603);

    // Not an administrator blocks twice; the policy's code wins.
    Rig restricted;
    NotAdministrator(restricted);
    Restrict(restricted, 1);
    const auto both = app::Preflight(restricted.platform).Run(restricted.request);
    EXPECT_EQ(app::PreflightExitCode(both), app::exitcode::kForbiddenByPolicy);
    EXPECT_EQ(app::PreflightLine(both[0]).rfind("blocking rights: ", 0), 0u);
    const std::string text = app::BlockingText(both);
    EXPECT_EQ(text.rfind(
                  "The installation cannot start on this machine:\r\n\r\n- this process is not", 0),
              0u);
    EXPECT_NE(text.find("\r\n\r\n- this machine's policy keeps"), std::string::npos);
    EXPECT_EQ(app::BlockingText(findings), "");
}

TEST(PreflightTest, ASpoolerDisabledRefusesToStartAsOnWindows) {
    Rig rig;
    rig.machine.services.SetStartType("Spooler", platform::svc::kDisabled);
    std::uint32_t error = 0;
    const auto manager =
        rig.machine.services.OpenSCManagerA("", platform::svc::kManagerConnect, error);
    const auto service = rig.machine.services.OpenServiceA(manager, "Spooler",
                                                           platform::svc::kServiceAllAccess, error);
    const platform::BoolResult started = rig.machine.services.StartServiceA(service);
    EXPECT_EQ(started.value, 0);
    EXPECT_EQ(started.lastError, platform::error::kServiceDisabled);
    (void)rig.machine.services.CloseServiceHandle(service);
    (void)rig.machine.services.CloseServiceHandle(manager);
}

}  // namespace
