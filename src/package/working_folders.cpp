#include "package/working_folders.h"

namespace package {
namespace {

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

bool Missing(std::uint32_t error) {
    return error == platform::error::kFileNotFound || error == platform::error::kPathNotFound;
}

std::string ErrorText(std::uint32_t error) {
    return "(error " + std::to_string(error) + ")";
}

constexpr const char* kWhatToDo =
    ": remove it as an administrator, without following it, and start the installer again";

}  // namespace

bool RemoveTree(platform::Files& files, const std::string& path) {
    platform::FileInformation info;
    const platform::BoolResult examined = files.GetFileInformationA(path, info);
    if (!examined.NonZero()) return Missing(examined.lastError);
    if (info.IsLink()) return files.RemoveLinkA(path).NonZero();
    if ((info.attributes & platform::file::kAttributeDirectory) == 0) {
        return files.DeleteFileA(path).NonZero();
    }
    platform::FindData entry;
    const platform::FindHandle find = files.FindFirstFileA(path + "//*.*", entry);
    if (find != platform::kInvalidFindHandle) {
        do {
            if (!IsDotEntry(entry.fileName)) (void)RemoveTree(files, path + "//" + entry.fileName);
        } while (files.FindNextFileA(find, entry));
        files.FindClose(find);
    }
    // Fails, and keeps the folder, while anything inside could not go.
    return files.RemoveDirectoryA(path).NonZero();
}

PreparedFolders PrepareWorkingFolders(platform::Files& files,
                                      const std::function<void(const std::string&)>& note) {
    struct Item {
        const char* path;
        bool folder;
    };
    constexpr Item kItems[] = {
        {kTicketFolder, true}, {kBarcodeFolder, true}, {kDriverListFile, false}};
    PreparedFolders result;
    for (const Item& item : kItems) {
        const std::string path = item.path;
        platform::FileInformation info;
        const platform::BoolResult examined = files.GetFileInformationA(path, info);
        if (!examined.NonZero()) {
            if (Missing(examined.lastError)) continue;
            result.problem =
                path + " could not be examined " + ErrorText(examined.lastError) + kWhatToDo;
            return result;
        }
        if (info.IsLink()) {
            const platform::BoolResult removed = files.RemoveLinkA(path);
            if (!removed.NonZero()) {
                result.problem = path +
                                 " is a link to another place, and it could not be removed "
                                 "without following it " +
                                 ErrorText(removed.lastError) + kWhatToDo;
                return result;
            }
            note("Removed the link " + path + "; nothing it led to was touched.");
            continue;
        }
        if (!RemoveTree(files, path)) {
            result.problem = path + " was already there and could not be removed" + kWhatToDo;
            return result;
        }
    }
    for (const Item& item : kItems) {
        const std::string path = item.path;
        const platform::BoolResult made =
            item.folder ? files.CreateProtectedDirectoryA(path) : files.CreateProtectedFileA(path);
        if (!made.NonZero()) {
            result.problem = path + " could not be made for administrators only " +
                             ErrorText(made.lastError) + kWhatToDo;
            return result;
        }
    }
    result.ready = true;
    return result;
}

}  // namespace package
