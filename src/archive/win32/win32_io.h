// Win32 file access for 7-zip32.dll. The archive path and destination come
// from the installer in the ANSI code page; entry names are converted from
// UTF-8 or ANSI and written through the wide API with a \\?\ prefix, so
// long paths work.
#pragma once

#include <memory>
#include <string>

#include "run_command.h"

namespace archive {

// Workers on CreateThread, so the DLL needs no thread runtime.
class Win32ThreadPool : public WorkerPool {
public:
    unsigned Concurrency() const override;
    void Run(unsigned count, const std::function<void()>& work) override;
};

class Win32Platform : public ExtractPlatform {
public:
    std::unique_ptr<ByteSource> OpenArchive(const std::string& path, std::string* error) override;
    std::unique_ptr<OutputSink> OpenDestination(const std::string& dir,
                                                std::string* error) override;
    WorkerPool* Workers() override { return &workers_; }

private:
    Win32ThreadPool workers_;
};

}  // namespace archive
