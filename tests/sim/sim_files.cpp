#include "sim/sim_files.h"

#include <cctype>

#include "sim/sim_text.h"

namespace sim {
namespace {

constexpr std::uint32_t kNoMoreFiles = 18;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kNotADirectory = 267;  // ERROR_DIRECTORY

bool IsDrive(const std::string& part) {
    return part.size() == 2 && part[1] == ':';
}

std::string Join(const std::vector<std::string>& parts) {
    std::string path;
    for (const auto& part : parts) {
        if (!path.empty()) path += '\\';
        path += part;
    }
    return path;
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// Case-blind match with '*' and '?'; "*.*" matches every name, dot or not,
// as it does on Windows.
bool Matches(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || pattern == "*") return true;
    std::string p = Upper(pattern);
    std::string n = Upper(name);
    std::size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

std::string LastPart(const std::string& path) {
    auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

SimFiles::SimFiles() {
    MakeDirectories(kSystemDirectory);
    MakeDirectories("C:\\windows\\SysWOW64");
    SetCurrentDirectory("C:\\Installer");
}

std::vector<std::string> SimFiles::Components(const std::string& path) const {
    std::vector<std::string> given = SplitPath(path);
    std::vector<std::string> parts;
    if (!given.empty() && IsDrive(given[0])) {
        given[0] = Upper(given[0]);
    } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        parts.push_back(SplitPath(currentDirectory_)[0]);
    } else {
        parts = SplitPath(currentDirectory_);
    }
    for (const auto& part : given) {
        if (part == ".") continue;
        if (part == "..") {
            if (parts.size() > 1) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty() || !IsDrive(parts[0])) return {};
    bool throughLink = false;
    return Resolved(parts, throughLink);
}

std::vector<std::string> SimFiles::Resolved(std::vector<std::string> parts,
                                            bool& throughLink) const {
    // A bounded number of turns, as Windows bounds nested reparse points.
    for (int turns = 0; turns < 32; ++turns) {
        bool turned = false;
        for (std::size_t i = 1; i + 1 < parts.size() && !turned; ++i) {
            std::vector<std::string> prefix(parts.begin(), parts.begin() + i + 1);
            auto it = entries_.find(Upper(Join(prefix)));
            if (it == entries_.end() || it->second.linkTarget.empty()) continue;
            std::vector<std::string> target = SplitPath(it->second.linkTarget);
            target.insert(target.end(), parts.begin() + i + 1, parts.end());
            parts = target;
            throughLink = turned = true;
        }
        if (!turned) return parts;
    }
    return {};
}

std::string SimFiles::ProcessPath(const std::string& path) const {
    if (!wow64Process || !wow64Process()) return path;
    std::vector<std::string> parts = Components(path);
    const std::vector<std::string> system = Components(kSystemDirectory);
    if (parts.size() < system.size()) return path;
    for (std::size_t i = 0; i < system.size(); ++i) {
        if (Upper(parts[i]) != Upper(system[i])) return path;
    }
    if (parts.size() > system.size()) {
        const std::string below = Upper(parts[system.size()]);
        for (const char* exempt : {"CATROOT", "CATROOT2", "DRIVERSTORE", "LOGFILES", "SPOOL"}) {
            if (below == exempt) return path;
        }
        if (below == "DRIVERS" && parts.size() > system.size() + 1 &&
            Upper(parts[system.size() + 1]) == "ETC") {
            return path;
        }
    }
    parts[system.size() - 1] = LastPart(kWow64Directory);
    return Join(parts);
}

std::string SimFiles::Key(const std::string& path) const {
    return Upper(Join(Components(path)));
}

std::string SimFiles::ParentKey(const std::string& key) {
    auto slash = key.find_last_of('\\');
    return slash == std::string::npos ? "" : key.substr(0, slash);
}

const SimFiles::Entry* SimFiles::Lookup(const std::string& path) const {
    std::string key = Key(path);
    if (key.empty()) return nullptr;
    if (key.size() == 2) {
        // The drive itself; only C: exists.
        static const Entry drive = [] {
            Entry root;
            root.path = "C:";
            root.directory = true;
            root.attributes = platform::file::kAttributeDirectory;
            return root;
        }();
        return key == "C:" ? &drive : nullptr;
    }
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

SimFiles::Entry* SimFiles::Lookup(const std::string& path) {
    auto it = entries_.find(Key(path));
    return it == entries_.end() ? nullptr : &it->second;
}

std::uint32_t SimFiles::MissingError(const std::string& path) const {
    std::string parent = ParentKey(Key(path));
    if (parent.empty()) return platform::error::kPathNotFound;
    const Entry* folder = Lookup(parent);
    return folder && folder->directory ? platform::error::kFileNotFound
                                       : platform::error::kPathNotFound;
}

std::vector<const SimFiles::Entry*> SimFiles::Children(const std::string& folderKey) const {
    std::vector<const Entry*> children;
    std::string prefix = folderKey + "\\";
    for (auto it = entries_.lower_bound(prefix);
         it != entries_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find('\\', prefix.size()) == std::string::npos) {
            children.push_back(&it->second);
        }
    }
    return children;
}

bool SimFiles::Insert(const std::string& path, bool directory) {
    std::vector<std::string> parts = Components(path);
    if (parts.empty() || parts[0] != "C:") return false;
    std::string display = "C:";
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::string key = Upper(display + "\\" + parts[i]);
        auto it = entries_.find(key);
        bool last = i + 1 == parts.size();
        bool wantDirectory = !last || directory;
        if (it == entries_.end()) {
            Entry entry;
            entry.path = display + "\\" + parts[i];
            entry.directory = wantDirectory;
            entry.attributes = wantDirectory ? platform::file::kAttributeDirectory
                                             : platform::file::kAttributeNormal;
            it = entries_.emplace(key, entry).first;
        } else if (it->second.directory != wantDirectory) {
            return false;  // a file where a folder is needed, or the reverse
        }
        display = it->second.path;
    }
    return true;
}

platform::BoolResult SimFiles::Fail(std::uint32_t error) {
    lastError = error;
    return {0, error};
}

platform::BoolResult SimFiles::Succeed() {
    lastError = 0;
    return {1, 0};
}

std::string SimFiles::DirectoryResult(const std::string& folder, std::uint32_t bufferSize) {
    if (folder.size() + 1 > bufferSize) {
        lastError = platform::error::kInsufficientBuffer;
        return "";
    }
    lastError = 0;
    return folder;
}

std::string SimFiles::DirectoryCall(const char* call, const std::string& folder,
                                    std::uint32_t bufferSize) {
    calls.push_back(FormatCall(call, {std::to_string(bufferSize)}));
    if (auto error = failures.Check(call)) {
        lastError = *error;
        return "";
    }
    return DirectoryResult(folder, bufferSize);
}

std::string SimFiles::GetCurrentDirectoryA(std::uint32_t bufferSize) {
    return DirectoryCall("GetCurrentDirectoryA", currentDirectory_, bufferSize);
}

std::string SimFiles::GetSystemDirectoryA(std::uint32_t bufferSize) {
    return DirectoryCall("GetSystemDirectoryA", kSystemDirectory, bufferSize);
}

std::string SimFiles::GetWindowsDirectoryA(std::uint32_t bufferSize) {
    return DirectoryCall("GetWindowsDirectoryA", kWindowsDirectory, bufferSize);
}

std::uint32_t SimFiles::GetFileAttributesA(const std::string& path) {
    calls.push_back(FormatCall("GetFileAttributesA", {path}));
    if (auto error = failures.Check("GetFileAttributesA")) {
        lastError = *error;
        return platform::file::kInvalidAttributes;
    }
    const std::string reached = ProcessPath(path);
    const Entry* entry = static_cast<const SimFiles*>(this)->Lookup(reached);
    if (!entry) {
        lastError = MissingError(reached);
        return platform::file::kInvalidAttributes;
    }
    lastError = 0;
    return entry->attributes;
}

platform::BoolResult SimFiles::CopyFileA(const std::string& sourceGiven,
                                         const std::string& destinationGiven, bool failIfExists) {
    calls.push_back(
        FormatCall("CopyFileA", {sourceGiven, destinationGiven, failIfExists ? "true" : "false"}));
    if (auto error = failures.Check("CopyFileA")) return Fail(*error);
    const std::string source = ProcessPath(sourceGiven);
    const std::string destination = ProcessPath(destinationGiven);
    const Entry* from = static_cast<const SimFiles*>(this)->Lookup(source);
    if (!from) return Fail(MissingError(source));
    if (from->directory) return Fail(platform::error::kAccessDenied);
    const Entry* to = static_cast<const SimFiles*>(this)->Lookup(destination);
    if (to && failIfExists) return Fail(kFileExists);
    if (to && (to->directory || (to->attributes & platform::file::kAttributeReadOnly))) {
        return Fail(platform::error::kAccessDenied);
    }
    if (!to && MissingError(destination) == platform::error::kPathNotFound) {
        return Fail(platform::error::kPathNotFound);
    }
    std::string content = from->content;
    std::uint32_t attributes = from->attributes;
    Insert(destination, false);
    Entry* copy = Lookup(destination);
    copy->content = content;
    copy->attributes = attributes;  // CopyFile carries the attributes over
    return Succeed();
}

platform::BoolResult SimFiles::DeleteFileA(const std::string& given) {
    calls.push_back(FormatCall("DeleteFileA", {given}));
    if (auto error = failures.Check("DeleteFileA")) return Fail(*error);
    const std::string path = ProcessPath(given);
    Entry* entry = Lookup(path);
    if (!entry) return Fail(MissingError(path));
    if (entry->directory || (entry->attributes & platform::file::kAttributeReadOnly)) {
        return Fail(platform::error::kAccessDenied);
    }
    entries_.erase(Key(path));
    return Succeed();
}

platform::BoolResult SimFiles::RemoveDirectoryA(const std::string& given) {
    calls.push_back(FormatCall("RemoveDirectoryA", {given}));
    if (auto error = failures.Check("RemoveDirectoryA")) return Fail(*error);
    const std::string path = ProcessPath(given);
    std::string key = Key(path);
    if (key.size() <= 2) return Fail(platform::error::kAccessDenied);  // the drive itself
    Entry* entry = Lookup(path);
    if (!entry) return Fail(MissingError(path));
    if (!entry->directory) return Fail(kNotADirectory);
    if (!Children(key).empty()) return Fail(platform::error::kDirNotEmpty);
    entries_.erase(key);
    return Succeed();
}

platform::FindHandle SimFiles::FindFirstFileA(const std::string& pattern,
                                              platform::FindData& data) {
    calls.push_back(FormatCall("FindFirstFileA", {pattern}));
    if (auto error = failures.Check("FindFirstFileA")) {
        lastError = *error;
        return platform::kInvalidFindHandle;
    }
    std::vector<std::string> parts = Components(ProcessPath(pattern));
    bool endsWithSeparator = !pattern.empty() && (pattern.back() == '\\' || pattern.back() == '/');
    if (parts.size() < 2 || endsWithSeparator) {
        lastError = platform::error::kFileNotFound;
        return platform::kInvalidFindHandle;
    }
    std::string name = parts.back();
    parts.pop_back();
    std::string folderKey = Upper(Join(parts));
    const Entry* folder = static_cast<const SimFiles*>(this)->Lookup(folderKey);
    if (!folder || !folder->directory) {
        lastError = platform::error::kPathNotFound;
        return platform::kInvalidFindHandle;
    }

    Find find;
    if (HasWildcard(name)) {
        if (folderKey.size() > 2) {  // a drive's root has no "." or ".."
            for (const char* dots : {".", ".."}) {
                if (Matches(name, dots)) {
                    find.entries.push_back({platform::file::kAttributeDirectory, dots});
                }
            }
        }
        for (const Entry* child : Children(folderKey)) {
            std::string childName = LastPart(child->path);
            if (Matches(name, childName)) find.entries.push_back({child->attributes, childName});
        }
    } else if (const Entry* entry =
                   static_cast<const SimFiles*>(this)->Lookup(folderKey + "\\" + name)) {
        find.entries.push_back({entry->attributes, LastPart(entry->path)});
    }
    if (find.entries.empty()) {
        lastError = platform::error::kFileNotFound;
        return platform::kInvalidFindHandle;
    }
    data = find.entries[0];
    find.next = 1;
    platform::FindHandle handle = nextFind_++;
    finds_[handle] = find;
    lastError = 0;
    return handle;
}

bool SimFiles::FindNextFileA(platform::FindHandle handle, platform::FindData& data) {
    calls.push_back(FormatCall("FindNextFileA", {Hex(handle)}));
    if (auto error = failures.Check("FindNextFileA")) {
        lastError = *error;
        return false;
    }
    auto it = finds_.find(handle);
    if (it == finds_.end()) {
        lastError = platform::error::kInvalidHandle;
        return false;
    }
    Find& find = it->second;
    if (find.next >= find.entries.size()) {
        lastError = kNoMoreFiles;
        return false;
    }
    data = find.entries[find.next++];
    lastError = 0;
    return true;
}

bool SimFiles::FindClose(platform::FindHandle handle) {
    calls.push_back(FormatCall("FindClose", {Hex(handle)}));
    if (auto error = failures.Check("FindClose")) {
        lastError = *error;
        return false;
    }
    if (finds_.erase(handle) == 0) {
        lastError = platform::error::kInvalidHandle;
        return false;
    }
    lastError = 0;
    return true;
}

platform::BoolResult SimFiles::GetFileInformationA(const std::string& given,
                                                   platform::FileInformation& info) {
    calls.push_back(FormatCall("GetFileInformationA", {given}));
    if (auto error = failures.Check("GetFileInformationA")) return Fail(*error);
    const std::string path = ProcessPath(given);
    KeepWorkingContent(Key(path));
    const Entry* entry = static_cast<const SimFiles*>(this)->Lookup(path);
    if (!entry) return Fail(MissingError(path));
    std::vector<std::string> parts = SplitPath(path);
    if (!parts.empty()) parts[0] = Upper(parts[0]);
    bool throughLink = false;
    (void)Resolved(parts, throughLink);
    info.attributes = entry->attributes;
    if (throughLink) info.attributes |= platform::file::kAttributeReparsePoint;
    info.links = entry->links;
    return Succeed();
}

platform::BoolResult SimFiles::RemoveLinkA(const std::string& given) {
    calls.push_back(FormatCall("RemoveLinkA", {given}));
    if (auto error = failures.Check("RemoveLinkA")) return Fail(*error);
    const std::string path = ProcessPath(given);
    Entry* entry = Lookup(path);
    if (!entry) return Fail(MissingError(path));
    if (entry->linkTarget.empty() && (entry->directory || entry->links < 2)) {
        return Fail(platform::error::kNotSupported);
    }
    entries_.erase(Key(path));
    return Succeed();
}

platform::BoolResult SimFiles::CreateProtected(const char* call, const std::string& given,
                                               bool directory) {
    calls.push_back(FormatCall(call, {given}));
    if (auto error = failures.Check(call)) return Fail(*error);
    const std::string path = ProcessPath(given);
    if (Lookup(path)) return Fail(directory ? platform::error::kAlreadyExists : kFileExists);
    if (MissingError(path) == platform::error::kPathNotFound) {
        return Fail(platform::error::kPathNotFound);
    }
    Insert(path, directory);
    Lookup(path)->access = platform::file::kProtectedAccess;
    GiveWorkingContentBack(Key(path));
    return Succeed();
}

namespace {
bool IsWorkingName(const std::string& key) {
    return key == "C:\\TICKET" || key == "C:\\BARCODE" || key == "C:\\DRIVERNAME.CFG";
}
}  // namespace

void SimFiles::KeepWorkingContent(const std::string& key) {
    if (!packageHoldsWorkingFiles || !IsWorkingName(key)) return;
    auto& kept = workingContent_[key];
    kept.clear();
    for (auto it = entries_.lower_bound(key); it != entries_.end(); ++it) {
        const bool below = it->first.compare(0, key.size() + 1, key + "\\") == 0;
        if (it->first != key && !below) break;
        if (!it->second.linkTarget.empty() || it->second.links > 1) {
            if (it->first == key) break;  // a planted link is no content
            continue;
        }
        kept.emplace_back(it->first, it->second);
    }
}

void SimFiles::GiveWorkingContentBack(const std::string& key) {
    auto kept = workingContent_.find(key);
    if (kept == workingContent_.end()) return;
    for (const auto& [entryKey, entry] : kept->second) {
        if (entryKey == key) {
            entries_[key].content = entry.content;
        } else if (!entries_.count(entryKey)) {
            entries_[entryKey] = entry;
        }
    }
    workingContent_.erase(kept);
}

platform::BoolResult SimFiles::CreateProtectedDirectoryA(const std::string& path) {
    return CreateProtected("CreateProtectedDirectoryA", path, true);
}

platform::BoolResult SimFiles::CreateProtectedFileA(const std::string& path) {
    return CreateProtected("CreateProtectedFileA", path, false);
}

bool SimFiles::MakeLink(const std::string& path, const std::string& target) {
    const Entry* to = static_cast<const SimFiles*>(this)->Lookup(target);
    if (!to || Lookup(path) || !Insert(path, to->directory)) return false;
    Entry* link = Lookup(path);
    link->linkTarget = Key(target);
    // What Windows reports for a junction and for a symbolic link to a file.
    link->attributes = platform::file::kAttributeReparsePoint |
                       (to->directory ? platform::file::kAttributeDirectory : 0x20u);
    return true;
}

bool SimFiles::SetLinkCount(const std::string& path, std::uint32_t links) {
    Entry* entry = Lookup(path);
    if (!entry || entry->directory) return false;
    entry->links = links;
    return true;
}

bool SimFiles::IsLinkAt(const std::string& path) const {
    const Entry* entry = Lookup(path);
    if (!entry) return false;
    std::vector<std::string> parts = SplitPath(path);
    if (!parts.empty()) parts[0] = Upper(parts[0]);
    bool throughLink = false;
    (void)Resolved(parts, throughLink);
    return throughLink || !entry->linkTarget.empty() || (!entry->directory && entry->links > 1);
}

std::string SimFiles::AccessOf(const std::string& path) const {
    const Entry* entry = Lookup(path);
    return entry ? entry->access : std::string();
}

bool SimFiles::WriteFile(const std::string& path, const std::string& content) {
    if (!Insert(path, false)) return false;
    Lookup(path)->content = content;
    return true;
}

std::optional<std::string> SimFiles::ReadFile(const std::string& path) const {
    const Entry* entry = Lookup(path);
    if (!entry || entry->directory) return std::nullopt;
    return entry->content;
}

const std::string* SimFiles::Content(const std::string& path) const {
    const Entry* entry = Lookup(path);
    return entry && !entry->directory ? &entry->content : nullptr;
}

platform::BoolResult SimFiles::GetDiskFreeSpaceExA(const std::string& directory,
                                                   std::uint64_t& freeBytesAvailable) {
    calls.push_back(FormatCall("GetDiskFreeSpaceExA", {directory}));
    if (auto error = failures.Check("GetDiskFreeSpaceExA")) return {0, lastError = *error};
    const char drive =
        directory.size() >= 2 && directory[1] == ':'
            ? static_cast<char>(std::toupper(static_cast<unsigned char>(directory[0])))
            : '\0';
    auto space = freeBytes.find(drive);
    std::string folder = directory;
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    if (space == freeBytes.end() || (folder.size() > 3 && !IsDirectory(ProcessPath(folder)))) {
        return {0, lastError = platform::error::kPathNotFound};
    }
    freeBytesAvailable = space->second;
    return {1, lastError = 0};
}

bool SimFiles::Exists(const std::string& path) const {
    return Lookup(path) != nullptr;
}

bool SimFiles::RemoveFile(const std::string& path) {
    const Entry* entry = Lookup(path);
    if (!entry || entry->directory) return false;
    entries_.erase(Key(path));
    return true;
}

bool SimFiles::IsDirectory(const std::string& path) const {
    const Entry* entry = Lookup(path);
    return entry && entry->directory;
}

bool SimFiles::MakeDirectories(const std::string& path) {
    if (Key(path) == "C:") return true;
    return Insert(path, true);
}

bool SimFiles::Remove(const std::string& path) {
    const Entry* entry = Lookup(path);
    if (!entry || entry->directory) return false;
    return entries_.erase(Key(path)) == 1;
}

bool SimFiles::SetReadOnly(const std::string& path, bool readOnly) {
    Entry* entry = Lookup(path);
    if (!entry) return false;
    std::uint32_t attributes = entry->attributes & ~(platform::file::kAttributeReadOnly |
                                                     platform::file::kAttributeNormal);
    if (readOnly) attributes |= platform::file::kAttributeReadOnly;
    if (attributes == 0) attributes = platform::file::kAttributeNormal;
    entry->attributes = attributes;
    return true;
}

void SimFiles::SetCurrentDirectory(const std::string& path) {
    MakeDirectories(path);
    std::string key = Key(path);
    currentDirectory_ = key.size() == 2 ? "C:\\" : Lookup(path)->path;
}

std::vector<std::string> SimFiles::List(const std::string& under) const {
    std::string prefix = under.empty() ? "" : Key(under) + "\\";
    std::vector<std::string> paths;
    for (const auto& [key, entry] : entries_) {
        if (key.compare(0, prefix.size(), prefix) != 0) continue;
        paths.push_back(entry.directory ? entry.path + "\\" : entry.path);
    }
    return paths;
}

std::string SimFiles::FullPath(const std::string& path) const {
    if (const Entry* entry = Lookup(path)) return entry->path;
    return Join(Components(path));
}

}  // namespace sim
