// Broken and hostile driver packages at start-up, unpacked by the real
// archive engine into the simulated drive C: the start-up always ends with
// Install enabled, nothing lands outside the package's own places, and the
// operator is told what could not be done when Install needs what is
// missing; never "The installation is completed.".
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "archive/zip_builder.h"
#include "extract.h"
#include "install_fixture.h"
#include "sim/sim_archive.h"
#include "sim/sim_text.h"

namespace {

using testing_support::PackageFiles;
using ziptest::Builder;
using ziptest::Entry;
namespace mb = platform::mb;

const std::string kPackage = "C:\\Installer\\DriverData.Drv";
const std::string kCompleted = "The installation is completed.";
const std::string kNothingToInstall =
    "There is no driver to install. The driver package \"DriverData.Drv\" was not found in the "
    "program's folder, or it could not be unpacked.";

std::string ListText() {
    // Section 27 is the receipt model KV6X, section 40 the label model 47T.
    std::string text;
    for (int k = 0; k <= 40; ++k) {
        text += "[S" + std::to_string(k) + "]\r\n";
        if (k == 27) text += "PrintName1=KV6X\r\n";
        if (k == 40) text += "PrintName1=47T(Label)\r\n";
    }
    return text;
}

std::string Slashed(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// The list first, then every file of the package except those `skip` names.
Builder Package(const std::function<bool(const std::string&)>& skip = nullptr,
                bool withList = true) {
    Builder b;
    if (withList) b.File("DriverName.cfg", ListText());
    for (const auto& [path, content] : PackageFiles()) {
        if (!skip || !skip(path)) b.File(Slashed(path), content);
    }
    return b;
}

class BadPackageTest : public testing_support::InstallTest {
protected:
    BadPackageTest() : InstallTest(false) { Ports({"USB001"}); }

    void Ship(const std::vector<std::uint8_t>& zip,
              std::optional<std::uint64_t> freeBytes = std::nullopt) {
        machine.files.WriteFile(kPackage, std::string(zip.begin(), zip.end()));
        sim::UseRealArchiveEngine(machine.libraries, machine.files, freeBytes);
        outsideBefore_ = Outside();
    }

    // Everything on the drive but the package's own places.
    std::vector<std::string> Outside() const {
        std::vector<std::string> rest;
        for (const auto& path : machine.files.List()) {
            const std::string upper = sim::Upper(path);
            if (upper.rfind("C:\\TICKET", 0) == 0 || upper.rfind("C:\\BARCODE", 0) == 0 ||
                upper == "C:\\DRIVERNAME.CFG") {
                continue;
            }
            rest.push_back(path);
        }
        return rest;
    }

    // Start-up ran to its end and left the dialog usable, with nothing
    // written outside the package's places.
    void ExpectUsableStart() {
        EXPECT_TRUE(ButtonEnabled());
        EXPECT_EQ(ButtonText(), "&Install");
        EXPECT_TRUE(window.messageBoxes.empty());
        EXPECT_EQ(Outside(), outsideBefore_);
    }

    void ExpectRefusedWith(const std::string& libraryText) {
        ASSERT_EQ(window.messageBoxes.size(), 1u);
        EXPECT_EQ(window.messageBoxes[0].text, kNothingToInstall + libraryText);
        EXPECT_TRUE(ButtonEnabled());
        EXPECT_EQ(ButtonText(), "&Install");
        EXPECT_NE(Status(), kCompleted);
        EXPECT_EQ(machine.spooler.Printer("KV6X"), nullptr);
    }

    std::vector<std::string> outsideBefore_;
};

struct Refused {
    const char* label;
    std::function<std::vector<std::uint8_t>()> package;
    const char* libraryText;  // what the installer's message ends with
};

class RefusedPackageTest : public BadPackageTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedPackageTest, NothingIsUnpackedAndInstallSaysWhy) {
    Ship(GetParam().package());
    StartDialog();
    ExpectUsableStart();
    // Only the installer's own empty folders and list, made before unpacking.
    EXPECT_EQ(machine.files.ReadFile("C:\\DriverName.cfg"), "");
    EXPECT_EQ(machine.files.List("C:\\Ticket"), std::vector<std::string>{});
    EXPECT_TRUE(window.Control(IDC_DRIVER_COMBO).items.empty());
    Install(ports::kUsb);
    ExpectRefusedWith(std::string("\r\n\r\n") + GetParam().libraryText);
    EXPECT_EQ(Outside(), outsideBefore_);
}

std::vector<std::uint8_t> WithEntry(const std::string& name) {
    return Package().File(name, "payload").Build();
}

Entry Bomb() {
    Entry e;
    e.name = "Ticket/x86/pad.bin";
    e.data = std::string(5000, 'b');
    e.alreadyPacked = true;
    e.declaredSize = 100 << 20;
    return e;
}

Entry UnixLink() {
    Entry e;
    e.name = "Ticket/x86/QZ70N.DLL";
    e.data = "../../Windows/system32/spoolsv.exe";
    e.method = 0;
    e.versionMadeBy = 0x031E;
    e.externalAttributes = 0120777u << 16;
    return e;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, RefusedPackageTest,
    ::testing::Values(
        Refused{"Parent", [] { return WithEntry("../escape.dll"); },
                "Error 6 (unsafe path): unsafe entry name \"../escape.dll\": parent-folder "
                "component ('..')"},
        Refused{"Drive", [] { return WithEntry("D:\\escape.dll"); },
                "Error 6 (unsafe path): unsafe entry name \"D:\\escape.dll\": drive letter or "
                "stream name (':')"},
        Refused{"Mixed", [] { return WithEntry("Ticket\\x86/..\\..//../escape.dll"); },
                "Error 6 (unsafe path): unsafe entry name \"Ticket\\x86/..\\..//../escape.dll\": "
                "parent-folder component ('..')"},
        Refused{"Device", [] { return WithEntry("Barcode/Common/aux.chm"); },
                "Error 6 (unsafe path): unsafe entry name \"Barcode/Common/aux.chm\": device name "
                "('aux.chm')"},
        Refused{"Link", [] { return Package().Add(UnixLink()).Build(); },
                "Error 4 (unsupported feature): symbolic link entry: Ticket/x86/QZ70N.DLL"},
        Refused{
            "RatioBomb", [] { return Package().Add(Bomb()).Build(); },
            "Error 7 (too large): entry would inflate 5000 bytes to 104857600 (more than 200:1): "
            "Ticket/x86/pad.bin"},
        Refused{"NotAZip", [] { return std::vector<std::uint8_t>(3000, 'M'); },
                "Error 3 (not a ZIP archive or corrupt): not a ZIP archive (no end of central "
                "directory record)"},
        Refused{"ZeroBytes", [] { return std::vector<std::uint8_t>(); },
                "Error 3 (not a ZIP archive or corrupt): not a ZIP archive (file too small)"},
        Refused{"TruncatedDirectory",
                [] {
                    auto zip = Package().Build();
                    std::vector<std::uint8_t> end(zip.end() - 22, zip.end());
                    zip.resize(zip.size() - 22 - 40);
                    zip.insert(zip.end(), end.begin(), end.end());
                    return zip;
                },
                "Error 3 (not a ZIP archive or corrupt): bad central directory offset"}),
    [](const ::testing::TestParamInfo<Refused>& info) { return std::string(info.param.label); });

TEST_F(BadPackageTest, APackageTheDriveCannotTakeIsRefusedBeforeAnythingIsWritten) {
    const auto zip = Package().Build();
    std::uint64_t total = ListText().size();
    for (const auto& file : PackageFiles()) total += file.second.size();
    Ship(zip, archive::kFreeSpaceMargin + total - 1);
    StartDialog();
    ExpectUsableStart();
    EXPECT_EQ(machine.files.ReadFile("C:\\DriverName.cfg"), "");
    Install(ports::kUsb);
    ExpectRefusedWith(
        "\r\n\r\nError 12 (not enough disk space): the package unpacks to 1 MiB but "
        "its destination has 64 MiB free, and 64 MiB of it must stay free");
}

TEST_F(BadPackageTest, APackageThatJustFitsIsInstalled) {
    std::uint64_t total = ListText().size();
    for (const auto& file : PackageFiles()) total += file.second.size();
    Ship(Package().Build(), archive::kFreeSpaceMargin + total);
    StartAndInstall(ports::kUsb);
    EXPECT_TRUE(window.messageBoxes.empty());
    EXPECT_EQ(Status(), kCompleted);
    EXPECT_NE(machine.spooler.Printer("KV6X"), nullptr);
}

TEST_F(BadPackageTest, WithoutTheDriverNameListInstallSaysThereIsNothingToInstall) {
    Ship(Package(nullptr, false).Build());
    StartDialog();
    ExpectUsableStart();
    EXPECT_TRUE(machine.files.Exists("C:\\Ticket\\x86\\KV6X.GPD"));
    Install(ports::kUsb);
    ExpectRefusedWith("");  // the package was fine, so the library has nothing to add
}

TEST_F(BadPackageTest, WithoutTheReceiptFolderTheRegistrationFailureIsShownAndRetryOffered) {
    Ship(Package([](const std::string& p) { return p.rfind("Ticket", 0) == 0; }).Build());
    StartDialog();
    ExpectUsableStart();
    EXPECT_EQ(window.Control(IDC_DRIVER_COMBO).items.front(), "KV6X");
    window.messageBoxAnswers = {mb::kIdRetry};
    Install(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text.rfind("Failed to add the driver 2\r\n", 0), 0u)
        << window.messageBoxes[0].text;
    EXPECT_EQ(ButtonText(), "Reinstall");
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_NE(Status(), kCompleted);
    EXPECT_EQ(machine.spooler.Printer("KV6X"), nullptr);
}

TEST_F(BadPackageTest, WithoutTheLabelFolderTheMonitorFailureIsShown) {
    Ship(Package([](const std::string& p) { return p.rfind("Barcode", 0) == 0; }).Build());
    StartDialog();
    ExpectUsableStart();
    window.ComboSetCurSel(IDC_DRIVER_COMBO, 1);
    dialog->OnDriverSelChange();
    Install(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text, "Failed to add Monitor\r\n");
    EXPECT_NE(Status(), kCompleted);
    EXPECT_EQ(machine.spooler.Printer("47T(Label)"), nullptr);
    EXPECT_TRUE(window.ended);  // the documented end of a failed monitor
}

TEST_F(BadPackageTest, AFileFailingItsCrcIsNotLeftToBeInstalled) {
    Builder b = Package([](const std::string& p) { return p == "Ticket\\x86\\KV6X.GPD"; });
    Entry bad;
    bad.name = "Ticket/x86/KV6X.GPD";
    bad.data = "x86 KV6X.GPD";
    bad.crc = 0xBAD;
    b.Add(bad);
    Ship(b.Build());
    StartDialog();
    ExpectUsableStart();
    EXPECT_TRUE(machine.files.Exists("C:\\DriverName.cfg"));
    EXPECT_FALSE(machine.files.Exists("C:\\Ticket\\x86\\KV6X.GPD"));
    window.messageBoxAnswers = {mb::kIdRetry};
    Install(ports::kUsb);
    ASSERT_EQ(window.messageBoxes.size(), 1u);
    EXPECT_EQ(window.messageBoxes[0].text.rfind("Failed to add the driver 2\r\n", 0), 0u);
    EXPECT_NE(Status(), kCompleted);
    EXPECT_EQ(machine.spooler.Driver("KV6X", "Windows NT x86"), nullptr);
}

TEST_F(BadPackageTest, NamesDifferingOnlyInCaseAreOneFileAndTheLastOneWins) {
    Builder b = Package();
    b.File("TICKET/X86/kv6x.gpd", "second GPD");
    Ship(b.Build());
    StartAndInstall(ports::kUsb);
    EXPECT_EQ(Status(), kCompleted);
    EXPECT_EQ(machine.files.ReadFile(std::string(testing_support::kDirX86) + "\\3\\KV6X.GPD"),
              std::string("second GPD"));
}

TEST_F(BadPackageTest, TheWorkingFoldersOfAHalfUnpackedPackageGoWithTheDialog) {
    Builder b = Package();
    Entry bad;
    bad.name = "Barcode/Common/zz.bin";
    bad.data = "zz";
    bad.crc = 1;
    b.Add(bad);
    Ship(b.Build());
    StartDialog();
    EXPECT_TRUE(machine.files.Exists("C:\\Barcode\\Common\\THERMAL.chm"));
    dialog->OnDestroy();
    EXPECT_FALSE(machine.files.Exists("C:\\Barcode"));
    EXPECT_FALSE(machine.files.Exists("C:\\Ticket"));
    EXPECT_FALSE(machine.files.Exists("C:\\DriverName.cfg"));
    EXPECT_EQ(Outside(), outsideBefore_);
}

// ----- what a standard user may have left at the working names -----

struct Planted {
    const char* label;
    std::function<void(sim::SimMachine&)> plant;
    bool refused;      // the installer stops before unpacking, or unpacks as usual
    const char* said;  // in its box when refused, on the status line otherwise
};

class PlantedTest : public BadPackageTest, public ::testing::WithParamInterface<Planted> {
protected:
    PlantedTest() {
        machine.files.packageHoldsWorkingFiles = false;
        machine.files.WriteFile("C:\\Precious\\keep.dll", "keep");
        machine.files.WriteFile("C:\\Precious\\list.cfg", "[Planted]\r\nPrintName1=Evil\r\n");
    }
};

// Nothing behind a link is touched, from the start-up to the window's end;
// the installer's own items are made for administrators only, or it stops
// before unpacking and names the item.
TEST_P(PlantedTest, NothingBehindALinkIsTouchedAndTheItemsAreMadeProtected) {
    const std::string protectedAccess = platform::file::kProtectedAccess;
    GetParam().plant(machine);
    Ship(Package().Build());
    StartDialog();
    EXPECT_EQ(Outside(), outsideBefore_);
    if (!GetParam().refused) {
        EXPECT_TRUE(window.messageBoxes.empty());
        const auto shown = window.StatusHistory();
        const auto note = std::find_if(shown.begin(), shown.end(), [](const std::string& t) {
            return t.rfind("Removed the link", 0) == 0;
        });
        EXPECT_EQ(note == shown.end() ? std::string() : *note,
                  GetParam().said ? GetParam().said : "");
        EXPECT_EQ(window.Control(IDC_DRIVER_COMBO).items,
                  (std::vector<std::string>{"KV6X", "47T(Label)"}));
        for (const char* item : {"C:\\Ticket", "C:\\Barcode", "C:\\DriverName.cfg"}) {
            EXPECT_EQ(machine.files.AccessOf(item), protectedAccess) << item;
        }
    } else {
        ASSERT_EQ(window.messageBoxes.size(), 1u);
        EXPECT_EQ(window.messageBoxes[0].id,
                  static_cast<int>(app::Message::kWorkingFoldersNotReady));
        EXPECT_NE(window.messageBoxes[0].text.find(GetParam().said), std::string::npos)
            << window.messageBoxes[0].text;
        EXPECT_EQ(sim::CountCalls(machine.libraries.calls, "SevenZip"), 0);
        EXPECT_TRUE(window.Control(IDC_DRIVER_COMBO).items.empty());
    }
    dialog->OnDestroy();
    EXPECT_EQ(Outside(), outsideBefore_);
}

INSTANTIATE_TEST_SUITE_P(
    AtTheRootOfC, PlantedTest,
    ::testing::Values(
        Planted{"JunctionAtTicket",
                [](sim::SimMachine& m) { m.files.MakeLink("C:\\Ticket", "C:\\Precious"); }, false,
                "Removed the link c:\\Ticket; nothing it led to was touched."},
        Planted{"LinkAtTheList",
                [](sim::SimMachine& m) {
                    m.files.MakeLink("C:\\DriverName.cfg", "C:\\Precious\\list.cfg");
                },
                false, "Removed the link c:\\DriverName.cfg; nothing it led to was touched."},
        Planted{"SecondNameOfAFile",
                [](sim::SimMachine& m) {
                    m.files.WriteFile("C:\\DriverName.cfg", "[Planted]\r\nPrintName1=Evil\r\n");
                    m.files.SetLinkCount("C:\\DriverName.cfg", 2);
                },
                false, "Removed the link c:\\DriverName.cfg; nothing it led to was touched."},
        Planted{"AUsersFolderWithALinkInside",
                [](sim::SimMachine& m) {
                    m.files.WriteFile("C:\\Barcode\\mine.dll", "mine");
                    m.files.MakeLink("C:\\Barcode\\x86", "C:\\Precious");
                },
                false, nullptr},
        // Wine's answer: the link could only be followed.
        Planted{"ALinkTheSystemCannotRemove",
                [](sim::SimMachine& m) {
                    m.files.MakeLink("C:\\Barcode", "C:\\Precious");
                    m.files.failures.FailAlways("RemoveLinkA", platform::error::kNotSupported);
                },
                true, "c:\\Barcode is a link to another place"},
        Planted{"AFolderThatCannotGo",
                [](sim::SimMachine& m) {
                    m.files.WriteFile("C:\\Ticket\\held.dll", "held");
                    m.files.SetReadOnly("C:\\Ticket\\held.dll");
                },
                true, "c:\\Ticket was already there and could not be removed"},
        Planted{"MadeByAnotherInBetween",
                [](sim::SimMachine& m) {
                    m.files.failures.FailNext("CreateProtectedFileA",
                                              platform::error::kAlreadyExists);
                },
                true, "c:\\DriverName.cfg could not be made for administrators only (error 183)"}),
    [](const ::testing::TestParamInfo<Planted>& info) { return std::string(info.param.label); });

}  // namespace
