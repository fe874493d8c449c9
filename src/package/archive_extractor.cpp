#include "package/archive_extractor.h"

#include <atomic>
#include <cstring>
#include <vector>

namespace package {
namespace {

// The callback has no context of its own; one extraction runs at a time,
// and Extract takes the value over once the library returns.
std::atomic<std::uint64_t> reportedTotal{0};

}  // namespace

ArchiveExtractor::ArchiveExtractor(platform::Libraries& libraries, platform::Files& files,
                                   platform::Threads& threads)
    : libraries_(libraries), files_(files), threads_(threads) {}

ArchiveExtractor::~ArchiveExtractor() {
    Unload();
}

bool ArchiveExtractor::Load() {
    Unload();
    // A bare name: the library search order finds it, the program's own
    // folder first.
    library_ = libraries_.LoadLibraryA(kArchiveLibrary);
    if (library_ == 0) return false;
    sevenZip_ = libraries_.GetProcAddress(library_, "SevenZip");
    setOwnerWindowEx_ = libraries_.GetProcAddress(library_, "SevenZipSetOwnerWindowEx");
    killOwnerWindowEx_ = libraries_.GetProcAddress(library_, "SevenZipKillOwnerWindowEx");
    return true;
}

void ArchiveExtractor::Unload() {
    if (library_ != 0) (void)libraries_.FreeLibrary(library_);
    library_ = 0;
    sevenZip_ = setOwnerWindowEx_ = killOwnerWindowEx_ = 0;
}

std::string ArchiveExtractor::CommandLine(const std::string& archive,
                                          const std::string& destination) {
    std::string command = "x -y \"" + archive + "\" -o\"" + destination + "\" -hide";
    // A cut command would name another file or folder; refuse instead.
    if (command.size() + 1 > kCommandBufferSize) return {};
    return command;
}

bool ArchiveExtractor::Extract(const std::string& archive, const std::string& destination) {
    failureText_.clear();
    declaredTotal_ = 0;
    reportedTotal = 0;
    Load();
    threads_.Sleep(10);
    if (library_ == 0) return false;
    if (files_.GetFileAttributesA(archive) == platform::file::kInvalidAttributes) return false;
    if (sevenZip_ == 0 || setOwnerWindowEx_ == 0 || killOwnerWindowEx_ == 0) return false;
    const std::string command = CommandLine(archive, destination);
    if (command.empty()) return false;

    std::vector<char> output(kOutputBufferSize + 1, 0);
    (void)libraries_.CallSevenZipSetOwnerWindowEx(setOwnerWindowEx_, owner_, &ExtractionProgress);
    threads_.Sleep(100);
    const std::int32_t result =
        libraries_.CallSevenZip(sevenZip_, owner_, command, output.data(), kOutputBufferSize);
    (void)libraries_.CallSevenZipKillOwnerWindowEx(killOwnerWindowEx_, owner_);
    declaredTotal_ = reportedTotal.load();
    threads_.Sleep(10);
    // The library's own words are the only account of why a package was
    // refused (a bomb, a damaged file); the operator sees them when Install
    // finds nothing to install.
    if (result != 0) failureText_.assign(output.data(), strnlen(output.data(), kOutputBufferSize));
    return result == 0;
}

bool ArchiveExtractor::ExtractionProgress(platform::WindowHandle, std::uint32_t,
                                          std::uint32_t state, const void* details) {
    if (state == platform::archive_state::kStart && details != nullptr) {
        reportedTotal =
            static_cast<const platform::ArchiveProgressDetails*>(details)->totalOriginalSize;
    }
    return true;
}

}  // namespace package
