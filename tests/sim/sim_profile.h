// Reads initialisation files from SimFiles with the buffer rules of
// GetPrivateProfileSectionNamesA and GetPrivateProfileStringA, cuts and
// return values included, because the driver-name scan walks the raw buffer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "sim/sim_calls.h"
#include "sim/sim_files.h"

namespace sim {

class SimProfileReader : public platform::ProfileReader {
public:
    explicit SimProfileReader(SimFiles& files) : files_(files) {}

    std::uint32_t GetPrivateProfileSectionNamesA(char* buffer, std::uint32_t size,
                                                 const std::string& fileName) override;
    std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                           const char* defaultValue, char* buffer,
                                           std::uint32_t size,
                                           const std::string& fileName) override;

    // Whether GetPrivateProfileStringA was ever asked for `key` (any section).
    bool WasAsked(const std::string& key) const;

    // Every (section, key) asked for, in order.
    std::vector<std::pair<std::string, std::string>> asked;
    FailurePlan failures;  // a failed call returns 0 with an empty buffer
    std::vector<std::string> calls;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    static std::vector<Section> Parse(const std::string& text);
    // Parse, remembering the last file: a scan reads one file many times.
    const std::vector<Section>& Parsed(const std::string& text);

    SimFiles& files_;
    std::string parsedText_;
    std::vector<Section> parsed_;
    std::map<std::string, std::size_t> firstSection_;  // upper-case name -> first such section
    bool hasParsed_ = false;
};

}  // namespace sim
