#include "safe_path.h"
#include "ascii.h"

#include <cctype>
#include <cstring>

namespace archive {
namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Windows opens devices instead of files for these base names, whatever the
// extension ("nul.txt" is still NUL).
bool IsDosDeviceName(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* n : kNames) {
        if (base == n) return true;
    }
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
        base[3] >= '0' && base[3] <= '9') {
        return true;
    }
    return false;
}

// Windows' own top-level folders of a drive: the package is unpacked into the
// root of drive C by an elevated installer, so an entry under one of these
// would overwrite the system. Compared as Windows resolves the name: without
// regard to case, trailing dots and blanks dropped, and by 8.3 alias
// ("PROGRA~1") as well.
bool IsSystemFolder(const std::string& component) {
    std::string name = component;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    name = AsciiUpper(name);
    static const char* const kFolders[] = {
        "Windows",     "Program Files", "Program Files (x86)",
        "ProgramData", "Users",         "System Volume Information",
        "$Recycle.Bin"};
    for (const char* folder : kFolders) {
        const std::string full = AsciiUpper(folder);
        if (name == full) return true;
        std::string stem;
        for (char c : full) {
            if (c != ' ' && c != '.' && stem.size() < 6) stem.push_back(c);
        }
        stem.push_back('~');
        if (name.size() > stem.size() && name.compare(0, stem.size(), stem) == 0 &&
            name.find_first_not_of("0123456789", stem.size()) == std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool NormalizeEntryName(const std::string& name, std::string* normalized, bool* isDirectory,
                        std::string* reason) {
    normalized->clear();
    *isDirectory = false;
    if (name.empty()) {
        *reason = "empty name";
        return false;
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            *reason = "control character in name";
            return false;
        }
        if (c == ':') {
            *reason = "drive letter or stream name (':')";
            return false;
        }
    }
    if (IsSeparator(name[0])) {
        *reason = "absolute path";
        return false;
    }
    *isDirectory = IsSeparator(name.back());

    size_t pos = 0;
    while (pos <= name.size()) {
        size_t end = pos;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        std::string component = name.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty() || component == ".") continue;
        if (component.find_first_not_of(". ") == std::string::npos) {
            *reason = "parent-folder component ('" + component + "')";
            return false;
        }
        if (IsDosDeviceName(component)) {
            *reason = "device name ('" + component + "')";
            return false;
        }
        if (normalized->empty() && IsSystemFolder(component)) {
            *reason = "Windows system folder ('" + component + "')";
            return false;
        }
        if (!normalized->empty()) normalized->push_back('/');
        normalized->append(component);
    }
    if (normalized->empty()) {
        // "./" or "//" style names: a folder entry for the destination itself is
        // harmless, a file with no name is not extractable.
        if (*isDirectory) return true;
        *reason = "name has no file component";
        return false;
    }
    return true;
}

}  // namespace archive
