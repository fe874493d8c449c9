// Threads, pauses and the tick count of the real machine.
#pragma once

#include "platform/threads.h"

namespace win32 {

class Win32Threads : public platform::Threads {
public:
    std::unique_ptr<platform::Thread> Start(std::function<void()> body) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t TickCount() override;
};

}  // namespace win32
