// The driver-name list "C:\DriverName.cfg": an initialisation file whose
// section k lists, under PrintName1 to PrintName50, the names offered for
// model k. Sections are counted in file order; the names in them stop at
// the first missing or empty key.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace app {

constexpr const char* kDriverListPath = "C:\\DriverName.cfg";
constexpr unsigned kSectionNamesBufferSize = 3000;
constexpr unsigned kSectionNameLimit = 100;  // a name must be shorter
constexpr unsigned kValueBufferSize = 128;
constexpr int kMaxNamesPerSection = 50;

// Calls `onName(section, name)` for every name, in file order.
void ScanDriverList(platform::ProfileReader& profile,
                    const std::function<void(int section, const std::string& name)>& onName);

// One entry of the package's driver list, in the list's order.
struct DriverListEntry {
    std::string name;
    int modelIndex = -1;
    std::string driver;  // empty: the entry installs nothing
    bool label = false;
};

// The entry /model names: the exact text first; otherwise the first entry
// that differs only in case, and whether another one does too.
struct EntryMatch {
    const DriverListEntry* entry = nullptr;
    bool ambiguous = false;
};
EntryMatch MatchEntry(const std::vector<DriverListEntry>& entries, const std::string& model);

}  // namespace app
