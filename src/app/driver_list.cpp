#include "app/driver_list.h"

#include "base/text.h"

#include <cstring>
#include <vector>

namespace app {
namespace {

void ScanSection(platform::ProfileReader& profile, const std::string& section, int number,
                 const std::function<void(int, const std::string&)>& onName) {
    // Longer names are outside what the file may hold; their section keeps
    // its number but offers nothing.
    if (section.size() >= kSectionNameLimit) return;
    for (int k = 1; k <= kMaxNamesPerSection; ++k) {
        char value[kValueBufferSize] = {};
        const std::string key = "PrintName" + std::to_string(k);
        if (profile.GetPrivateProfileStringA(section, key, nullptr, value, kValueBufferSize,
                                             kDriverListPath) == 0) {
            return;
        }
        // A value that begins with a NUL byte counts characters but reads
        // as the empty text: it ends the names like an empty value.
        const std::string name(value, strnlen(value, kValueBufferSize));
        if (name.empty()) return;
        onName(number, name);
    }
}

}  // namespace

void ScanDriverList(platform::ProfileReader& profile,
                    const std::function<void(int, const std::string&)>& onName) {
    std::vector<char> names(kSectionNamesBufferSize, 0);
    profile.GetPrivateProfileSectionNamesA(names.data(), kSectionNamesBufferSize, kDriverListPath);
    // A missing file leaves the buffer zero: one nameless, empty section.
    std::size_t start = 0;
    int section = -1;
    for (std::size_t p = 0; p < kSectionNamesBufferSize - 1; ++p) {
        if (names[p] != 0) continue;
        ++section;
        ScanSection(profile, std::string(names.data() + start, p - start), section, onName);
        if (names[p + 1] == 0) break;
        start = p + 1;
    }
}

EntryMatch MatchEntry(const std::vector<DriverListEntry>& entries, const std::string& model) {
    for (const DriverListEntry& entry : entries) {
        if (entry.name == model) return {&entry, false};
    }
    EntryMatch match;
    const std::string wanted = text::Lower(model);
    for (const DriverListEntry& entry : entries) {
        if (text::Lower(entry.name) != wanted) continue;
        if (match.entry != nullptr) {
            match.ambiguous = true;
            break;
        }
        match.entry = &entry;
    }
    return match;
}

}  // namespace app
