// kernel32's ANSI file calls. Find handles go to the logic, which closes them.
#include "platform/win32/files_win32.h"

#include <windows.h>

#include <vector>

namespace win32 {
namespace {

platform::BoolResult Result(BOOL value) {
    platform::BoolResult result;
    result.lastError = ::GetLastError();
    result.value = value;
    return result;
}

// The folder calls return the length copied, or the size needed (counting
// the NUL) when the buffer is too small; the interface reports that as empty.
template <typename Call>
std::string FolderName(std::uint32_t bufferSize, Call call) {
    std::vector<char> buffer(bufferSize + 1);
    UINT length = call(buffer.data(), bufferSize);
    if (length == 0 || length >= bufferSize) return std::string();
    return std::string(buffer.data(), length);
}

HANDLE ToHandle(platform::FindHandle handle) { return reinterpret_cast<HANDLE>(handle); }

void Copy(const WIN32_FIND_DATAA& from, platform::FindData& to) {
    to.attributes = from.dwFileAttributes;
    to.fileName = from.cFileName;
}

}  // namespace

std::string Win32Files::GetCurrentDirectoryA(std::uint32_t bufferSize) {
    return FolderName(bufferSize, [](char* buffer, UINT size) {
        return static_cast<UINT>(::GetCurrentDirectoryA(size, buffer));
    });
}

std::string Win32Files::GetSystemDirectoryA(std::uint32_t bufferSize) {
    return FolderName(bufferSize,
                      [](char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); });
}

std::string Win32Files::GetWindowsDirectoryA(std::uint32_t bufferSize) {
    return FolderName(bufferSize,
                      [](char* buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); });
}

std::uint32_t Win32Files::GetFileAttributesA(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

platform::BoolResult Win32Files::CopyFileA(const std::string& source,
                                           const std::string& destination, bool failIfExists) {
    return Result(::CopyFileA(source.c_str(), destination.c_str(), failIfExists ? TRUE : FALSE));
}

platform::BoolResult Win32Files::DeleteFileA(const std::string& path) {
    return Result(::DeleteFileA(path.c_str()));
}

platform::BoolResult Win32Files::RemoveDirectoryA(const std::string& path) {
    return Result(::RemoveDirectoryA(path.c_str()));
}

platform::FindHandle Win32Files::FindFirstFileA(const std::string& pattern,
                                                platform::FindData& data) {
    WIN32_FIND_DATAA record = {};
    HANDLE find = ::FindFirstFileA(pattern.c_str(), &record);
    if (find == INVALID_HANDLE_VALUE) return platform::kInvalidFindHandle;
    Copy(record, data);
    return reinterpret_cast<platform::FindHandle>(find);
}

bool Win32Files::FindNextFileA(platform::FindHandle handle, platform::FindData& data) {
    WIN32_FIND_DATAA record = {};
    if (!::FindNextFileA(ToHandle(handle), &record)) return false;
    Copy(record, data);
    return true;
}

bool Win32Files::FindClose(platform::FindHandle handle) {
    return ::FindClose(ToHandle(handle)) != FALSE;
}

platform::BoolResult Win32Files::GetDiskFreeSpaceExA(const std::string& directory,
                                                     std::uint64_t& freeBytesAvailable) {
    ULARGE_INTEGER available = {};
    const BOOL ok = ::GetDiskFreeSpaceExA(directory.c_str(), &available, nullptr, nullptr);
    platform::BoolResult result{static_cast<std::int32_t>(ok), ok ? 0u : ::GetLastError()};
    if (ok) freeBytesAvailable = available.QuadPart;
    return result;
}

std::uint32_t Win32ProfileReader::GetPrivateProfileSectionNamesA(char* buffer, std::uint32_t size,
                                                                 const std::string& fileName) {
    return ::GetPrivateProfileSectionNamesA(buffer, size, fileName.c_str());
}

std::uint32_t Win32ProfileReader::GetPrivateProfileStringA(const std::string& section,
                                                           const std::string& key,
                                                           const char* defaultValue,
                                                           char* buffer, std::uint32_t size,
                                                           const std::string& fileName) {
    return ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue, buffer, size,
                                      fileName.c_str());
}

}  // namespace win32
