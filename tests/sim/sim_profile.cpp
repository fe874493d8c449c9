#include "sim/sim_profile.h"

#include <cstring>
#include <sstream>

#include "sim/sim_text.h"

namespace sim {
namespace {

// A value in matching quotes loses them, as Windows does.
std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Copies `text` with its NUL, cut to size - 1 characters when it does not fit.
std::uint32_t CopyString(const std::string& text, char* buffer, std::uint32_t size) {
    std::uint32_t length = static_cast<std::uint32_t>(text.size());
    if (length >= size) length = size - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

}  // namespace

std::vector<SimProfileReader::Section> SimProfileReader::Parse(const std::string& text) {
    std::vector<Section> sections;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            auto close = line.find(']');
            std::string name =
                Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            sections.push_back({name, {}});
            continue;
        }
        if (sections.empty()) continue;  // keys before the first section belong to none
        auto equals = line.find('=');
        std::string key = Trim(line.substr(0, equals));
        std::string value = equals == std::string::npos ? "" : Trim(line.substr(equals + 1));
        sections.back().entries.push_back({key, Unquote(value)});
    }
    return sections;
}

const std::vector<SimProfileReader::Section>& SimProfileReader::Parsed(const std::string& text) {
    if (!hasParsed_ || text != parsedText_) {
        parsed_ = Parse(text);
        parsedText_ = text;
        firstSection_.clear();
        for (std::size_t i = 0; i < parsed_.size(); ++i)
            firstSection_.emplace(Upper(parsed_[i].name), i);
        hasParsed_ = true;
    }
    return parsed_;
}

std::uint32_t SimProfileReader::GetPrivateProfileSectionNamesA(char* buffer, std::uint32_t size,
                                                               const std::string& fileName) {
    calls.push_back(FormatCall("GetPrivateProfileSectionNamesA", {std::to_string(size), fileName}));
    if (size == 0) return 0;
    buffer[0] = '\0';
    if (size >= 2) buffer[1] = '\0';
    if (failures.Check("GetPrivateProfileSectionNamesA")) return 0;
    const std::string* text = files_.Content(fileName);
    if (!text || size == 1) return 0;

    // Room for the names, keeping one byte for the list's final NUL.
    std::uint32_t room = size - 1;
    char* out = buffer;
    for (const auto& section : Parsed(*text)) {
        if (section.name.empty()) continue;
        std::uint32_t needed = static_cast<std::uint32_t>(section.name.size() + 1);
        if (needed >= room) {
            // Cut inside this name; the list still ends with two NULs.
            if (room > 0) {
                std::memcpy(out, section.name.data(), room - 1);
                out += room - 1;
                *out++ = '\0';
            }
            *out = '\0';
            return size - 2;
        }
        std::memcpy(out, section.name.c_str(), needed);
        out += needed;
        room -= needed;
    }
    *out = '\0';
    return static_cast<std::uint32_t>(out - buffer);
}

std::uint32_t SimProfileReader::GetPrivateProfileStringA(const std::string& section,
                                                         const std::string& key,
                                                         const char* defaultValue, char* buffer,
                                                         std::uint32_t size,
                                                         const std::string& fileName) {
    calls.push_back(FormatCall(
        "GetPrivateProfileStringA",
        {section, key, defaultValue ? defaultValue : "(null)", std::to_string(size), fileName}));
    asked.push_back({section, key});
    if (size == 0) return 0;
    if (failures.Check("GetPrivateProfileStringA")) {
        buffer[0] = '\0';
        return 0;
    }
    std::string result = defaultValue ? defaultValue : "";
    if (const std::string* text = files_.Content(fileName)) {
        // With duplicate sections or keys the first one answers.
        const auto& sections = Parsed(*text);
        auto first = firstSection_.find(Upper(section));
        if (first != firstSection_.end()) {
            for (const auto& [name, value] : sections[first->second].entries) {
                if (EqualsNoCase(name, key)) {
                    result = value;
                    break;
                }
            }
        }
    }
    return CopyString(result, buffer, size);
}

bool SimProfileReader::WasAsked(const std::string& key) const {
    for (const auto& [section, askedKey] : asked) {
        if (EqualsNoCase(askedKey, key)) return true;
    }
    return false;
}

}  // namespace sim
