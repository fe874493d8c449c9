// kernel32's ANSI file calls. Find handles go to the logic, which closes them.
#include "platform/win32/files_win32.h"

#include <windows.h>

#include <cctype>
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

HANDLE ToHandle(platform::FindHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

void Copy(const WIN32_FIND_DATAA& from, platform::FindData& to) {
    to.attributes = from.dwFileAttributes;
    to.fileName = from.cFileName;
}

// Looked up at run time: none of them is there on every Windows the
// program starts on (the first two came with Vista, the third with 2000).
using FinalPathCall = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
using SetInformationCall = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
using SddlCall = BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);

template <typename Call>
Call Lookup(const char* module, const char* name) {
    HMODULE library = ::GetModuleHandleA(module);
    if (library == nullptr) library = ::LoadLibraryA(module);
    return library
               ? reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(library, name)))
               : nullptr;
}

constexpr int kFileDispositionInfo = 4;  // FILE_INFO_BY_HANDLE_CLASS
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The item itself: a link is opened, not followed, where the system can.
HANDLE OpenItem(const std::string& path, DWORD access) {
    return ::CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Upper case, one kind of separator, none doubled.
std::string Folded(const std::string& text) {
    std::string folded;
    for (char c : text) {
        c = c == '/' ? '\\' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c != '\\' || folded.empty() || folded.back() != '\\') folded += c;
    }
    return folded;
}

// Whether the handle's item lies elsewhere than its name says: Wine opens
// what a link leads to even when told not to, and reports a link to a file
// as a plain file; its final path then names the link's target.
bool ReachedElsewhere(HANDLE item, const std::string& path) {
    static const FinalPathCall finalPath =
        Lookup<FinalPathCall>("kernel32", "GetFinalPathNameByHandleA");
    char full[MAX_PATH * 2] = {};
    const DWORD fullLength = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (finalPath == nullptr || fullLength == 0 || fullLength >= sizeof full) return false;
    char final[MAX_PATH * 2] = {};
    const DWORD length = finalPath(item, final, sizeof final, 0);
    if (length == 0 || length >= sizeof final) return false;
    std::string reached(final, length);
    if (reached.compare(0, 4, "\\\\?\\") == 0) reached.erase(0, 4);
    return Folded(reached) != Folded(std::string(full, fullLength));
}

// An access list from its text form; null where the system has none.
PSECURITY_DESCRIPTOR ProtectedDescriptor() {
    static const SddlCall convert =
        Lookup<SddlCall>("advapi32", "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (convert == nullptr || !convert(platform::file::kProtectedAccess, 1, &descriptor, nullptr)) {
        return nullptr;
    }
    return descriptor;
}

bool HasAccessLists() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return !::GetVersionExA(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

template <typename Create>
platform::BoolResult CreateProtected(Create create) {
    PSECURITY_DESCRIPTOR descriptor = ProtectedDescriptor();
    if (descriptor == nullptr && HasAccessLists()) {
        // Made as any other, it would take the drive root's lenient access.
        return {0, ::GetLastError() ? ::GetLastError() : DWORD(ERROR_NOT_SUPPORTED)};
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    const BOOL made = create(descriptor ? &attributes : nullptr);
    const DWORD error = made ? 0 : ::GetLastError();
    if (descriptor) ::LocalFree(descriptor);
    return {made ? 1 : 0, error};
}

}  // namespace

platform::BoolResult Win32Files::GetFileInformationA(const std::string& path,
                                                     platform::FileInformation& info) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {0, ::GetLastError()};
    info.attributes = attributes;
    info.links = 1;
    const HANDLE item = OpenItem(path, FILE_READ_ATTRIBUTES);
    if (item == INVALID_HANDLE_VALUE) return {0, ::GetLastError()};
    BY_HANDLE_FILE_INFORMATION details = {};
    const BOOL read = ::GetFileInformationByHandle(item, &details);
    const DWORD error = read ? 0 : ::GetLastError();
    if (read) {
        info.links = details.nNumberOfLinks;
        info.attributes |= details.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (ReachedElsewhere(item, path)) info.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    ::CloseHandle(item);
    return {read ? 1 : 0, error};
}

platform::BoolResult Win32Files::RemoveLinkA(const std::string& path) {
    const HANDLE item = OpenItem(path, DELETE | FILE_READ_ATTRIBUTES);
    if (item == INVALID_HANDLE_VALUE) return {0, ::GetLastError()};
    BY_HANDLE_FILE_INFORMATION details = {};
    if (!::GetFileInformationByHandle(item, &details)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(item);
        return {0, error};
    }
    const bool link = (details.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool secondName = !link && !(details.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            details.nNumberOfLinks > 1 && !ReachedElsewhere(item, path);
    if (!link) {
        ::CloseHandle(item);
        // One name of a file with several: only that name goes. Anything
        // else was opened through the link, and deleting it would delete
        // what the link leads to.
        if (!secondName) return {0, ERROR_NOT_SUPPORTED};
        return Result(::DeleteFileA(path.c_str()));
    }
    static const SetInformationCall setInformation =
        Lookup<SetInformationCall>("kernel32", "SetFileInformationByHandle");
    BOOL removed = FALSE;
    DWORD error = 0;
    if (setInformation != nullptr) {
        // The very handle that was checked goes: nothing can be swapped in between.
        BOOLEAN deleteFile = TRUE;
        removed = setInformation(item, kFileDispositionInfo, &deleteFile, sizeof deleteFile);
        error = removed ? 0 : ::GetLastError();
        ::CloseHandle(item);
    } else {
        // Before Vista: these remove a junction itself, never its target.
        ::CloseHandle(item);
        removed = (details.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                      ? ::RemoveDirectoryA(path.c_str())
                      : ::DeleteFileA(path.c_str());
        error = removed ? 0 : ::GetLastError();
    }
    return {removed ? 1 : 0, error};
}

platform::BoolResult Win32Files::CreateProtectedDirectoryA(const std::string& path) {
    return CreateProtected([&](SECURITY_ATTRIBUTES* attributes) {
        return ::CreateDirectoryA(path.c_str(), attributes);
    });
}

platform::BoolResult Win32Files::CreateProtectedFileA(const std::string& path) {
    return CreateProtected([&](SECURITY_ATTRIBUTES* attributes) {
        const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, attributes, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return FALSE;
        ::CloseHandle(file);
        return TRUE;
    });
}

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
                                                           const char* defaultValue, char* buffer,
                                                           std::uint32_t size,
                                                           const std::string& fileName) {
    return ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue, buffer, size,
                                      fileName.c_str());
}

}  // namespace win32
