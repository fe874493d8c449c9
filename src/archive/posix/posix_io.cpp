#include "posix/posix_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace archive {
namespace {

class PosixFileSource : public ByteSource {
public:
    PosixFileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~PosixFileSource() override { ::close(fd_); }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) override {
        char* p = static_cast<char*>(buffer);
        while (n) {
            ssize_t got = ::pread(fd_, p, n, off_t(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            p += got;
            offset += uint64_t(got);
            n -= size_t(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};

class PosixFileWriter : public FileWriter {
public:
    explicit PosixFileWriter(int fd) : fd_(fd) {}
    ~PosixFileWriter() override {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Write(const void* data, size_t n) override {
        const char* p = static_cast<const char*>(data);
        while (n) {
            ssize_t put = ::write(fd_, p, n);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                ok_ = false;
                return false;
            }
            p += put;
            n -= size_t(put);
        }
        return true;
    }
    bool Close() override {
        bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return ok_ && closed;
    }

private:
    int fd_;
    bool ok_ = true;
};

class PosixSink : public OutputSink {
public:
    explicit PosixSink(std::string root) : root_(std::move(root)) {
        if (root_.empty() || root_.back() != '/') root_.push_back('/');
    }

    bool MakeDirectory(const std::string& relPath, bool, std::string* error) override {
        std::string path = root_ + relPath;
        if (::mkdir(path.c_str(), 0777) == 0) return true;
        int err = errno;
        struct stat st;
        if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
        *error = std::strerror(err);
        return false;
    }

    std::unique_ptr<FileWriter> Create(const std::string& relPath, bool, bool overwrite,
                                       std::string* error) override {
        std::string path = root_ + relPath;
        // O_NOFOLLOW: a symlink planted after IsLink looked must not redirect
        // the write either.
        int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (overwrite ? O_TRUNC : O_EXCL);
        int fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0 && overwrite && errno == EACCES) {
            if (::unlink(path.c_str()) == 0) fd = ::open(path.c_str(), flags | O_EXCL, 0666);
        }
        if (fd < 0) {
            *error = std::strerror(errno);
            return nullptr;
        }
        return std::unique_ptr<FileWriter>(new PosixFileWriter(fd));
    }

    bool IsLink(const std::string& relPath, bool) override {
        struct stat st;
        if (::lstat((root_ + relPath).c_str(), &st) != 0) return false;
        return S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink > 1);
    }

    bool Remove(const std::string& relPath, bool) override {
        return ::unlink((root_ + relPath).c_str()) == 0;
    }

    bool FreeSpace(uint64_t* bytes) override {
        struct statvfs fs;
        if (::statvfs(root_.c_str(), &fs) != 0) return false;
        *bytes = uint64_t(fs.f_bavail) * fs.f_frsize;
        return true;
    }

private:
    std::string root_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenPosixFile(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "not a regular file";
        ::close(fd);
        return nullptr;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return std::unique_ptr<ByteSource>(new PosixFileSource(fd, uint64_t(st.st_size)));
}

std::unique_ptr<OutputSink> MakePosixSink(const std::string& root) {
    return std::unique_ptr<OutputSink>(new PosixSink(root));
}

bool MakePosixDirectories(const std::string& path, std::string* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        *error = "exists and is not a folder";
        return false;
    }
    size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0) {
        if (!MakePosixDirectories(path.substr(0, slash), error)) return false;
    }
    if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return true;
    *error = std::strerror(errno);
    return false;
}

std::unique_ptr<ByteSource> PosixPlatform::OpenArchive(const std::string& path,
                                                       std::string* error) {
    return OpenPosixFile(path, error);
}

std::unique_ptr<OutputSink> PosixPlatform::OpenDestination(const std::string& dir,
                                                           std::string* error) {
    if (!MakePosixDirectories(dir, error)) return nullptr;
    return MakePosixSink(dir);
}

unsigned StdThreadPool::Concurrency() const {
    return std::max(1u, std::thread::hardware_concurrency());
}

void StdThreadPool::Run(unsigned count, const std::function<void()>& work) {
    std::vector<std::thread> threads;
    try {
        for (unsigned t = 1; t < count; ++t) threads.emplace_back(work);
    } catch (...) {
        // Fewer threads: the runs that did start share the work.
    }
    work();
    for (std::thread& t : threads) t.join();
}

}  // namespace archive
