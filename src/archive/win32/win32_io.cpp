#include "win32/win32_io.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace archive {
namespace {

std::string SystemError(DWORD code) {
    char text[256] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) text[--n] = 0;
    return (n ? std::string(text) + " " : std::string()) + "(Windows error " +
           std::to_string(code) + ")";
}

bool ToWide(const std::string& s, UINT codePage, std::wstring* out) {
    out->clear();
    if (s.empty()) return true;
    DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    int n = MultiByteToWideChar(codePage, flags, s.data(), int(s.size()), nullptr, 0);
    if (n <= 0) return false;
    out->resize(size_t(n));
    return MultiByteToWideChar(codePage, flags, s.data(), int(s.size()), &(*out)[0], n) == n;
}

bool IsSep(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDirectory(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

using FinalPathCall = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

std::wstring Folded(std::wstring path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0) path.erase(0, 4);
    std::wstring folded;
    for (wchar_t c : path) {
        c = c == L'/' ? L'\\' : (c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c);
        if (c != L'\\' || folded.empty() || folded.back() != L'\\') folded += c;
    }
    return folded;
}

// Where the handle's item really lies; empty when the system cannot say
// (before Vista).
std::wstring FinalPath(HANDLE item) {
    static const FinalPathCall finalPath = reinterpret_cast<FinalPathCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "GetFinalPathNameByHandleW")));
    if (finalPath == nullptr) return std::wstring();
    std::vector<wchar_t> reached(32768);
    DWORD n = finalPath(item, reached.data(), DWORD(reached.size()), 0);
    if (n == 0 || n >= reached.size()) return std::wstring();
    return std::wstring(reached.data(), n);
}

// A link, or a file with a second name, is what an opened handle says of
// itself; Wine opens what a link leads to even when told not to, and the
// final path then names the target instead of `expected`.
bool HandleIsLink(HANDLE item, const std::wstring& expected) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(item, &info)) return true;  // cannot tell: keep out
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks > 1) return true;
    const std::wstring reached = FinalPath(item);
    return !reached.empty() && Folded(reached) != Folded(expected);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kOpenItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

bool PathIsLink(const std::wstring& path, const std::wstring& expected) {
    DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    HANDLE item = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              kOpenItself, nullptr);
    if (item == INVALID_HANDLE_VALUE) return false;
    bool link = HandleIsLink(item, expected);
    CloseHandle(item);
    return link;
}

bool MakeDirectories(std::wstring path, std::string* error) {
    while (path.size() > 1 && IsSep(path.back())) path.pop_back();
    if (path.empty() || IsDirectory(path)) return true;
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    DWORD err = GetLastError();
    if (err == ERROR_PATH_NOT_FOUND) {
        size_t sep = path.find_last_of(L"\\/");
        if (sep != std::wstring::npos && sep > 0) {
            if (!MakeDirectories(path.substr(0, sep), error)) return false;
            if (CreateDirectoryW(path.c_str(), nullptr)) return true;
            err = GetLastError();
        }
    }
    if (IsDirectory(path)) return true;
    *error = SystemError(err);
    return false;
}

class Win32FileSource : public ByteSource {
public:
    Win32FileSource(HANDLE file, uint64_t size) : file_(file), size_(size) {}
    ~Win32FileSource() override { CloseHandle(file_); }
    uint64_t Size() const override { return size_; }
    // Positioned reads through OVERLAPPED offsets do not share a file
    // pointer, so the two extraction workers can read at the same time.
    bool ReadAt(uint64_t offset, void* buffer, size_t n) override {
        char* p = static_cast<char*>(buffer);
        while (n) {
            DWORD chunk = DWORD(std::min<size_t>(n, size_t(1) << 30));
            OVERLAPPED ov = {};
            ov.Offset = DWORD(offset);
            ov.OffsetHigh = DWORD(offset >> 32);
            DWORD got = 0;
            if (!ReadFile(file_, p, chunk, &got, &ov) || got == 0) return false;
            p += got;
            offset += got;
            n -= got;
        }
        return true;
    }

private:
    HANDLE file_;
    uint64_t size_;
};

