// A simulated machine ready for an installation: the working folders as the
// driver package leaves them, a driver-name list, ports of our choosing and
// a dialog whose start-up has run.
#pragma once

#include <string>
#include <vector>

#include "base/model_catalogue.h"
#include "dialog_fixture.h"
#include "base/port_types.h"

namespace testing_support {

constexpr const char* kDirX86 = "C:\\windows\\system32\\spool\\drivers\\w32x86";
constexpr const char* kDirX64 = "C:\\windows\\system32\\spool\\drivers\\x64";

// Every file the package holds, each with a little content, as
// (path below C:\, content).
inline std::vector<std::pair<std::string, std::string>> PackageFiles() {
    namespace cat = app::catalogue;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> ticket = {"PKV.DLL", "QZ70N.DLL", "QOEMUNI.dll", "QOEMUNI.ini"};
    for (int row = cat::kGpdBaseOffset; row < cat::kReceiptBaseCount; ++row) {
        ticket.push_back(std::string(cat::kReceiptBaseNames[row]) + ".GPD");
    }
    for (const char* file : cat::kUnidrvFiles) ticket.push_back(file);
    for (const auto& file : ticket) {
        files.push_back({"Ticket\\x86\\" + file, "x86 " + file});
        files.push_back({"Ticket\\x64\\" + file, "x64 " + file});
    }
    for (const char* file : cat::kLabelFilesX86)
        files.push_back({std::string("Barcode\\x86\\") + file, file});
    for (const char* file : cat::kLabelFilesX64)
        files.push_back({std::string("Barcode\\x64\\") + file, file});
    files.push_back({"Barcode\\Common\\THERMAL.chm", "help"});
    for (const char* base : cat::kLabelBaseNames) {
        for (const char* ext : cat::kLabelDataExtensions) {
            files.push_back({std::string("Barcode\\Common\\") + base + ext, base});
        }
    }
    return files;
}
class InstallTest : public DialogTest {
protected:
    InstallTest() { StageWorkingFolders(); }
    // For tests that bring the working folders some other way.
    explicit InstallTest(bool stage) {
        if (stage) StageWorkingFolders();
    }

    void StageWorkingFolders() {
        for (const auto& [path, content] : PackageFiles())
            machine.files.WriteFile("C:\\" + path, content);
    }

    // A list whose section `section` offers `name` (and nothing else).
    void ListOffering(int section, const std::string& name) {
        std::string text;
        for (int k = 0; k < section; ++k) text += "[S" + std::to_string(k) + "]\r\n";
        text += "[S" + std::to_string(section) + "]\r\nPrintName1=" + name + "\r\n";
        WriteDriverList(text);
    }

    // A spooler that stops once the driver folder has been read, the one
    // call that still answers while it is stopped: only a start made after
    // that lets the later spooler calls through.
    void StopSpoolerAfterTheDriverFolder() {
        machine.services.SetState("Spooler", platform::svc::kStopped);
        machine.spooler.serviceRunning = [this] {
            return sim::CallName(machine.spooler.calls.back()) == "GetPrinterDriverDirectoryA" ||
                   machine.services.State("Spooler") == platform::svc::kRunning;
        };
    }

    void Ports(const std::vector<std::string>& names) {
        machine.spooler.ClearPorts();
        for (const auto& name : names) machine.spooler.AddPort(name);
    }

    void SelectPortType(int row) {
        for (int r = 0; r < 4; ++r)
            window.ListViewSetItemState(IDC_PORT_TYPE_LIST, r, 0, platform::lv::kSelected);
        window.ListViewSetItemState(IDC_PORT_TYPE_LIST, row, platform::lv::kSelected,
                                    platform::lv::kSelected);
    }

    // Start-up, then Install with the first entry and the given port type.
    void StartAndInstall(int portType) {
        StartDialog();
        Install(portType);
    }

    void Install(int portType) {
        SelectPortType(portType);
        dialog->OnInstall();
    }

    std::string Status() { return window.Control(IDC_STATUS).text; }
    std::string ButtonText() { return window.Control(IDC_INSTALL).text; }
    bool ButtonEnabled() { return window.Control(IDC_INSTALL).enabled; }
    std::vector<int> Progress() { return window.Control(IDC_PROGRESS).progressHistory; }
    bool Contains(const std::vector<std::string>& list, const std::string& text) {
        for (const auto& item : list) {
            if (item == text) return true;
        }
        return false;
    }
};

}  // namespace testing_support
