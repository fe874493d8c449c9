// Interface of our 7-zip32.dll (ZIP extraction for the driver installer).
//
// Exports (undecorated names, __stdcall):
//   int  SevenZip(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize)
//   BOOL SevenZipSetOwnerWindowEx(HWND owner, ARCHIVERPROC callback)
//   BOOL SevenZipKillOwnerWindowEx(HWND owner)
//
// Command line: x -y "<archive>" -o"<dest folder>" -hide
//   x      extract with folder structure (the only command)
//   -y     overwrite existing files; without it an existing file is an error
//   -hide  no user interface (there never is one)
// SevenZip returns SEVENZIP_OK (0) or one of the SEVENZIP_ERROR_* codes and
// writes a one-line summary or error text to output (always terminated,
// never more than outputSize bytes; output may be NULL or outputSize 0).
//
// Progress callback: if a callback is registered for the owner passed to
// SevenZip, it is called on the calling thread with
//   msg   = SEVENZIP_MSG_PROGRESS
//   state = SEVENZIP_STATE_START once, SEVENZIP_STATE_ENTRY once per entry
//           before it is written, SEVENZIP_STATE_END once after the last one
//   details = SEVENZIP_PROGRESS* (callers must still accept NULL)
// Returning FALSE stops extraction; SevenZip then returns
// SEVENZIP_ERROR_CANCELLED. Files already written are left in place.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef BOOL(CALLBACK* ARCHIVERPROC)(HWND owner, UINT msg, UINT state, LPVOID details);

#define SEVENZIP_MSG_PROGRESS (WM_APP + 0x7A0)

#define SEVENZIP_STATE_START 0
#define SEVENZIP_STATE_ENTRY 1
#define SEVENZIP_STATE_END 2

// Same values as archive::Result.
#define SEVENZIP_OK 0
#define SEVENZIP_ERROR_COMMAND_LINE 1
#define SEVENZIP_ERROR_OPEN_ARCHIVE 2
#define SEVENZIP_ERROR_CORRUPT 3
#define SEVENZIP_ERROR_UNSUPPORTED 4
#define SEVENZIP_ERROR_CRC 5
#define SEVENZIP_ERROR_UNSAFE_PATH 6
#define SEVENZIP_ERROR_TOO_LARGE 7
#define SEVENZIP_ERROR_WRITE 8
#define SEVENZIP_ERROR_CANCELLED 9
#define SEVENZIP_ERROR_SIZE 10
#define SEVENZIP_ERROR_INTERNAL 11

typedef struct SEVENZIP_PROGRESS {
    DWORD cbSize;              // sizeof(SEVENZIP_PROGRESS)
    DWORD entryIndex;          // ENTRY: 0-based index in the archive
    DWORD entryCount;          // number of entries (files and folders)
    LPCSTR entryName;          // ENTRY: name as stored ('/' separated); else NULL
    ULONGLONG compressedSize;  // ENTRY: sizes of this entry
    ULONGLONG originalSize;
    ULONGLONG totalOriginalSize;  // all files of the archive
    ULONGLONG bytesDone;          // original bytes written before this call
} SEVENZIP_PROGRESS;

int WINAPI SevenZip(HWND owner, LPCSTR commandLine, LPSTR output, DWORD outputSize);
BOOL WINAPI SevenZipSetOwnerWindowEx(HWND owner, ARCHIVERPROC callback);
BOOL WINAPI SevenZipKillOwnerWindowEx(HWND owner);

typedef int(WINAPI* SEVENZIP_FN)(HWND, LPCSTR, LPSTR, DWORD);
typedef BOOL(WINAPI* SEVENZIP_SET_OWNER_FN)(HWND, ARCHIVERPROC);
typedef BOOL(WINAPI* SEVENZIP_KILL_OWNER_FN)(HWND);

#ifdef __cplusplus
}
#endif
