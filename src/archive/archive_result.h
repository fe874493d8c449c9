// Result codes shared by the archive engine, the zipx tool and 7-zip32.dll.
// The numeric values are part of the DLL's contract with the installer:
// never renumber, only append.
#pragma once

namespace archive {

enum Result : int {
    kOk = 0,
    kBadCommandLine = 1,     // unknown command/switch, missing archive or -o
    kCannotOpenArchive = 2,  // archive file missing or unreadable
    kCorruptArchive = 3,     // not a ZIP, bad signatures/offsets, inflate error
    kUnsupported = 4,        // compression method, encryption, multi-disk
    kCrcMismatch = 5,
    kUnsafePath = 6,      // an entry name would escape the destination
    kTooLarge = 7,        // entry count / total size / output over the limits
    kWriteError = 8,      // cannot create a folder or write a file
    kCancelled = 9,       // progress callback asked to stop
    kSizeMismatch = 10,   // entry data shorter than its declared size
    kInternalError = 11,  // out of memory, zlib init failure, thread failure
    kNoSpace = 12,        // the destination's drive cannot take the package
};

// Short English name of a result, e.g. "CRC mismatch".
const char* ResultName(int result);

}  // namespace archive
