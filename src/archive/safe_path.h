// Turns a ZIP entry name into a relative path that cannot leave the
// destination folder, or rejects it.
#pragma once

#include <string>

namespace archive {

// On success returns true and stores the normalized path (components joined
// by '/', no leading/trailing separator, "." and empty components dropped)
// and whether the name denotes a folder (ends with '/' or '\\').
// Rejects: empty names, control characters (incl. NUL), absolute paths,
// drive letters and any ':' (alternate data streams), ".." components,
// components made only of dots/blanks (Windows trims those to ".."-like
// names), DOS device names (CON, NUL, COM1, ...), and a first component
// that is one of Windows' own top-level folders (Windows, Program Files,
// ProgramData, Users, ...), in any case and by 8.3 alias.
// On failure *reason says why.
bool NormalizeEntryName(const std::string& name, std::string* normalized, bool* isDirectory,
                        std::string* reason);

}  // namespace archive
