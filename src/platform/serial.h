// A serial line as the serial port search uses it: opened with its line
// settings, an event thread that tells the owner window about each byte
// received, and writes queued for that thread. The Win32 adapter runs the
// thread and the overlapped I/O; the logic only opens, writes and closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/types.h"

namespace platform {

namespace serial {
// Line events a channel can watch (the Win32 EV_ bits).
constexpr std::uint32_t kEvRxChar = 0x0001;
constexpr std::uint32_t kEvRxFlag = 0x0002;
constexpr std::uint32_t kEvCts = 0x0008;
constexpr std::uint32_t kEvBreak = 0x0040;
constexpr std::uint32_t kEvErr = 0x0080;
constexpr std::uint32_t kEvRing = 0x0100;

// Messages a channel sends its owner window (WM_USER + n); lParam is always
// the port number, wParam the byte for kMsgByteReceived and 0 otherwise.
constexpr std::uint32_t kMsgBreak = 0x0401;
constexpr std::uint32_t kMsgCts = 0x0402;
constexpr std::uint32_t kMsgError = 0x0404;
constexpr std::uint32_t kMsgRing = 0x0405;
constexpr std::uint32_t kMsgByteReceived = 0x0407;
constexpr std::uint32_t kMsgEventChar = 0x0408;

// The character whose arrival is reported as kMsgEventChar.
constexpr char kEventChar = 'q';
}  // namespace serial

class SerialChannel {
public:
    virtual ~SerialChannel() = default;

    // Opens "\\.\COM<portNumber>" and sets the line up; 1 when every step
    // worked, 0 otherwise (nothing is shown). A handle that opened stays
    // held after a later step failed: IsOpen() tells, Close() lets it go.
    virtual int Open(WindowHandle owner, int portNumber, int baudRate, char parity, int dataBits,
                     int stopBits, std::uint32_t eventMask, std::uint32_t writeBufferSize) = 0;
    // Starts listening; input that arrived before is discarded. 1 or 0.
    virtual int StartEventThread() = 0;
    // Hands bytes to the event thread, which discards unread input and then
    // writes them: nothing read before this call is reported after it.
    // False, with nothing queued, when the channel is not listening or the
    // bytes do not fit the write buffer.
    virtual bool QueueWrite(const std::uint8_t* bytes, std::size_t count) = 0;
    // Stops the thread and lets the port go; harmless when nothing is open.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

class SerialChannels {
public:
    virtual ~SerialChannels() = default;
    virtual std::unique_ptr<SerialChannel> Create() = 0;
};

}  // namespace platform
