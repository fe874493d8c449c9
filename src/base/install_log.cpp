#include "base/install_log.h"

#include <cstdio>

namespace app {

std::string InstallLog::Escape(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string InstallLog::Timestamp(const platform::LocalTime& t) {
    char buffer[96];
    std::snprintf(buffer, sizeof(buffer), "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
    return buffer;
}

void InstallLog::Write(const std::string& text) {
    const std::string line = Timestamp(clock_.Now()) + "  " + Escape(text) + "\r\n";
    for (platform::TextOutput* output : outputs_) output->Write(line);
}

}  // namespace app
