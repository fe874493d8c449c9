// Threads, pauses and the tick count of the real machine.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/threads.h"

namespace win32 {

class Win32Threads : public platform::Threads {
public:
    Win32Threads();
    ~Win32Threads() override;
    Win32Threads(const Win32Threads&) = delete;
    Win32Threads& operator=(const Win32Threads&) = delete;

    std::unique_ptr<platform::Thread> Start(std::function<void()> body) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t TickCount() override;

private:
    CRITICAL_SECTION tickLock_;
    std::uint32_t lastTick_ = 0;
    std::uint64_t tickHigh_ = 0;
};

}  // namespace win32
