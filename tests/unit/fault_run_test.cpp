// Generated fault runs. A successful installation is run once on the
// simulated machine and its call log taken; then, for every platform call
// in that log, the whole run is repeated with that one call failing with a
// representative error. Each run must end in a defined state: the dialog
// usable (or closed after telling the operator), a message whenever the
// outcome falls short, the spooler not left stopped without a word, and
// "The installation is completed." only for a printer that really exists
// with its driver. The runs come from the log, so a call the sequences make
// tomorrow is failed tomorrow without a new test.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "install_fixture.h"

namespace {

using platform::RegistryRoot;
namespace mb = platform::mb;

constexpr const char* kCompleted = "The installation is completed.";
constexpr const char* kDefaultPrinterKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// What a failing call says. Calls missing here fail with access denied,
// the answer nearly every Windows call can give.
std::uint32_t RepresentativeError(const std::string& call) {
    static const std::map<std::string, std::uint32_t> kErrors = {
        {"LoadLibraryA", 126},    // module not found
        {"GetProcAddress", 127},  // procedure not found
        {"SevenZip", 3},          // the library's "corrupt archive"
        {"GetPrivateProfileSectionNamesA", 2},
        {"GetPrivateProfileStringA", 2},
        {"EnumPortsA", 1722},  // RPC server unavailable
        {"EnumPrintersA", 1722},
        {"GetPrinterDriverDirectoryA", 1722},
        {"OpenPrinterA", 1801},      // invalid printer name
        {"AddPrinterA", 1797},       // unknown printer driver
        {"AddPrinterDriverExA", 2},  // a driver file missing
        {"AddMonitorA", 126},
        {"StartServiceA", 1058},    // service disabled
        {"ControlService", 1061},   // cannot accept control
        {"QueryServiceStatus", 6},  // invalid handle
        {"OpenSCManagerA", 5},
        {"OpenServiceA", 1060},  // no such service
        {"RegOpenKeyExA", 2},
        {"RegQueryValueExA", 2},
        {"RegEnumValueA", 1018},  // key marked for deletion
        {"CopyFileA", 32},        // sharing violation
        {"Start", 8},             // not enough memory for a thread
    };
    auto it = kErrors.find(call);
    return it == kErrors.end() ? 5 : it->second;
}

// A machine and a main dialog set up for one installation, as the
// installer finds them at a customer's: the package unpacked by the
// library, the driver-name list, one USB port, the spooler stopped.
struct Rig {
    enum class Family { Receipt, Label };

    explicit Rig(Family f) : family(f) {
        machine.RequireRunningSpooler();
        window.onUpdateData = [this](std::uintptr_t w) { return dialog->OnUpdateDataMessage(w); };
        machine.libraries.AddArchiveLibrary();
        machine.files.WriteFile("C:\\Installer\\DriverData.Drv", "PK");
        for (const auto& [path, content] : testing_support::PackageFiles()) {
            machine.files.WriteFile("C:\\" + path, content);
        }
        std::string list;
        for (int k = 0; k <= 40; ++k) {
            list += "[S" + std::to_string(k) + "]\r\n";
            if (k == 27) list += "PrintName1=KV6X\r\n";
            if (k == 40) list += "PrintName1=47T(Label)\r\n";
        }
        machine.files.WriteFile("C:\\DriverName.cfg", list);
        machine.spooler.ClearPorts();
        machine.spooler.AddPort("USB001");
    }

    void Run(int retries) {
        for (int i = 0; i < retries; ++i) window.messageBoxAnswers.push_back(mb::kIdRetry);
        dialog->InitDialog();
        Deliver();
        // An operator can only press an enabled button.
        if (window.ended || !window.Control(IDC_INSTALL).enabled) return;
        if (family == Family::Label) {
            window.ComboSetCurSel(IDC_DRIVER_COMBO, 1);
            dialog->OnDriverSelChange();
        }
        for (int r = 0; r < 4; ++r) {
            window.ListViewSetItemState(IDC_PORT_TYPE_LIST, r,
                                        r == ports::kUsb ? platform::lv::kSelected : 0,
                                        platform::lv::kSelected);
        }
        // A list read that failed at start-up may offer another entry
        // first: the operator installs what the list shows.
        chosen = window.GetControlText(IDC_DRIVER_COMBO);
        pressed = true;
        dialog->OnInstall();
        Deliver();
    }

