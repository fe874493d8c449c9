// Files, folders and initialisation files through kernel32's ANSI calls.
#pragma once

#include "platform/files.h"

namespace win32 {

class Win32Files : public platform::Files {
public:
    std::string GetCurrentDirectoryA(std::uint32_t bufferSize) override;
    std::string GetSystemDirectoryA(std::uint32_t bufferSize) override;
    std::string GetWindowsDirectoryA(std::uint32_t bufferSize) override;
    std::uint32_t GetFileAttributesA(const std::string& path) override;
    platform::BoolResult CopyFileA(const std::string& source, const std::string& destination,
                                   bool failIfExists) override;
    platform::BoolResult DeleteFileA(const std::string& path) override;
    platform::BoolResult RemoveDirectoryA(const std::string& path) override;
    platform::FindHandle FindFirstFileA(const std::string& pattern,
                                        platform::FindData& data) override;
    bool FindNextFileA(platform::FindHandle handle, platform::FindData& data) override;
    bool FindClose(platform::FindHandle handle) override;
    platform::BoolResult GetFileInformationA(const std::string& path,
                                             platform::FileInformation& info) override;
    platform::BoolResult RemoveLinkA(const std::string& path) override;
    platform::BoolResult CreateProtectedDirectoryA(const std::string& path) override;
    platform::BoolResult CreateProtectedFileA(const std::string& path) override;
    platform::BoolResult GetDiskFreeSpaceExA(const std::string& directory,
                                             std::uint64_t& freeBytesAvailable) override;
};

class Win32ProfileReader : public platform::ProfileReader {
public:
    std::uint32_t GetPrivateProfileSectionNamesA(char* buffer, std::uint32_t size,
                                                 const std::string& fileName) override;
    std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                           const char* defaultValue, char* buffer,
                                           std::uint32_t size,
                                           const std::string& fileName) override;
};

}  // namespace win32
