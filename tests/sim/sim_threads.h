// Threads and pauses for unit tests. By default a thread's body runs inside
// Start, so the logic's threaded code reads as plain sequential code in a
// test; Deferred lets a test choose when it runs, Real runs it on a real
// thread for the few tests that need two threads at once.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/threads.h"
#include "sim/sim_calls.h"
#include "sim/sim_clock.h"

namespace sim {

enum class StartMode { Immediate, Deferred, Real };

class SimThreads : public platform::Threads {
public:
    explicit SimThreads(SimClock& clock) : clock_(clock) {}

    std::unique_ptr<platform::Thread> Start(std::function<void()> body) override;
    // Advances the clock; never blocks.
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t TickCount() override { return clock_.Now(); }

    // Deferred mode: runs the queued bodies in start order; returns how many ran.
    int RunPending();
    int PendingCount() const;

    int SleepCount() const;
    std::uint64_t TotalSleptMs() const;
    std::vector<std::uint32_t> Sleeps() const;

    StartMode mode = StartMode::Immediate;
    bool failStart = false;          // Start returns null, like a failed CreateThread
    int startCount = 0;              // successful starts
    FailurePlan failures;            // "Start" (the error is not visible through the interface)
    std::vector<std::string> calls;  // "Start()" only; sleeps are counted, not logged

    // A queued body, shared by the queue and the Thread handed out.
    struct Job {
        std::function<void()> body;
        bool done = false;
    };

private:
    SimClock& clock_;
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> sleeps_;
    std::deque<std::shared_ptr<Job>> pending_;
};

}  // namespace sim
