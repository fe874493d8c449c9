// Run-time library loading and the calls into the archive library's stdcall
// exports. The library calls back through a WINAPI function, while the logic's
// progress callback is a plain C++ function pointer: the trampoline below
// forwards to the one registered last. One extraction runs at a time.
#include "platform/win32/libraries_win32.h"

#include <windows.h>

#include <atomic>

namespace win32 {
namespace {

typedef BOOL(CALLBACK* ARCHIVERPROC)(HWND, UINT, UINT, LPVOID);
using SevenZipFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
using SetOwnerWindowExFn = BOOL(WINAPI*)(HWND, ARCHIVERPROC);
using KillOwnerWindowExFn = BOOL(WINAPI*)(HWND);

std::atomic<platform::ArchiveProgress> registeredProgress{nullptr};

// The library's progress record (SEVENZIP_PROGRESS), as far as it is read.
struct LibraryProgress {
    DWORD cbSize;
    DWORD entryIndex;
    DWORD entryCount;
    LPCSTR entryName;
    ULONGLONG compressedSize;
    ULONGLONG originalSize;
    ULONGLONG totalOriginalSize;
    ULONGLONG bytesDone;
};

// Exceptions must not unwind through the library's frames: one from the
// callback stops the extraction instead.
BOOL CALLBACK ProgressTrampoline(HWND window, UINT message, UINT state, LPVOID details) {
    platform::ArchiveProgress progress = registeredProgress.load();
    if (!progress) return TRUE;
    // A record too small to be ours (another library's) is passed as none.
    const auto* record = static_cast<const LibraryProgress*>(details);
    platform::ArchiveProgressDetails read;
    const bool known = record != nullptr && record->cbSize >= sizeof(LibraryProgress);
    if (known) {
        read.entryCount = record->entryCount;
        read.totalOriginalSize = record->totalOriginalSize;
    }
    try {
        return progress(reinterpret_cast<platform::WindowHandle>(window), message, state,
                        known ? &read : nullptr)
                   ? TRUE
                   : FALSE;
    } catch (...) {
        return FALSE;
    }
}

template <typename Fn>
Fn Entry(platform::ProcAddress entry) {
    return reinterpret_cast<Fn>(entry);
}

HWND ToWindow(platform::WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

}  // namespace

platform::ModuleHandle Win32Libraries::LoadLibraryA(const std::string& fileName) {
    return reinterpret_cast<platform::ModuleHandle>(::LoadLibraryA(fileName.c_str()));
}

bool Win32Libraries::FreeLibrary(platform::ModuleHandle module) {
    return ::FreeLibrary(reinterpret_cast<HMODULE>(module)) != FALSE;
}

platform::ProcAddress Win32Libraries::GetProcAddress(platform::ModuleHandle module,
                                                     const std::string& name) {
    return reinterpret_cast<platform::ProcAddress>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str()));
}

// A missing export counts as a failed call rather than a jump to address zero.
std::int32_t Win32Libraries::CallSevenZip(platform::ProcAddress entry, platform::WindowHandle owner,
                                          const std::string& commandLine, char* output,
                                          std::uint32_t outputSize) {
    if (!entry) return platform::kArchiveCallFaulted;
    try {
        return Entry<SevenZipFn>(entry)(ToWindow(owner), commandLine.c_str(), output, outputSize);
    } catch (...) {
        return platform::kArchiveCallFaulted;
    }
}

std::int32_t Win32Libraries::CallSevenZipSetOwnerWindowEx(platform::ProcAddress entry,
                                                          platform::WindowHandle owner,
                                                          platform::ArchiveProgress progress) {
    if (!entry) return FALSE;
    registeredProgress.store(progress);
    try {
        return Entry<SetOwnerWindowExFn>(entry)(ToWindow(owner),
                                                progress ? ProgressTrampoline : nullptr);
    } catch (...) {
        return FALSE;
    }
}

std::int32_t Win32Libraries::CallSevenZipKillOwnerWindowEx(platform::ProcAddress entry,
                                                           platform::WindowHandle owner) {
    if (!entry) return FALSE;
    BOOL result = FALSE;
    try {
        result = Entry<KillOwnerWindowExFn>(entry)(ToWindow(owner));
    } catch (...) {}
    registeredProgress.store(nullptr);
    return result;
}

}  // namespace win32