    void Deliver() {
        while (delivered < window.startupFinishedPosts) {
            ++delivered;
            dialog->OnStartupFinished();
        }
    }

    // Every simulated service that logs its calls, with its failure plan.
    struct Service {
        const char* name;
        std::vector<std::string>* calls;
        sim::FailurePlan* failures;
    };
    std::vector<Service> Services() {
        return {{"spooler", &machine.spooler.calls, &machine.spooler.failures},
                {"registry", &machine.registry.calls, &machine.registry.failures},
                {"services", &machine.services.calls, &machine.services.failures},
                {"files", &machine.files.calls, &machine.files.failures},
                {"profile", &machine.profile.calls, &machine.profile.failures},
                {"system", &machine.system.calls, &machine.system.failures},
                {"threads", &machine.threads.calls, &machine.threads.failures},
                {"libraries", &machine.libraries.calls, &machine.libraries.failures},
                {"token", &machine.token.calls, &machine.token.failures}};
    }

    // Each name of the list installs the driver of that name, and the
    // printer takes the name too.
    std::string PrinterName() const { return chosen; }
    std::string DriverName() const { return chosen; }

    Family family;
    sim::SimMachine machine;
    sim::SimDialogWindow window;
    platform::Platform platform = machine.MakePlatform(window);
    std::unique_ptr<app::InstallerDialog> dialog = std::make_unique<app::InstallerDialog>(platform);
    int delivered = 0;
    std::string chosen;
    bool pressed = false;  // Install was pressed
};

// One planned failure: the (skip+1)-th call of `call` on service `service`.
struct Fault {
    std::string service;
    std::string call;
    int skip = 0;
    std::string Describe() const {
        return service + "." + call + " #" + std::to_string(skip + 1) + " failing with " +
               std::to_string(RepresentativeError(call));
    }
};

std::vector<Fault> FaultsFromLog(Rig& rig) {
    std::vector<Fault> faults;
    for (const auto& service : rig.Services()) {
        std::map<std::string, int> seen;
        for (const auto& logged : *service.calls) {
            const std::string call = sim::CallName(logged);
            faults.push_back({service.name, call, seen[call]++});
        }
    }
    return faults;
}

// What a finished run looks like from outside the installer.
struct Outcome {
    bool completed = false;
    bool installed = false;
    bool defaultSet = false;
    bool spoolerRunning = false;
    bool ended = false;
    bool usable = false;
    std::size_t boxes = 0;
    std::size_t unidentifiedBoxes = 0;
    std::string status;
    std::string button;
    // What the installation recorded of its end, once Install was pressed.
    bool pressed = false;
    app::InstallerDialog::Outcome recorded = app::InstallerDialog::Outcome::None;
    std::string reason;
};

Outcome Judge(Rig& rig) {
    Outcome o;
    o.status = rig.window.Control(IDC_STATUS).text;
    o.button = rig.window.Control(IDC_INSTALL).text;
    o.completed = o.status == kCompleted;
    o.installed = rig.machine.spooler.Printer(rig.PrinterName()) != nullptr &&
                  rig.machine.spooler.Driver(rig.DriverName(), "Windows NT x86") != nullptr;
    const auto device =
        rig.machine.registry.GetString(RegistryRoot::CurrentUser, kDefaultPrinterKey, "Device");
    o.defaultSet = device && device->rfind(rig.PrinterName() + ",winspool,", 0) == 0;
    o.spoolerRunning = rig.machine.services.State("Spooler") == platform::svc::kRunning;
    o.ended = rig.window.ended;
    // Usable: Install can be pressed, or the operator was told why not and
    // can still close the dialog.
    o.usable = o.ended || rig.window.Control(IDC_INSTALL).enabled ||
               (!rig.window.messageBoxes.empty() && rig.window.Control(mb::kIdCancel).enabled);
    o.boxes = rig.window.messageBoxes.size();
    for (const auto& box : rig.window.messageBoxes) o.unidentifiedBoxes += box.id == 0 ? 1 : 0;
    o.pressed = rig.pressed;
    o.recorded = rig.dialog->outcome;
    o.reason = rig.dialog->outcomeReason;
    return o;
}

// Empty when the run ended in a defined state; otherwise what is wrong.
std::string Problems(const Outcome& o) {
    std::vector<std::string> problems;
    if (!o.usable) problems.push_back("the dialog is left with Install disabled");
    if (o.completed && !o.installed)
        problems.push_back("reports completion without the printer and its driver");
    if (o.completed && !o.defaultSet && o.boxes == 0)
        problems.push_back("the default printer was silently not set");
    if ((!o.completed || !o.installed) && o.boxes == 0 && !o.ended) {
        problems.push_back("the installation fell short without a message");
    }
    if (o.ended && o.boxes == 0) problems.push_back("the dialog closed without a word");
    if (!o.spoolerRunning && o.boxes == 0)
        problems.push_back("the spooler is left stopped without a word");
    using Recorded = app::InstallerDialog::Outcome;
    if (o.unidentifiedBoxes != 0) problems.push_back("a message box without its identifier");
    if (o.completed != (o.recorded == Recorded::Completed)) {
        problems.push_back("the recorded outcome disagrees with the status line");
    }
    if (o.pressed && !o.completed && (o.recorded == Recorded::None || o.reason.empty())) {
        problems.push_back("the installation fell short without recording why");
    }
    if (o.usable && !o.ended && o.button != "&Finish" && o.button != "Reinstall" &&
        o.button != "&Install") {
        problems.push_back("the button reads \"" + o.button + "\"");
    }
    std::string text;
    for (const auto& p : problems) text += (text.empty() ? "" : "; ") + p;
    return text;
}

struct Scenario {
    const char* name;
    Rig::Family family;
    int retries;  // Retry answers before the default Cancel
};

class FaultRunTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultRunTest, EveryCallOfASuccessfulInstallationFailsInTurnIntoADefinedState) {
    const Scenario scenario = GetParam();
    Rig baseline(scenario.family);
    baseline.Run(scenario.retries);
    const Outcome good = Judge(baseline);
    ASSERT_EQ(baseline.chosen, scenario.family == Rig::Family::Receipt ? "KV6X" : "47T(Label)");
    ASSERT_TRUE(good.completed && good.installed && good.defaultSet && good.boxes == 0)
        << "the run to take the log from must succeed: " << good.status;
    const std::vector<Fault> faults = FaultsFromLog(baseline);
    // A log with a handful of calls would mean the sequences were not run.
    ASSERT_GT(faults.size(), 60u);

