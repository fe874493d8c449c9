// The driver-name list "C:\DriverName.cfg": an initialisation file whose
// section k lists, under PrintName1 to PrintName50, the names offered for
// model k. Sections are counted in file order; the names in them stop at
// the first missing or empty key.
#pragma once

#include <functional>
#include <string>

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

}  // namespace app
