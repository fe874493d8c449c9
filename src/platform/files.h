// Files, folders and initialisation files, through the ANSI calls.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace platform {

namespace file {
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;
constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;
constexpr std::uint32_t kMaxPath = 260;
// What the installer's own folders and files at the root of C: allow:
// SYSTEM and Administrators everything, Users read and execute, nothing
// inherited from the drive's root (where every user may add and change).
constexpr const char* kProtectedAccess =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
}  // namespace file

// An item as it is, not what a link leads to.
struct FileInformation {
    std::uint32_t attributes = 0;  // a link of any kind reads kAttributeReparsePoint
    std::uint32_t links = 0;       // the names a file has (hard links)
    bool IsLink() const {
        return (attributes & file::kAttributeReparsePoint) != 0 ||
               ((attributes & file::kAttributeDirectory) == 0 && links > 1);
    }
};

struct FindData {
    std::uint32_t attributes = 0;
    std::string fileName;
};

class Files {
public:
    virtual ~Files() = default;

    // Empty when the folder does not fit `bufferSize` characters with its NUL.
    virtual std::string GetCurrentDirectoryA(std::uint32_t bufferSize) = 0;
    virtual std::string GetSystemDirectoryA(std::uint32_t bufferSize) = 0;
    virtual std::string GetWindowsDirectoryA(std::uint32_t bufferSize) = 0;
    virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;
    virtual BoolResult CopyFileA(const std::string& source, const std::string& destination,
                                 bool failIfExists) = 0;
    virtual BoolResult DeleteFileA(const std::string& path) = 0;
    virtual BoolResult RemoveDirectoryA(const std::string& path) = 0;
    // kInvalidFindHandle when nothing matches.
    virtual FindHandle FindFirstFileA(const std::string& pattern, FindData& data) = 0;
    virtual bool FindNextFileA(FindHandle handle, FindData& data) = 0;
    virtual bool FindClose(FindHandle handle) = 0;
    // The item itself, never what a link leads to: a symbolic link, a
    // junction, or a file that is reached through one, reads as a reparse
    // point. Fails as GetFileAttributesA does for a missing item.
    virtual BoolResult GetFileInformationA(const std::string& path, FileInformation& info) = 0;
    // Removes a link (reparse point) or one name of a file that has several,
    // without touching what it leads to. Fails, and removes nothing, where
    // the system would follow the link instead.
    virtual BoolResult RemoveLinkA(const std::string& path) = 0;
    // A new folder, or a new empty file, with kProtectedAccess; fails when
    // the name exists. Where the system keeps no access lists (Windows 9x)
    // it is made as any other.
    virtual BoolResult CreateProtectedDirectoryA(const std::string& path) = 0;
    virtual BoolResult CreateProtectedFileA(const std::string& path) = 0;
    // The bytes free to this caller (quotas counted) on the volume of `directory`.
    virtual BoolResult GetDiskFreeSpaceExA(const std::string& directory,
                                           std::uint64_t& freeBytesAvailable) = 0;
};

// Initialisation-file reading with the buffer rules of the Win32 calls:
// results are counts of characters copied, without the final NUL.
class ProfileReader {
public:
    virtual ~ProfileReader() = default;
    // Section names, each ended by a NUL, the list by a second NUL. A list
    // that does not fit is cut and the call returns size - 2.
    virtual std::uint32_t GetPrivateProfileSectionNamesA(char* buffer, std::uint32_t size,
                                                         const std::string& fileName) = 0;
    // `defaultValue` may be null, which reads as the empty text. A value that
    // does not fit is cut and the call returns size - 1.
    virtual std::uint32_t GetPrivateProfileStringA(const std::string& section,
                                                   const std::string& key, const char* defaultValue,
                                                   char* buffer, std::uint32_t size,
                                                   const std::string& fileName) = 0;
};

}  // namespace platform
