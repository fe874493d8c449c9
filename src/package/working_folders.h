// The working folders c:\Ticket and c:\Barcode and the driver-name list
// c:\DriverName.cfg sit at the root of the system drive, where every user
// may create folders and files. The program runs as an administrator, so
// whatever stands at those names before it starts is hostile: a link there
// would make it unpack into, or delete, whatever the link leads to, and a
// folder a user made would let that user swap driver files before the
// spooler loads them. So, before unpacking, what stands there is removed
// without following any link, and the three items are made anew with an
// access list that admits only administrators and the system; and nothing
// that deletes a tree ever enters a link.
#pragma once

#include <functional>
#include <string>

#include "platform/files.h"

namespace package {

constexpr const char* kTicketFolder = "c:\\Ticket";
constexpr const char* kBarcodeFolder = "c:\\Barcode";
constexpr const char* kDriverListFile = "c:\\DriverName.cfg";

// Removes `path` with everything below it. A link, wherever it stands, is
// removed as a link and never entered. False when something stays.
bool RemoveTree(platform::Files& files, const std::string& path);

struct PreparedFolders {
    bool ready = false;
    // What stopped the preparation, naming the item; empty when ready.
    std::string problem;
};

// Clears the three names and makes them anew, protected. `note` hears of
// every link found and removed. Stops at the first item that cannot be
// cleared or made, before anything is unpacked.
PreparedFolders PrepareWorkingFolders(platform::Files& files,
                                      const std::function<void(const std::string&)>& note);

}  // namespace package
