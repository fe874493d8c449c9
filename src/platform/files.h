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
constexpr std::uint32_t kMaxPath = 260;
}  // namespace file

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
                                                   const std::string& key,
                                                   const char* defaultValue, char* buffer,
                                                   std::uint32_t size,
                                                   const std::string& fileName) = 0;
};

}  // namespace platform
