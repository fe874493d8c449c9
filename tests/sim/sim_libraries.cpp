#include "sim/sim_libraries.h"

#include <algorithm>
#include <cstring>

#include "sim/sim_text.h"

namespace sim {
namespace {

std::string BaseName(const std::string& path) {
    auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void SimLibraries::AddModule(const std::string& fileName, const std::vector<std::string>& exports) {
    Module module;
    module.fileName = fileName;
    module.exports = exports;
    module.handle = nextModule_;
    nextModule_ += 0x10000;
    std::string key = Upper(BaseName(fileName));
    for (std::size_t i = 0; i < exports.size(); ++i) {
        entries_[module.handle + 0x1000 + i * 0x10] = Entry{key, exports[i]};
    }
    modules_[key] = module;
}

void SimLibraries::AddArchiveLibrary() {
    AddModule(kArchiveLibrary,
              {"SevenZip", "SevenZipSetOwnerWindowEx", "SevenZipKillOwnerWindowEx"});
}

int SimLibraries::LoadedCount() const {
    int count = 0;
    for (const auto& [key, module] : modules_) count += module.references;
    return count;
}

platform::ModuleHandle SimLibraries::LoadLibraryA(const std::string& fileName) {
    calls.push_back(FormatCall("LoadLibraryA", {fileName}));
    if (auto error = failures.Check("LoadLibraryA")) {
        lastError = *error;
        return 0;
    }
    auto it = modules_.find(Upper(BaseName(fileName)));
    if (it == modules_.end()) {
        lastError = platform::error::kModNotFound;
        return 0;
    }
    ++it->second.references;
    ++loadCount;
    lastError = 0;
    return it->second.handle;
}

bool SimLibraries::FreeLibrary(platform::ModuleHandle module) {
    calls.push_back(FormatCall("FreeLibrary", {Hex(module)}));
    if (auto error = failures.Check("FreeLibrary")) {
        lastError = *error;
        return false;
    }
    for (auto& [key, loaded] : modules_) {
        if (loaded.handle == module && loaded.references > 0) {
            --loaded.references;
            ++freeCount;
            lastError = 0;
            return true;
        }
    }
    lastError = platform::error::kModNotFound;
    return false;
}

platform::ProcAddress SimLibraries::GetProcAddress(platform::ModuleHandle module,
                                                   const std::string& name) {
    calls.push_back(FormatCall("GetProcAddress", {Hex(module), name}));
    if (auto error = failures.Check("GetProcAddress")) {
        lastError = *error;
        return 0;
    }
    for (const auto& [address, entry] : entries_) {
        const Module& owner = modules_.at(entry.moduleKey);
        if (owner.handle == module && owner.references > 0 && entry.name == name) {
            lastError = 0;
            return address;
        }
    }
    bool loaded = false;
    for (const auto& [key, candidate] : modules_) {
        if (candidate.handle == module && candidate.references > 0) loaded = true;
    }
    lastError = loaded ? platform::error::kProcNotFound : platform::error::kModNotFound;
    return 0;
}

const SimLibraries::Entry* SimLibraries::Callable(platform::ProcAddress entry,
                                                  const std::string& function) const {
    auto it = entries_.find(entry);
    if (it == entries_.end() || it->second.name != function) return nullptr;
    if (modules_.at(it->second.moduleKey).references == 0) return nullptr;
    return &it->second;
}

std::int32_t SimLibraries::CallSevenZip(platform::ProcAddress entry, platform::WindowHandle owner,
                                        const std::string& commandLine, char* output,
                                        std::uint32_t outputSize) {
    calls.push_back(FormatCall("SevenZip", {Hex(owner), commandLine, std::to_string(outputSize)}));
    archiveCalls.push_back({"SevenZip", owner, commandLine, outputSize, nullptr});
    lastOwner = owner;
    lastCommandLine = commandLine;
    lastOutputSize = outputSize;
    if (auto code = failures.Check("SevenZip")) return static_cast<std::int32_t>(*code);
    // A wrong or unloaded address would crash; the adapter reports that as faulted.
    if (!Callable(entry, "SevenZip") || sevenZipFaults) return platform::kArchiveCallFaulted;
    // The library reports progress through the registered callback.
    if (progress_) {
        platform::ArchiveProgressDetails details;
        details.totalOriginalSize = declaredTotal;
        progressAnswers.push_back(progress_(progressOwner_, 0, platform::archive_state::kStart,
                                            declaredTotal != 0 ? &details : nullptr));
    }
    std::int32_t result = sevenZipResult ? sevenZipResult(commandLine) : 0;
    if (output && outputSize > 0) {
        std::size_t length = std::min<std::size_t>(sevenZipOutput.size(), outputSize - 1);
        std::memcpy(output, sevenZipOutput.data(), length);
        output[length] = '\0';
    }
    return result;
}

std::int32_t SimLibraries::CallSevenZipSetOwnerWindowEx(platform::ProcAddress entry,
                                                        platform::WindowHandle owner,
                                                        platform::ArchiveProgress progress) {
    calls.push_back(
        FormatCall("SevenZipSetOwnerWindowEx", {Hex(owner), progress ? "callback" : "(null)"}));
    archiveCalls.push_back({"SevenZipSetOwnerWindowEx", owner, "", 0, progress});
    if (auto code = failures.Check("SevenZipSetOwnerWindowEx")) {
        return static_cast<std::int32_t>(*code);
    }
    if (!Callable(entry, "SevenZipSetOwnerWindowEx")) return platform::kArchiveCallFaulted;
    progressOwner_ = owner;
    progress_ = progress;
    return 1;
}

std::int32_t SimLibraries::CallSevenZipKillOwnerWindowEx(platform::ProcAddress entry,
                                                         platform::WindowHandle owner) {
    calls.push_back(FormatCall("SevenZipKillOwnerWindowEx", {Hex(owner)}));
    archiveCalls.push_back({"SevenZipKillOwnerWindowEx", owner, "", 0, nullptr});
    if (auto code = failures.Check("SevenZipKillOwnerWindowEx")) {
        return static_cast<std::int32_t>(*code);
    }
    if (!Callable(entry, "SevenZipKillOwnerWindowEx")) return platform::kArchiveCallFaulted;
    progress_ = nullptr;
    return 1;
}

}  // namespace sim
