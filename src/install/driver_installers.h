// The two installation sequences, one per driver family. Each reads the
// operator's choices from the dialog's fields, copies the model's files into
// the spooler's driver directory, registers the driver and hands over to the
// dialog's printer stage; it shows its own outcome (status line, progress,
// the Install button's caption) before it returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/model_catalogue.h"
#include "platform/spooler.h"

namespace app {
class InstallerDialog;
}

namespace install {

constexpr const char* kEnvironmentX86 = "Windows NT x86";
constexpr const char* kEnvironmentX64 = "Windows x64";
constexpr std::uint32_t kDriverDirectoryBufferSize = 255;
constexpr std::uint32_t kSystemPathBufferSize = 260;
constexpr const char* kLanguageMonitorName = "Advanced Language Monitor";

// What the two sequences share: the driver directory, copies that show
// their destination, and the outcome of a registration.
class DriverInstallerBase {
protected:
    explicit DriverInstallerBase(app::InstallerDialog& dialog);

    // Environment and driver directory for this machine's word size. False,
    // with the operator told, when the spooler gives no directory.
    bool FindDriverDirectory();
    platform::BoolResult AskDriverDirectory();
    // False, with the operator told, when a path would not fit the driver
    // record's buffers of `bufferSize` bytes.
    bool PathsFit(const std::vector<std::string>& paths, std::size_t bufferSize);
    // Copies over an existing file, then shows the destination.
    void CopyShowingDestination(const std::string& source, const std::string& destination);
    void DeleteFromDriverDirectory(const std::string& fileName);
    std::string InDriverDirectory(const std::string& fileName) const;
    void ShowStatus(const std::string& text);
    // 2 on Windows NT 4.0, 3 everywhere else.
    std::uint32_t DriverVersion();
    // Registers the driver (level 3, copying all files); exactly 1 is success.
    platform::BoolResult AddDriver(const platform::DriverInfo3& info);
    // The registration failed (`reason`, as the box said): Retry leaves the
    // dialog ready for another attempt, Cancel closes the installer.
    void AfterFailedRegistration(int answer, const std::string& reason);
    // The installation fails before anything is registered.
    void GiveUp(const std::string& reason);

    app::InstallerDialog& dialog_;
    app::catalogue::ReceiptBlocks blocks_;
    bool wow64_ = false;
    std::string environment_;
    std::string driverDirectory_;
};

class ReceiptDriverInstaller : private DriverInstallerBase {
public:
    explicit ReceiptDriverInstaller(app::InstallerDialog& dialog) : DriverInstallerBase(dialog) {}
    void Install();

    // The dependent-file list of a receipt driver, without the final empty entry.
    static std::vector<std::string> DependentFiles(const app::catalogue::ReceiptModel& model);

private:
    platform::DriverInfo3 DriverRecord(const app::catalogue::ReceiptModel& model);
};

class LabelDriverInstaller : private DriverInstallerBase {
public:
    explicit LabelDriverInstaller(app::InstallerDialog& dialog) : DriverInstallerBase(dialog) {}
    void Install();

    static std::vector<std::string> DependentFiles(const app::catalogue::LabelModel& model,
                                                   bool x64);

private:
    bool InstallLanguageMonitor(const std::string& monitorFile);
    std::string MonitorDestination(const std::string& monitorFile);
    platform::DriverInfo3 DriverRecord(const app::catalogue::LabelModel& model);
};

}  // namespace install
