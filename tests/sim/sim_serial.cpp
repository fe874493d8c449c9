#include "sim/sim_serial.h"

#include <algorithm>

namespace sim {

class SimSerialChannel : public platform::SerialChannel {
public:
    explicit SimSerialChannel(SimSerialLines& lines) : lines_(lines) {}
    ~SimSerialChannel() override { Close(); }

    int Open(platform::WindowHandle owner, int portNumber, int baudRate, char parity, int dataBits,
             int stopBits, std::uint32_t eventMask, std::uint32_t writeBufferSize) override {
        Close();
        lines_.opens.push_back(
            {owner, portNumber, baudRate, parity, dataBits, stopBits, eventMask, writeBufferSize});
        bufferSize_ = writeBufferSize;
        baudRate_ = baudRate;
        if (lines_.presentPorts.count(portNumber) == 0) return 0;
        port_ = portNumber;
        ++lines_.openCount_;
        return lines_.setupFailures.count(portNumber) != 0 ? 0 : 1;
    }

    int StartEventThread() override {
        if (port_ == 0 || lines_.threadFailures.count(port_) != 0) return 0;
        if (!listening_) ++lines_.threadStarts;
        listening_ = true;
        return 1;
    }

    bool QueueWrite(const std::uint8_t* bytes, std::size_t count) override {
        if (!listening_ || count > bufferSize_) return false;
        lines_.writes.push_back({port_, std::vector<std::uint8_t>(bytes, bytes + count)});
        const auto reply = lines_.replies.find(port_);
        const auto rate = lines_.replyRates.find(port_);
        // A printer set to another rate hears only noise, and says nothing.
        const bool sameRate = rate == lines_.replyRates.end() || rate->second == baudRate_;
        if (reply != lines_.replies.end() && sameRate) {
            lines_.pending_.push_back({port_, reply->second, this});
        }
        return true;
    }

    void Close() override {
        if (port_ == 0) return;
        // Replies already on their way reach the owner while Close waits.
        if (listening_) lines_.DeliverFrom(this);
        lines_.pending_.erase(
            std::remove_if(lines_.pending_.begin(), lines_.pending_.end(),
                           [this](const SimSerialLines::Pending& p) { return p.channel == this; }),
            lines_.pending_.end());
        port_ = 0;
        listening_ = false;
        --lines_.openCount_;
        ++lines_.closes;
    }

    bool IsOpen() const override { return port_ != 0; }

private:
    SimSerialLines& lines_;
    int port_ = 0;
    bool listening_ = false;
    std::size_t bufferSize_ = 0;
    int baudRate_ = 0;
};

std::unique_ptr<platform::SerialChannel> SimSerialLines::Create() {
    return std::make_unique<SimSerialChannel>(*this);
}

void SimSerialLines::Deliver(int port, const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t byte : bytes) {
        if (onByte) onByte(byte, port);
    }
}

void SimSerialLines::DeliverFrom(const void* channel) {
    std::vector<Pending> now;
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->channel == channel) {
            now.push_back(*it);
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    for (const Pending& p : now) Deliver(p.port, p.bytes);
}

int SimSerialLines::DeliverReplies() {
    std::vector<Pending> now;
    now.swap(pending_);
    int delivered = 0;
    for (const Pending& p : now) {
        Deliver(p.port, p.bytes);
        delivered += static_cast<int>(p.bytes.size());
    }
    return delivered;
}

}  // namespace sim
