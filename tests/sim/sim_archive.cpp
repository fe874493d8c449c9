#include "sim/sim_archive.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "run_command.h"

namespace sim {
namespace {

std::string WindowsPath(const std::string& root, const std::string& rel) {
    std::string path = rel;
    std::replace(path.begin(), path.end(), '/', '\\');
    return root + path;
}

class SimFileWriter : public archive::FileWriter {
public:
    SimFileWriter(SimFiles& files, std::string path) : files_(files), path_(std::move(path)) {}
    bool Write(const void* data, size_t n) override {
        content_.append(static_cast<const char*>(data), n);
        return true;
    }
    bool Close() override { return files_.WriteFile(path_, content_); }

private:
    SimFiles& files_;
    std::string path_;
    std::string content_;
};

class SimSink : public archive::OutputSink {
public:
    SimSink(SimFiles& files, std::string root, std::optional<std::uint64_t> freeBytes)
        : files_(files), root_(std::move(root)), freeBytes_(freeBytes) {
        if (root_.empty() || (root_.back() != '\\' && root_.back() != '/')) root_ += '\\';
    }
    bool MakeDirectory(const std::string& rel, bool, std::string* error) override {
        const std::string path = WindowsPath(root_, rel);
        if (files_.MakeDirectories(path) || files_.IsDirectory(path)) return true;
        *error = "cannot create the folder";
        return false;
    }
    std::unique_ptr<archive::FileWriter> Create(const std::string& rel, bool, bool overwrite,
                                                std::string* error) override {
        const std::string path = WindowsPath(root_, rel);
        if (files_.IsDirectory(path) || (!overwrite && files_.Exists(path)) ||
            !files_.WriteFile(path, "")) {
            *error = "cannot create the file";
            return nullptr;
        }
        return std::make_unique<SimFileWriter>(files_, path);
    }
    bool IsLink(const std::string& rel, bool) override {
        return files_.IsLinkAt(WindowsPath(root_, rel));
    }
    bool Remove(const std::string& rel, bool) override {
        return files_.Remove(WindowsPath(root_, rel));
    }
    bool FreeSpace(std::uint64_t* bytes) override {
        if (freeBytes_) *bytes = *freeBytes_;
        return freeBytes_.has_value();
    }

private:
    SimFiles& files_;
    std::string root_;
    std::optional<std::uint64_t> freeBytes_;
};

class SimArchivePlatform : public archive::ExtractPlatform {
public:
    SimArchivePlatform(SimFiles& files, std::optional<std::uint64_t> freeBytes)
        : files_(files), freeBytes_(freeBytes) {}
    std::unique_ptr<archive::ByteSource> OpenArchive(const std::string& path,
                                                     std::string* error) override {
        auto content = files_.ReadFile(path);
        if (!content) {
            *error = "The system cannot find the file specified. (Windows error 2)";
            return nullptr;
        }
        return std::make_unique<archive::MemoryByteSource>(
            std::vector<std::uint8_t>(content->begin(), content->end()));
    }
    std::unique_ptr<archive::OutputSink> OpenDestination(const std::string& dir,
                                                         std::string* error) override {
        if (!files_.IsDirectory(dir) && !files_.MakeDirectories(dir)) {
            *error = "cannot create the folder";
            return nullptr;
        }
        return std::make_unique<SimSink>(files_, dir, freeBytes_);
    }

private:
    SimFiles& files_;
    std::optional<std::uint64_t> freeBytes_;
};

}  // namespace

void UseRealArchiveEngine(SimLibraries& libraries, SimFiles& files,
                          std::optional<std::uint64_t> freeBytes) {
    libraries.AddArchiveLibrary();
    libraries.sevenZipResult = [&libraries, &files, freeBytes](const std::string& commandLine) {
        SimArchivePlatform platform(files, freeBytes);
        std::string message;
        const archive::Result result =
            archive::RunCommand(commandLine, platform, nullptr, &message);
        libraries.sevenZipOutput = message;
        return static_cast<std::int32_t>(result);
    };
}

}  // namespace sim
