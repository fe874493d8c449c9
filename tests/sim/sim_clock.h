// Simulated time in milliseconds. It moves only when something sleeps, so a
// wait and its bound come out the same on every run.
#pragma once

#include <atomic>
#include <cstdint>

namespace sim {

class SimClock {
public:
    std::uint64_t Now() const { return now_.load(); }
    void Advance(std::uint64_t milliseconds) { now_ += milliseconds; }

private:
    // Atomic because real threads (SimThreads' Real mode) may sleep too.
    std::atomic<std::uint64_t> now_{0};
};

}  // namespace sim
