// libFuzzer target: any bytes as the driver-name list "C:\DriverName.cfg",
// read through the simulated profile functions with their buffer rules.
// Filling the driver list and mapping every offered name back to a model
// must stay inside the buffers and the sections, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/driver_list.h"
#include "base/installer_dialog.h"
#include "sim/sim_machine.h"
#include "sim/sim_window.h"

namespace {

void Fail(int line) {
    std::fprintf(stderr, "driver list check failed at line %d\n", line);
    std::abort();
}

}  // namespace

constexpr std::size_t kLargestList = 12 * 1024;

#define Check(condition) ((condition) ? (void)0 : Fail(__LINE__))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Only the first 3000 bytes of section names are ever seen, so longer
    // lists add nothing but time (every read parses the whole file).
    if (size > kLargestList) return 0;
    sim::SimMachine machine;
    sim::SimDialogWindow window;
    platform::Platform platform = machine.MakePlatform(window);
    app::InstallerDialog dialog(platform);
    window.onUpdateData = [&dialog](std::uintptr_t w) { return dialog.OnUpdateDataMessage(w); };
    machine.files.WriteFile(app::kDriverListPath,
                            std::string(reinterpret_cast<const char*>(data), size));

    int sections = 0;
    app::ScanDriverList(machine.profile, [&](int section, const std::string&) {
        Check(section >= sections - 1 && section >= 0);  // file order, never backwards
        sections = section + 1;
    });
    dialog.LoadDriverNames();
    const auto& names = window.Control(IDC_DRIVER_COMBO).items;
    Check(window.Control(IDC_DRIVER_COMBO).curSel == (names.empty() ? -1 : 0));
    // The scan never asks past the last key it reads.
    Check(!machine.profile.WasAsked("PrintName51"));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        Check(!name.empty() && name.size() < app::kValueBufferSize);
        Check(name.find('\0') == std::string::npos);
        // Each lookup scans the whole file again: the first and last few do.
        if (i >= 4 && i + 4 < names.size()) continue;
        const int model = dialog.FindModelIndex(name, -1);
        Check(model >= 0 && model < sections);
    }
    Check(names.size() <= static_cast<std::size_t>(sections) * app::kMaxNamesPerSection);
    return 0;
}
