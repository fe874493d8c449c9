// What an unattended run needs from Windows besides the installer's own
// services: the console of whoever started it, the log file, the local
// time, and the lock that keeps two installations off the machine at once.
#pragma once

#include <windows.h>

#include <string>

#include "platform/text_output.h"

namespace win32 {

// The caller's output: the standard output it handed over (a pipe or file,
// as deployment tools and redirections give), otherwise the console of the
// parent process (cmd, PowerShell). Nothing when there is neither.
class Win32Console : public platform::TextOutput {
public:
    Win32Console();
    ~Win32Console() override;
    Win32Console(const Win32Console&) = delete;
    Win32Console& operator=(const Win32Console&) = delete;

    void Write(const std::string& text) override;

private:
    HANDLE handle_ = nullptr;
    bool owned_ = false;
};

// A log file that every entry is appended to; other programs may read it
// (and another run may append) while it is open.
class Win32LogFile : public platform::TextOutput {
public:
    Win32LogFile() = default;
    ~Win32LogFile() override;
    Win32LogFile(const Win32LogFile&) = delete;
    Win32LogFile& operator=(const Win32LogFile&) = delete;

    // False, with the reason in `error`, when the file cannot be opened.
    // A link, or a second name of another file, is never written through:
    // it fails with kLogIsALink.
    static constexpr DWORD kLogIsALink = ERROR_CANT_ACCESS_FILE;
    bool Open(const std::string& path, DWORD& error);
    void Write(const std::string& text) override;

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool append_ = true;  // opened for appending; otherwise each write seeks the end
};

class Win32LocalClock : public platform::LocalClock {
public:
    platform::LocalTime Now() override;
};

// A named mutex held for the life of the process: its existence is the
// sign that an installation runs. Windows removes it when its last holder
// ends, however that ends.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process is the only one holding it.
    bool Acquire(const char* name);

private:
    HANDLE mutex_ = nullptr;
};

}  // namespace win32
