// OutputSink that records everything in memory, for engine tests.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "io.h"

namespace ziptest {

class MemorySink : public archive::OutputSink {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> dirs;
    std::set<std::string> failCreate;  // paths whose Create fails
    std::set<std::string> removed;     // paths Remove was asked for
    std::set<std::string> links;       // paths that stand as links in the destination
    // What FreeSpace reports; unknown while unset.
    bool freeSpaceKnown = false;
    uint64_t freeSpace = 0;

    bool MakeDirectory(const std::string& path, bool, std::string*) override {
        std::lock_guard<std::mutex> lock(mu_);
        dirs.insert(path);
        return true;
    }

    bool IsLink(const std::string& path, bool) override {
        std::lock_guard<std::mutex> lock(mu_);
        return links.count(path) != 0;
    }

    bool Remove(const std::string& path, bool) override {
        std::lock_guard<std::mutex> lock(mu_);
        removed.insert(path);
        return files.erase(path) == 1;
    }

    bool FreeSpace(uint64_t* bytes) override {
        if (freeSpaceKnown) *bytes = freeSpace;
        return freeSpaceKnown;
    }

    std::unique_ptr<archive::FileWriter> Create(const std::string& path, bool, bool overwrite,
                                                std::string* error) override {
        std::lock_guard<std::mutex> lock(mu_);
        if (failCreate.count(path) || (!overwrite && files.count(path))) {
            *error = "refused";
            return nullptr;
        }
        files[path].clear();
        return std::unique_ptr<archive::FileWriter>(new Writer(this, path));
    }

private:
    class Writer : public archive::FileWriter {
    public:
        Writer(MemorySink* sink, std::string path) : sink_(sink), path_(std::move(path)) {}
        bool Write(const void* data, size_t n) override {
            std::lock_guard<std::mutex> lock(sink_->mu_);
            sink_->files[path_].append(static_cast<const char*>(data), n);
            return true;
        }
        bool Close() override { return true; }

    private:
        MemorySink* sink_;
        std::string path_;
    };

    std::mutex mu_;
};

}  // namespace ziptest
