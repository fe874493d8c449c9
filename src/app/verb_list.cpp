// /list: the package's driver-list entries and the driver each installs.
#include "app/unattended_install.h"

#include <algorithm>

#include "base/exit_codes.h"

namespace app {

std::vector<DriverListEntry> ReadDriverListEntries(InstallerDialog& dialog) {
    std::vector<DriverListEntry> entries;
    // A list that may have been planted is never read.
    if (!dialog.workingFoldersProblem.empty()) return entries;
    ScanDriverList(dialog.Platform().profile, [&](int, const std::string& name) {
        DriverListEntry entry;
        entry.name = name;
        entries.push_back(entry);
    });
    const catalogue::ReceiptBlocks blocks = dialog.Blocks();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        DriverListEntry& entry = entries[row];
        // As the Install command maps a choice: the last section that lists it.
        entry.modelIndex = dialog.FindModelIndex(entry.name, static_cast<int>(row));
        entry.label =
            catalogue::FamilyOf(entry.modelIndex, blocks) == catalogue::DriverFamily::Label;
        if (entry.label) {
            if (auto model = catalogue::ResolveLabelModel(entry.modelIndex, blocks)) {
                entry.driver = model->driverName;
            }
        } else if (auto model =
                       catalogue::ResolveReceiptModel(entry.modelIndex, blocks, entry.name)) {
            entry.driver = model->driverName;
        }
    }
    return entries;
}

void UnattendedInstall::List() {
    const std::vector<DriverListEntry> entries = ReadDriverListEntries(dialog_);
    if (entries.empty()) {
        console_.Write(std::string("error: ") + kNoDriversText + "\r\n");
        Finish(exitcode::kFailure, kNoDriversText);
        return;
    }
    std::size_t width = 0;
    for (const auto& entry : entries) width = std::max(width, entry.name.size());
    std::string text =
        "Driver-list entries of \"DriverData.Drv\" and the driver each installs:\r\n";
    for (const auto& entry : entries) {
        std::string name = entry.name;
        name.resize(width, ' ');
        const std::string driver = entry.driver.empty()
                                       ? std::string("(none: this entry installs nothing)")
                                       : entry.driver + (entry.label ? " (label)" : " (receipt)");
        text += "  " + name + "  " + driver + "\r\n";
    }
    console_.Write(text);
    log_.Write("listed " + std::to_string(entries.size()) + " driver-list entries");
    Finish(exitcode::kSuccess, std::string());
}

}  // namespace app
