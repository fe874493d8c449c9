// An in-memory disk with the Windows rules the logic meets: names without
// case, '\\' and '/' both separators (doubled ones too: "c:\\Ticket//*.*"),
// read-only files that refuse deletion, folders that must be empty before
// they go, and find-first/find-next that yields "." and ".." as Windows does.
// One drive, C:. Links are kept as Windows keeps them: a path that goes on
// through a linked folder lands below its target, while the link itself is
// what the calls on its own name see and remove.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "sim/sim_calls.h"

namespace sim {

class SimFiles : public platform::Files {
public:
    static constexpr const char* kWindowsDirectory = "C:\\windows";
    static constexpr const char* kSystemDirectory = "C:\\windows\\system32";
    static constexpr const char* kWow64Directory = "C:\\windows\\SysWOW64";

    // Starts with C:\windows\system32, C:\windows\SysWOW64 and the current
    // folder C:\Installer.
    SimFiles();

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
    // The folder must exist (ERROR_PATH_NOT_FOUND otherwise); the answer is
    // the free space set for its drive.
    platform::BoolResult GetDiskFreeSpaceExA(const std::string& directory,
                                             std::uint64_t& freeBytesAvailable) override;

    // Where the program's access to `path` lands: for a 32-bit program on
    // 64-bit Windows, system32 is SysWOW64 but for the folders Windows
    // exempts (spool among them); otherwise `path` itself. The calls above
    // go there; the helpers below take paths as the machine's own.
    std::string ProcessPath(const std::string& path) const;
    // Whether the program is 32-bit on 64-bit Windows; unset, it is not.
    // SimMachine ties it to the system information.
    std::function<bool()> wow64Process;

    // Test helpers; they neither log nor fail on purpose. Paths as above.
    // WriteFile creates the missing parent folders and replaces a file's bytes.
    bool WriteFile(const std::string& path, const std::string& content);
    std::optional<std::string> ReadFile(const std::string& path) const;
    // The file's bytes without a copy; null when there is no such file.
    const std::string* Content(const std::string& path) const;
    bool Exists(const std::string& path) const;
    // Removes a file (not a folder); false when there is none.
    bool RemoveFile(const std::string& path);
    bool IsDirectory(const std::string& path) const;
    bool MakeDirectories(const std::string& path);
    bool SetReadOnly(const std::string& path, bool readOnly = true);
    // A link at `path` to the existing `target` (a junction to a folder, a
    // symbolic link to a file), as any user may plant one at the drive's root.
    bool MakeLink(const std::string& path, const std::string& target);
    // How many names the file has, as if hard links had been made to it.
    bool SetLinkCount(const std::string& path, std::uint32_t links);
    // Whether the item at `path` is a link or reached through one.
    bool IsLinkAt(const std::string& path) const;
    // The access list an item was made with; empty for one made without.
    std::string AccessOf(const std::string& path) const;
    // Removes a file (not a folder); false when there is none.
    bool Remove(const std::string& path);
    // Creates the folder when missing.
    void SetCurrentDirectory(const std::string& path);
    // Full paths of everything below `under` (everything when empty), in
    // name order; folders end with '\\'.
    std::vector<std::string> List(const std::string& under = "") const;
    // The stored spelling of an existing path, or the canonical form of a new one.
    std::string FullPath(const std::string& path) const;
    int OpenFindHandleCount() const { return static_cast<int>(finds_.size()); }

    // Bytes free to the program, by upper-case drive letter.
    std::map<char, std::uint64_t> freeBytes = {{'C', std::uint64_t(20) << 30}};

    // Whether what a test wrote at the working names (c:\Ticket, c:\Barcode,
    // c:\DriverName.cfg) stands for what the driver package unpacks: the
    // program clears those names and makes them anew before it unpacks, and
    // then gets that content back in them, as unpacking would give it. Links
    // are never given back. Tests of the clearing itself set it false.
    bool packageHoldsWorkingFiles = true;

    // What GetLastError would say after the last call through the interface.
    std::uint32_t lastError = 0;
    FailurePlan failures;
    std::vector<std::string> calls;

private:
    struct Entry {
        std::string path;  // as first spelled, e.g. "C:\\Ticket\\x86"
        bool directory = false;
        std::string content;
        std::uint32_t attributes = 0;
        std::string linkTarget;  // a link's target key; empty for other items
        std::uint32_t links = 1;
        std::string access;
    };
    struct Find {
        std::vector<platform::FindData> entries;
        std::size_t next = 0;
    };

    // The path's parts, the drive first, with the current folder in front of
    // a relative path and "." / ".." worked out; empty when it names no drive.
    // Linked folders along the way (not the last part) lead to their targets.
    std::vector<std::string> Components(const std::string& path) const;
    std::vector<std::string> Resolved(std::vector<std::string> parts, bool& throughLink) const;
    // Upper-case key of a path ("C:\\TICKET\\X86"), or empty when it cannot be read.
    std::string Key(const std::string& path) const;
    static std::string ParentKey(const std::string& key);
    const Entry* Lookup(const std::string& path) const;
    Entry* Lookup(const std::string& path);
    // 2 when the folder holding `path` exists, 3 when it does not.
    std::uint32_t MissingError(const std::string& path) const;
    std::vector<const Entry*> Children(const std::string& folderKey) const;
    bool Insert(const std::string& path, bool directory);
    platform::BoolResult CreateProtected(const char* call, const std::string& path, bool directory);
    platform::BoolResult Fail(std::uint32_t error);
    platform::BoolResult Succeed();
    std::string DirectoryResult(const std::string& folder, std::uint32_t bufferSize);
    // A directory query: logged, failable, then answered with `folder`.
    std::string DirectoryCall(const char* call, const std::string& folder,
                              std::uint32_t bufferSize);

    // packageHoldsWorkingFiles: a working name's content when the program
    // first looks at it, given back when the program makes it anew.
    void KeepWorkingContent(const std::string& key);
    void GiveWorkingContentBack(const std::string& key);
    std::map<std::string, std::vector<std::pair<std::string, Entry>>> workingContent_;

    std::map<std::string, Entry> entries_;
    std::string currentDirectory_;
    std::map<platform::FindHandle, Find> finds_;
    platform::FindHandle nextFind_ = 0x100;
};

}  // namespace sim
