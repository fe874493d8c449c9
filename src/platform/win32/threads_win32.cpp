// Threads on CreateThread. No exception may leave a thread's entry point, so
// the body runs inside a catch-all; the thread object owns its handle.
#include "platform/win32/threads_win32.h"

#include <windows.h>

namespace win32 {
namespace {

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_) ::CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    try {
        (*body)();
    } catch (...) {}
    return 0;
}

// Closing the handle without joining leaves the thread running, as with CreateThread.
class Win32Thread : public platform::Thread {
public:
    explicit Win32Thread(HANDLE handle) : handle_(handle) {}
    void Join() override { ::WaitForSingleObject(handle_.get(), INFINITE); }

private:
    OwnedHandle handle_;
};

}  // namespace

Win32Threads::Win32Threads() {
    ::InitializeCriticalSection(&tickLock_);
}

Win32Threads::~Win32Threads() {
    ::DeleteCriticalSection(&tickLock_);
}

std::unique_ptr<platform::Thread> Win32Threads::Start(std::function<void()> body) {
    auto* parameter = new std::function<void()>(std::move(body));
    HANDLE handle = ::CreateThread(nullptr, 0, ThreadEntry, parameter, 0, nullptr);
    if (!handle) {
        delete parameter;
        return nullptr;
    }
    return std::make_unique<Win32Thread>(handle);
}

void Win32Threads::Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

// GetTickCount64 exists from Vista on; importing it would stop the program
// from starting on XP. Older systems get the 32-bit count, widened here so
// that a wait spanning its wrap after 49.7 days still measures correctly.
std::uint64_t Win32Threads::TickCount() {
    using TickCount64 = ULONGLONG(WINAPI*)();
    static const auto tickCount64 = reinterpret_cast<TickCount64>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32"), "GetTickCount64")));
    if (tickCount64 != nullptr) return tickCount64();

    ::EnterCriticalSection(&tickLock_);
    const DWORD now = ::GetTickCount();
    if (now < lastTick_) tickHigh_ += 1ull << 32;
    lastTick_ = now;
    const std::uint64_t ticks = tickHigh_ + now;
    ::LeaveCriticalSection(&tickLock_);
    return ticks;
}

}  // namespace win32
