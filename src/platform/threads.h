// Threads, pauses and a millisecond clock. The simulator's clock moves only
// when something sleeps, so waits and their bounds are deterministic in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class Thread {
public:
    virtual ~Thread() = default;
    // Waits until the thread's body has returned.
    virtual void Join() = 0;
};

class Threads {
public:
    virtual ~Threads() = default;
    // Null when the thread could not be created.
    virtual std::unique_ptr<Thread> Start(std::function<void()> body) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    virtual std::uint64_t TickCount() = 0;
};

}  // namespace platform
