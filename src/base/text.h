// Small text helpers the installer shares. Names of ports, printers and
// switches are compared in ASCII: the code page's other letters keep their
// case, as Windows' own case-blind comparison of these names does for them.
#pragma once

#include <string>

namespace text {

inline std::string Lower(std::string value) {
    for (char& c : value) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return value;
}

inline std::string Upper(std::string value) {
    for (char& c : value) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return value;
}

// Exact, case-sensitive prefix test.
inline bool StartsWith(const std::string& value, const std::string& prefix) {
    return value.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace text