class Win32FileWriter : public FileWriter {
public:
    explicit Win32FileWriter(HANDLE file) : file_(file) {}
    ~Win32FileWriter() override {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    bool Write(const void* data, size_t n) override {
        const char* p = static_cast<const char*>(data);
        while (n) {
            DWORD chunk = DWORD(std::min<size_t>(n, size_t(1) << 30));
            DWORD put = 0;
            if (!WriteFile(file_, p, chunk, &put, nullptr) || put == 0) {
                ok_ = false;
                return false;
            }
            p += put;
            n -= put;
        }
        return true;
    }
    bool Close() override {
        bool closed = CloseHandle(file_) != FALSE;
        file_ = INVALID_HANDLE_VALUE;
        return ok_ && closed;
    }

private:
    HANDLE file_;
    bool ok_ = true;
};

class Win32Sink : public OutputSink {
public:
    explicit Win32Sink(std::wstring root) : root_(std::move(root)), reachedRoot_(root_) {
        // Links above the destination are the caller's business; only what
        // lies below it is judged, against where the destination really is.
        HANDLE item = CreateFileW((root_ + L"\\").c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (item != INVALID_HANDLE_VALUE) {
            const std::wstring reached = FinalPath(item);
            if (!reached.empty()) reachedRoot_ = reached;
            CloseHandle(item);
        }
        while (!reachedRoot_.empty() && IsSep(reachedRoot_.back())) reachedRoot_.pop_back();
    }

    bool MakeDirectory(const std::string& relPath, bool utf8, std::string* error) override {
        std::wstring path;
        if (!FullPath(relPath, utf8, &path, error)) return false;
        if (CreateDirectoryW(path.c_str(), nullptr)) return true;
        DWORD err = GetLastError();
        if (IsDirectory(path)) return true;
        *error = SystemError(err);
        return false;
    }

    std::unique_ptr<FileWriter> Create(const std::string& relPath, bool utf8, bool overwrite,
                                       std::string* error) override {
        std::wstring path;
        if (!FullPath(relPath, utf8, &path, error)) return nullptr;
        // Opened as itself, never through a link, and checked on the handle:
        // a link planted after IsLink looked is refused, not written through.
        // An existing file is emptied on the handle, which keeps its access list.
        const DWORD disposition = overwrite ? OPEN_ALWAYS : CREATE_NEW;
        const DWORD flags =
            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT;
        const DWORD access =
            GENERIC_WRITE | FILE_READ_ATTRIBUTES;  // the handle is asked what it is
        HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags,
                               nullptr);
        DWORD err = GetLastError();
        if (h == INVALID_HANDLE_VALUE && overwrite && err == ERROR_ACCESS_DENIED) {
            // A read-only file refuses writing; an installer replacing its own
            // files must get past that.
            DWORD attrs = GetFileAttributesW(path.c_str());
            if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attrs & FILE_ATTRIBUTE_REPARSE_POINT) &&
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
                h = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags,
                                nullptr);
                err = GetLastError();
            }
        }
        if (h == INVALID_HANDLE_VALUE) {
            *error = SystemError(err);
            return nullptr;
        }
        if (HandleIsLink(h, Reached(relPath, utf8))) {
            CloseHandle(h);
            *error = "a link stands there";
            return nullptr;
        }
        if (overwrite && !SetEndOfFile(h)) {
            err = GetLastError();
            CloseHandle(h);
            *error = SystemError(err);
            return nullptr;
        }
        return std::unique_ptr<FileWriter>(new Win32FileWriter(h));
    }

    bool IsLink(const std::string& relPath, bool utf8) override {
        std::wstring path;
        std::string error;
        return FullPath(relPath, utf8, &path, &error) && PathIsLink(path, Reached(relPath, utf8));
    }

    bool Remove(const std::string& relPath, bool utf8) override {
        std::wstring path;
        std::string error;
        return FullPath(relPath, utf8, &path, &error) && DeleteFileW(path.c_str()) != FALSE;
    }

    // What this user may still write there (quotas included).
    bool FreeSpace(uint64_t* bytes) override {
        ULARGE_INTEGER available;
        if (!GetDiskFreeSpaceExW((root_ + L"\\").c_str(), &available, nullptr, nullptr))
            return false;
        *bytes = available.QuadPart;
        return true;
    }

private:
    bool FullPath(const std::string& relPath, bool utf8, std::wstring* path, std::string* error) {
        std::wstring rel;
        if (!ToWide(relPath, utf8 ? CP_UTF8 : CP_ACP, &rel)) {
            *error = "name cannot be converted to a Windows file name";
            return false;
        }
        std::replace(rel.begin(), rel.end(), L'/', L'\\');
        *path = root_ + L"\\" + rel;
        return true;
    }

    // Where the item at relPath lies when nothing below the destination is a
    // link. The name only has to compare, so a name that cannot be converted
    // compares with nothing.
    std::wstring Reached(const std::string& relPath, bool utf8) {
        std::wstring rel;
        if (!ToWide(relPath, utf8 ? CP_UTF8 : CP_ACP, &rel)) return std::wstring();
        return reachedRoot_ + L"\\" + rel;
    }

    std::wstring root_;  // \\?\ form, no trailing separator
    std::wstring reachedRoot_;
};

}  // namespace

std::unique_ptr<ByteSource> Win32Platform::OpenArchive(const std::string& path,
                                                       std::string* error) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = SystemError(GetLastError());
        return nullptr;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        *error = SystemError(GetLastError());
        CloseHandle(h);
        return nullptr;
    }
    return std::unique_ptr<ByteSource>(new Win32FileSource(h, uint64_t(size.QuadPart)));
}

std::unique_ptr<OutputSink> Win32Platform::OpenDestination(const std::string& dir,
                                                           std::string* error) {
    std::wstring wide;
    if (!ToWide(dir, CP_ACP, &wide)) {
        *error = "bad folder name";
        return nullptr;
    }
    if (!MakeDirectories(wide, error)) return nullptr;
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) {
        *error = SystemError(GetLastError());
        return nullptr;
    }
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    full.resize(n);
    while (!full.empty() && IsSep(full.back())) full.pop_back();
    std::wstring root;
    if (full.compare(0, 4, L"\\\\?\\") == 0) {
        root = full;
    } else if (full.compare(0, 2, L"\\\\") == 0) {
        root = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        root = L"\\\\?\\" + full;
    }
    return std::unique_ptr<OutputSink>(new Win32Sink(root));
}

namespace {

DWORD WINAPI WorkerEntry(LPVOID parameter) {
    const auto* work = static_cast<const std::function<void()>*>(parameter);
    try {
        (*work)();
    } catch (...) {
        // The work records its own failures; nothing may leave a thread.
    }
    return 0;
}

}  // namespace

unsigned Win32ThreadPool::Concurrency() const {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

void Win32ThreadPool::Run(unsigned count, const std::function<void()>& work) {
    std::vector<HANDLE> threads;
    for (unsigned t = 1; t < count; ++t) {
        HANDLE thread = ::CreateThread(nullptr, 0, WorkerEntry,
                                       const_cast<std::function<void()>*>(&work), 0, nullptr);
        if (thread) threads.push_back(thread);
    }
    work();
    for (HANDLE thread : threads) {
        ::WaitForSingleObject(thread, INFINITE);
        ::CloseHandle(thread);
    }
}

}  // namespace archive
