// Exports of 7-zip32.dll; see sevenzip.h for the contract.
#include "win32/sevenzip.h"

#include <map>
#include <string>

#include "run_command.h"
#include "win32/win32_io.h"

namespace {

// A critical section rather than std::mutex: the DLL then needs no thread
// runtime, which would tie it to Vista and later.
class OwnersLock {
public:
    OwnersLock() { ::InitializeCriticalSection(&section_); }
    ~OwnersLock() { ::DeleteCriticalSection(&section_); }
    OwnersLock(const OwnersLock&) = delete;
    OwnersLock& operator=(const OwnersLock&) = delete;
    CRITICAL_SECTION* get() { return &section_; }

private:
    CRITICAL_SECTION section_;
};

OwnersLock g_ownersLock;

class Held {
public:
    explicit Held(OwnersLock& lock) : section_(lock.get()) { ::EnterCriticalSection(section_); }
    ~Held() { ::LeaveCriticalSection(section_); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    CRITICAL_SECTION* section_;
};

std::map<HWND, ARCHIVERPROC>& Owners() {
    static std::map<HWND, ARCHIVERPROC> owners;
    return owners;
}

ARCHIVERPROC CallbackFor(HWND owner) {
    Held lock(g_ownersLock);
    auto it = Owners().find(owner);
    return it == Owners().end() ? nullptr : it->second;
}

}  // namespace

extern "C" int WINAPI SevenZip(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize) {
    std::string message;
    int rc;
    try {
        archive::ProgressFn progress;
        if (ARCHIVERPROC callback = CallbackFor(owner)) {
            progress = [owner, callback](archive::ProgressState state,
                                         const archive::ProgressInfo& info) {
                SEVENZIP_PROGRESS details = {};
                details.cbSize = sizeof details;
                details.entryIndex = info.entryIndex;
                details.entryCount = info.entryCount;
                details.entryName = info.entryName;
                details.compressedSize = info.compressedSize;
                details.originalSize = info.uncompressedSize;
                details.totalOriginalSize = info.totalUncompressed;
                details.bytesDone = info.bytesDone;
                return callback(owner, SEVENZIP_MSG_PROGRESS, UINT(state), &details) != FALSE;
            };
        }
        archive::Win32Platform platform;
        rc = archive::RunCommand(commandLine ? commandLine : "", platform, progress, &message);
    } catch (...) {
        rc = archive::kInternalError;
        message = "Error 11 (internal error)";
    }
    archive::CopyToBuffer(message, output, outputSize);
    return rc;
}

extern "C" BOOL WINAPI SevenZipSetOwnerWindowEx(HWND owner, ARCHIVERPROC callback) {
    try {
        Held lock(g_ownersLock);
        if (callback) {
            Owners()[owner] = callback;
        } else {
            Owners().erase(owner);
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

extern "C" BOOL WINAPI SevenZipKillOwnerWindowEx(HWND owner) {
    Held lock(g_ownersLock);
    return Owners().erase(owner) ? TRUE : FALSE;
}
