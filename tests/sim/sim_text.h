// Text helpers for the simulator: Windows compares names of files, keys,
// services, ports and printers without regard to case.
#pragma once

#include <string>
#include <vector>

namespace sim {

std::string Upper(const std::string& text);
bool EqualsNoCase(const std::string& a, const std::string& b);
std::string Trim(const std::string& text);
// Splits on '\\' and '/', dropping empty parts (Windows reads "a//b" as "a\\b").
std::vector<std::string> SplitPath(const std::string& path);
std::string Hex(unsigned long long value);

}  // namespace sim
