// Where an unattended run reports: the console of whoever started it, a log
// file, and the local time its entries carry.
#pragma once

#include <string>

namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class LocalClock {
public:
    virtual ~LocalClock() = default;
    virtual LocalTime Now() = 0;
};

// Text written as it is, bytes in the system code page; a failed write is
// not reported (there is nowhere left to report it).
class TextOutput {
public:
    virtual ~TextOutput() = default;
    virtual void Write(const std::string& text) = 0;
};

}  // namespace platform
