// The log of an unattended run: every status line, message box, answer and
// outcome, one entry a line, each with its local time. The same entries go
// to every output (the log file, the caller's console).
//
// Entries come from the dialog thread, or from the start-up worker while
// the dialog thread waits for it (the same ordering the dialog relies on),
// so they never interleave and need no lock.
#pragma once

#include <string>
#include <vector>

#include "platform/text_output.h"

namespace app {

class InstallLog {
public:
    explicit InstallLog(platform::LocalClock& clock) : clock_(clock) {}

    void AddOutput(platform::TextOutput& output) { outputs_.push_back(&output); }
    // "2024-03-05 14:07:09.042  <text>" and a line end. Line breaks inside
    // the text are written as \r and \n, so that an entry stays one line.
    void Write(const std::string& text);

    platform::LocalTime Now() { return clock_.Now(); }

    static std::string Escape(const std::string& text);
    static std::string Timestamp(const platform::LocalTime& time);

private:
    platform::LocalClock& clock_;
    std::vector<platform::TextOutput*> outputs_;
};

}  // namespace app
