// Files and initialisation files: the clean-up at exit and the driver-name list.
#include <cstring>

#include "contract.h"

namespace contract {
namespace {

namespace file = platform::file;
namespace err = platform::error;

// ERROR_FILE_EXISTS, which the installer itself never meets.
constexpr std::uint32_t kFileExists = 80;
constexpr const char* kFolder = "C:\\ContractTest";

// The driver-name list's shape: sections in file order, an empty value, a
// section without keys.
constexpr const char* kIni =
    "[Zeta]\r\n"
    "PrintName1=Alpha Printer\r\n"
    "Empty=\r\n"
    "[Alpha]\r\n"
    "Key=Value\r\n"
    "[Mid]\r\n";

std::string IniPath() {
    return std::string(kFolder) + "\\names.ini";
}

bool WriteIni(ContractTarget& target) {
    bool written = target.writeFile(IniPath(), kIni);
    CHECK(written, "could not write %s", IniPath().c_str());
    return written;
}

std::string Shown(const char* buffer, std::uint32_t length) {
    std::string text;
    for (std::uint32_t i = 0; i < length; ++i) text += buffer[i] ? buffer[i] : '|';
    return text;
}

}  // namespace

void FilesCase(ContractTarget& target) {
    const std::string folder = std::string(kFolder) + "\\Files";
    const std::string path = folder + "\\a.txt";
    CHECK(target.writeFile(path, "abc"), "could not write %s", path.c_str());

    std::uint32_t attributes = target.files.GetFileAttributesA(path);
    CHECK(attributes != file::kInvalidAttributes && !(attributes & file::kAttributeDirectory),
          "file attributes 0x%x", attributes);
    attributes = target.files.GetFileAttributesA(folder);
    CHECK(attributes != file::kInvalidAttributes && (attributes & file::kAttributeDirectory),
          "folder attributes 0x%x", attributes);
    CHECK(target.files.GetFileAttributesA(folder + "\\missing.txt") == file::kInvalidAttributes,
          "a missing file has attributes");

    platform::FindData found;
    platform::FindHandle find = target.files.FindFirstFileA(folder + "\\*.*", found);
    CHECK(find != platform::kInvalidFindHandle, "FindFirstFileA found nothing");
    if (find != platform::kInvalidFindHandle) {
        std::string names = found.fileName;
        while (target.files.FindNextFileA(find, found)) names += "," + found.fileName;
        CHECK(names == ".,..,a.txt", "found \"%s\", expected \".,..,a.txt\"", names.c_str());
        CHECK(target.files.FindClose(find), "FindClose failed");
    }
    CHECK(target.files.FindFirstFileA(folder + "\\*.dll", found) == platform::kInvalidFindHandle,
          "FindFirstFileA matched a missing pattern");

    EXPECT_OK(target, target.files.CopyFileA(path, folder + "\\b.txt", true));
    EXPECT_FAIL(target, target.files.CopyFileA(path, folder + "\\b.txt", true), kFileExists);
    EXPECT_FAIL(target, target.files.RemoveDirectoryA(folder), err::kDirNotEmpty);
    EXPECT_OK(target, target.files.DeleteFileA(path));
    EXPECT_OK(target, target.files.DeleteFileA(folder + "\\b.txt"));
    EXPECT_FAIL(target, target.files.DeleteFileA(path), err::kFileNotFound);
    EXPECT_FAIL(target, target.files.DeleteFileA(folder + "\\gone\\a.txt"), err::kPathNotFound);

    std::uint64_t freeBytes = 0;
    EXPECT_OK(target, target.files.GetDiskFreeSpaceExA(folder + "\\", freeBytes));
    CHECK(freeBytes > 0, "no free bytes on the drive of %s", folder.c_str());
    EXPECT_OK(target, target.files.RemoveDirectoryA(folder));
    EXPECT_FAIL(target, target.files.RemoveDirectoryA(folder), err::kFileNotFound);
}

void ProfileSectionNamesCase(ContractTarget& target) {
    if (!WriteIni(target)) return;
    const char kAll[] = "Zeta\0Alpha\0Mid\0";  // and the array's own NUL ends the list
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    std::uint32_t length =
        target.profile.GetPrivateProfileSectionNamesA(buffer, sizeof buffer, IniPath());
    CHECK(length == sizeof kAll - 1 && std::memcmp(buffer, kAll, sizeof kAll) == 0,
          "got %u \"%s\", expected 15 \"Zeta|Alpha|Mid||\"", length,
          Shown(buffer, sizeof kAll).c_str());

    // Cut inside "Alpha": the result is size - 2 and the cut name ends there.
    // Windows also clears the last byte; Wine leaves it, so it is not checked.
    std::memset(buffer, 'x', sizeof buffer);
    length = target.profile.GetPrivateProfileSectionNamesA(buffer, 9, IniPath());
    CHECK(length == 7 && std::memcmp(buffer, "Zeta\0Al\0", 8) == 0 && buffer[9] == 'x',
          "size 9: got %u \"%s\"", length, Shown(buffer, 10).c_str());

    std::memset(buffer, 'x', sizeof buffer);
    length = target.profile.GetPrivateProfileSectionNamesA(buffer, sizeof buffer,
                                                           std::string(kFolder) + "\\none.ini");
    CHECK(length == 0 && buffer[0] == 0, "missing file: got %u \"%s\"", length,
          Shown(buffer, 2).c_str());
}

void ProfileStringCase(ContractTarget& target) {
    if (!WriteIni(target)) return;
    char buffer[64];
    auto read = [&](const char* section, const char* key, const char* fallback,
                    std::uint32_t size) {
        std::memset(buffer, 'x', sizeof buffer);
        return target.profile.GetPrivateProfileStringA(section, key, fallback, buffer, size,
                                                       IniPath());
    };

    std::uint32_t length = read("Zeta", "PrintName1", "", sizeof buffer);
    CHECK(length == 13 && std::string(buffer) == "Alpha Printer", "value: got %u \"%s\"", length,
          buffer);
    length = read("zeta", "printname1", "", sizeof buffer);
    CHECK(length == 13 && std::string(buffer) == "Alpha Printer",
          "names without case: got %u \"%s\"", length, buffer);
    length = read("Zeta", "Empty", "fallback", sizeof buffer);
    CHECK(length == 0 && buffer[0] == 0, "empty value: got %u \"%s\"", length, buffer);
    length = read("Zeta", "PrintName2", "fallback", sizeof buffer);
    CHECK(length == 8 && std::string(buffer) == "fallback", "missing key: got %u \"%s\"", length,
          buffer);
    length = read("Zeta", "PrintName2", nullptr, sizeof buffer);
    CHECK(length == 0 && buffer[0] == 0, "missing key, null default: got %u \"%s\"", length,
          buffer);
    length = read("Mid", "PrintName1", "", sizeof buffer);
    CHECK(length == 0 && buffer[0] == 0, "section without keys: got %u \"%s\"", length, buffer);
    // Too long: cut, NUL-ended, size - 1.
    length = read("Zeta", "PrintName1", "", 6);
    CHECK(length == 5 && std::memcmp(buffer, "Alpha\0x", 7) == 0, "size 6: got %u \"%s\"", length,
          Shown(buffer, 7).c_str());

    EXPECT_OK(target, target.files.DeleteFileA(IniPath()));
    EXPECT_OK(target, target.files.RemoveDirectoryA(kFolder));
}

// What a planted link reads as, and what removing it does; the access list
// the installer's own folders and files are made with.
void LinksCase(ContractTarget& target) {
    platform::FileInformation info;
    CHECK(target.files.GetFileAttributesA(kLinkedFolder) == 0x410, "a linked folder reads 0x%x",
          target.files.GetFileAttributesA(kLinkedFolder));
    for (const char* link : {kLinkedFolder, kLinkedFile, kSecondName}) {
        EXPECT_OK(target, target.files.GetFileInformationA(link, info));
        CHECK(info.IsLink(), "%s reads 0x%x with %u names: not a link", link, info.attributes,
              info.links);
    }
    CHECK(info.links == 2, "the second name's file has %u names", info.links);
    EXPECT_OK(target, target.files.RemoveLinkA(kSecondName));
    CHECK(target.files.GetFileAttributesA(kSecondName) == file::kInvalidAttributes,
          "the second name is still there");
    if (target.isWine) {
        // Wine's own: it opens what a link leads to even when asked not to,
        // so a link could only be removed through it; the adapter refuses.
        EXPECT_FAIL(target, target.files.RemoveLinkA(kLinkedFolder), err::kNotSupported);
        CHECK(target.files.GetFileAttributesA(std::string(kLinkedFolder) + "\\keep.txt") !=
                  file::kInvalidAttributes,
              "what the link leads to was touched");
    } else {
        EXPECT_OK(target, target.files.RemoveLinkA(kLinkedFolder));
        CHECK(target.files.GetFileAttributesA(kLinkedFolder) == file::kInvalidAttributes,
              "the link is still there");
    }

    const std::string made = std::string(kFolder) + "\\Protected";
    const std::string list = std::string(kFolder) + "\\Protected.cfg";
    const std::string placeholder = std::string(kFolder) + "\\placeholder.txt";
    target.writeFile(placeholder, "");  // the folder exists
    EXPECT_OK(target, target.files.CreateProtectedDirectoryA(made));
    EXPECT_FAIL(target, target.files.CreateProtectedDirectoryA(made), err::kAlreadyExists);
    EXPECT_OK(target, target.files.CreateProtectedFileA(list));
    EXPECT_FAIL(target, target.files.CreateProtectedFileA(list), kFileExists);
    for (const std::string& path : {made, list}) {
        const std::string access = target.readAccess(path);
        if (target.isWine) {
            // Wine's own: it keeps no access list, only the Unix mode it
            // derives from one, and reads one back from that mode: owner and
            // SYSTEM only. Nobody else is let in.
            CHECK(access.find(";;;WD)") == std::string::npos &&
                      access.find(";;;BU)") == std::string::npos &&
                      access.find(";;;AU)") == std::string::npos,
                  "%s lets others in: %s", path.c_str(), access.c_str());
        } else {
            CHECK(access == file::kProtectedAccess, "%s reads back %s", path.c_str(),
                  access.c_str());
        }
    }
    (void)target.files.RemoveDirectoryA(made);
    (void)target.files.DeleteFileA(list);
    (void)target.files.DeleteFileA(placeholder);
}

}  // namespace contract
