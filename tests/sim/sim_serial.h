// Serial lines, simulated: which COM numbers exist, what a printer on a
// port answers, and every open, write and close. Replies are not delivered
// when the request is written but when the test lets the window system run
// (DeliverReplies), or at once by Deliver for a late or unsolicited byte.
// Closing a channel with replies still on their way delivers them first,
// as the real channel does while it waits for its thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace sim {

struct SerialOpen {
    platform::WindowHandle owner = 0;
    int port = 0;
    int baudRate = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
    std::uint32_t eventMask = 0;
    std::uint32_t writeBufferSize = 0;
};

struct SerialWrite {
    int port = 0;
    std::vector<std::uint8_t> bytes;
};

class SimSerialLines : public platform::SerialChannels {
public:
    std::unique_ptr<platform::SerialChannel> Create() override;

    // Test side: the machine's ports and printers.
    std::set<int> presentPorts;                        // COM numbers that open
    std::set<int> setupFailures;                       // open, but a line setting fails
    std::set<int> threadFailures;                      // the event thread cannot start
    std::map<int, std::vector<std::uint8_t>> replies;  // what a write on the port gets back
    std::map<int, int> replyRates;  // the only rate a port's printer answers at (unset: any)

    // The owner window's handler of kMsgByteReceived (the dialog's).
    std::function<long(std::uintptr_t, std::intptr_t)> onByte;

    // Delivers every reply on its way from a port still listening; returns
    // the bytes delivered.
    int DeliverReplies();
    // A byte from `port` reaches the owner now, whatever was asked.
    void Deliver(int port, const std::vector<std::uint8_t>& bytes);

    std::vector<SerialOpen> opens;
    std::vector<SerialWrite> writes;
    int closes = 0;
    int threadStarts = 0;
    // Channels holding a port right now.
    int OpenCount() const { return openCount_; }

private:
    friend class SimSerialChannel;
    struct Pending {
        int port = 0;
        std::vector<std::uint8_t> bytes;
        const void* channel = nullptr;
    };
    void DeliverFrom(const void* channel);

    std::vector<Pending> pending_;
    int openCount_ = 0;
};

}  // namespace sim
