// POSIX file access for the host build (zipx, tests, benchmark).
#pragma once

#include <memory>
#include <string>

#include "io.h"
#include "run_command.h"

namespace archive {

std::unique_ptr<ByteSource> OpenPosixFile(const std::string& path, std::string* error);

// Writes below `root`, which must exist.
std::unique_ptr<OutputSink> MakePosixSink(const std::string& root);

// Creates a folder and its missing parents.
bool MakePosixDirectories(const std::string& path, std::string* error);

// Workers on std::thread.
class StdThreadPool : public WorkerPool {
public:
    unsigned Concurrency() const override;
    void Run(unsigned count, const std::function<void()>& work) override;
};

class PosixPlatform : public ExtractPlatform {
public:
    std::unique_ptr<ByteSource> OpenArchive(const std::string& path, std::string* error) override;
    std::unique_ptr<OutputSink> OpenDestination(const std::string& dir,
                                                std::string* error) override;
    WorkerPool* Workers() override { return &workers_; }

private:
    StdThreadPool workers_;
};

}  // namespace archive
