// The real archive engine behind the simulated "7-zip32.dll": SevenZip runs
// its command line as the DLL does, reading the package from the simulated
// disk and writing into it, and its message goes into the output buffer.
// Installer tests then see what a real package, good or hostile, does.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/sim_files.h"
#include "sim/sim_libraries.h"

namespace sim {

// Registers "7-zip32.dll" on `libraries` and routes its SevenZip calls to the
// engine. `freeBytes` is what the destination's drive reports as free;
// unset, the engine cannot know and makes no room check.
void UseRealArchiveEngine(SimLibraries& libraries, SimFiles& files,
                          std::optional<std::uint64_t> freeBytes = std::nullopt);

}  // namespace sim
