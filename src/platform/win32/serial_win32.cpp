// Until the overlapped channel is in place no port opens, so a search
// passes every port and leaves the printer where it was made.
#include "platform/win32/serial_win32.h"

namespace win32 {
namespace {

class ClosedChannel : public platform::SerialChannel {
public:
    int Open(platform::WindowHandle, int, int, char, int, int, std::uint32_t, std::uint32_t) override {
        return 0;
    }
    int StartEventThread() override { return 0; }
    bool QueueWrite(const std::uint8_t*, std::size_t) override { return false; }
    void Close() override {}
    bool IsOpen() const override { return false; }
};

}  // namespace

std::unique_ptr<platform::SerialChannel> Win32SerialChannels::Create() {
    return std::make_unique<ClosedChannel>();
}

}  // namespace win32
