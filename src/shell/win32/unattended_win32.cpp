#include "shell/win32/unattended_win32.h"

#include "platform/win32/files_win32.h"

namespace win32 {
namespace {

bool Usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// AttachConsole came with Windows XP: looked up, so that the program still
// loads where it is missing.
bool AttachParentConsole() {
    using AttachConsoleProc = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32");
    if (kernel == nullptr) return false;
    const auto attach = reinterpret_cast<AttachConsoleProc>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "AttachConsole")));
    return attach != nullptr && attach(static_cast<DWORD>(-1)) != FALSE;  // ATTACH_PARENT_PROCESS
}

void WriteAll(HANDLE handle, const std::string& text) {
    const char* data = text.data();
    DWORD left = static_cast<DWORD>(text.size());
    while (left > 0) {
        DWORD written = 0;
        if (!::WriteFile(handle, data, left, &written, nullptr) || written == 0) return;
        data += written;
        left -= written;
    }
}

}  // namespace

Win32Console::Win32Console() {
    const HANDLE given = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (Usable(given) && ::GetFileType(given) != FILE_TYPE_UNKNOWN) {
        handle_ = given;
        return;
    }
    if (!AttachParentConsole()) return;
    const HANDLE console =
        ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (Usable(console)) {
        handle_ = console;
        owned_ = true;
    }
}

Win32Console::~Win32Console() {
    if (owned_) ::CloseHandle(handle_);
}

void Win32Console::Write(const std::string& text) {
    if (Usable(handle_)) WriteAll(handle_, text);
}

Win32LogFile::~Win32LogFile() {
    if (Usable(handle_)) ::CloseHandle(handle_);
}

bool Win32LogFile::Open(const std::string& path, DWORD& error) {
    platform::FileInformation info;
    if (Win32Files().GetFileInformationA(path, info).NonZero() && info.IsLink()) {
        error = kLogIsALink;
        return false;
    }
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    // Appending makes each entry land whole at the end, also when another
    // run appends to the same file.
    handle_ = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, kShare, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    append_ = true;
    if (!Usable(handle_) && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        handle_ = ::CreateFileA(path.c_str(), GENERIC_WRITE, kShare, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        append_ = false;
    }
    error = Usable(handle_) ? 0 : ::GetLastError();
    return Usable(handle_);
}

void Win32LogFile::Write(const std::string& text) {
    if (!Usable(handle_)) return;
    if (!append_) ::SetFilePointer(handle_, 0, nullptr, FILE_END);
    WriteAll(handle_, text);
}

platform::LocalTime Win32LocalClock::Now() {
    SYSTEMTIME time = {};
    ::GetLocalTime(&time);
    return {time.wYear,   time.wMonth,  time.wDay,         time.wHour,
            time.wMinute, time.wSecond, time.wMilliseconds};
}

InstanceLock::~InstanceLock() {
    if (mutex_ != nullptr) ::CloseHandle(mutex_);
}

bool InstanceLock::Acquire(const char* name) {
    mutex_ = ::CreateMutexA(nullptr, FALSE, name);
    const std::string global = "Global\\";
    if (mutex_ == nullptr && ::GetLastError() != ERROR_ACCESS_DENIED &&
        std::string(name).compare(0, global.size(), global) == 0) {
        // Systems before Terminal Services know no "Global\" namespace.
        mutex_ = ::CreateMutexA(nullptr, FALSE, name + global.size());
    }
    // Another session's holder may deny us even the handle: it runs all the same.
    if (mutex_ == nullptr) return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex_);
        mutex_ = nullptr;
        return false;
    }
    return true;
}

}  // namespace win32