    std::set<std::string> calls;
    int injected = 0;
    for (const Fault& fault : faults) {
        Rig rig(scenario.family);
        for (auto& service : rig.Services()) {
            if (fault.service == service.name) {
                service.failures->FailAfter(fault.call, fault.skip,
                                            RepresentativeError(fault.call));
            }
        }
        rig.Run(scenario.retries);
        for (auto& service : rig.Services()) {
            if (fault.service == service.name)
                injected += service.failures->InjectedCount(fault.call);
        }
        calls.insert(fault.service + "." + fault.call);
        const Outcome o = Judge(rig);
        const std::string problems = Problems(o);
        EXPECT_EQ(problems, "") << fault.Describe() << ": status \"" << o.status << "\", "
                                << o.boxes << " message(s)"
                                << (o.boxes ? ", first \"" + rig.window.messageBoxes[0].text + "\""
                                            : "");
    }
    // Nearly every planned failure must have been reached (a run that takes
    // another road may not come back to the same call).
    EXPECT_GT(injected * 10, static_cast<int>(faults.size()) * 8);
    std::cout << "[ fault runs ] " << scenario.name << ": " << faults.size() << " runs over "
              << calls.size() << " distinct calls, " << injected << " failures injected\n";
}

INSTANTIATE_TEST_SUITE_P(Installations, FaultRunTest,
                         ::testing::Values(Scenario{"ReceiptUsbCancel", Rig::Family::Receipt, 0},
                                           Scenario{"ReceiptUsbRetry", Rig::Family::Receipt, 3},
                                           Scenario{"LabelUsbCancel", Rig::Family::Label, 0},
                                           Scenario{"LabelUsbRetry", Rig::Family::Label, 3}),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
