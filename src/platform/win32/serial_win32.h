// The serial channel on the real machine: an overlapped COM port handle and
// one event thread that waits for line events, reads what arrives one byte
// at a time and reports each byte to the owner window with a sent message,
// and writes what the owner queued.
//
// Soundness rules the thread and its stoppers keep:
// - whoever waits for the thread (Close, Open, a queued write waiting for
//   a byte on its way) runs the messages sent to its own thread meanwhile,
//   so a report sent to that very thread cannot stall it;
// - waits and writes use separate OVERLAPPED records, so a write never
//   disturbs the pending event wait;
// - an error box has a thread of its own: it stays until the operator
//   closes it, and nobody who stops the channel waits for it;
// - a port whose reads keep failing shows one error box and is no longer
//   read after a few failed attempts;
// - arriving bytes wake the thread through a pending one-byte read, not
//   through EV_RXCHAR: Wine never completes a pending WaitCommEvent when
//   bytes reach a pseudo-terminal (it only reports bytes already waiting
//   when the wait begins), and a quiet line then costs no polling. Each
//   such wake-up counts as a port event: with EV_RXFLAG in the mask, the
//   bytes it read are followed by one event-character report, as the
//   mask, not the bytes, decides (Wine never reports EV_RXFLAG itself).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace win32 {

class SerialPort : public platform::SerialChannel {
public:
    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    int Open(platform::WindowHandle owner, int portNumber, int baudRate, char parity, int dataBits,
             int stopBits, std::uint32_t eventMask, std::uint32_t writeBufferSize) override;
    int StartEventThread() override;
    bool QueueWrite(const std::uint8_t* bytes, std::size_t count) override;
    void Close() override;
    bool IsOpen() const override;

    // What the channel's own tests look at.
    int InputWaiting();  // bytes the driver holds unread; -1 without a port
    HANDLE PortHandle() const { return handle_; }
    bool DeliveryInFlight() const { return delivering_.load(); }
    bool InputAbandoned() const { return inputAbandoned_.load(); }
    bool Running() const { return running_.load(); }

    // Shows an error box (text, caption, style) and returns when it is
    // closed; it runs on a thread of its own. The channel's tests replace it.
    using BoxShower = std::function<void(const std::string&, const char*, UINT)>;
    void SetBoxShower(BoxShower show) { showBox_ = std::move(show); }

    static constexpr int kMaxFailedReads = 3;
    // A wait or read that could not be started is tried again after this.
    static constexpr DWORD kRetryMs = 1000;

protected:
    // SetupComm and SetCommState on the port (the channel's tests see what
    // goes in, which Wine does not report back).
    virtual BOOL SetQueues(DWORD inQueue, DWORD outQueue);
    virtual BOOL SetLine(DCB* dcb);
    // ReadFile on the port (the channel's tests make it fail).
    virtual BOOL ReadPort(void* buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped);
    // The error box for a failed call, with the system's text of GetLastError().
    virtual void ShowPortError(const char* callName);

private:
    struct PortErrorBox {
        BoxShower show;
        std::string text;
    };
    static DWORD WINAPI ThreadEntry(LPVOID self);
    static DWORD WINAPI ShowBoxThread(LPVOID box);
    static void MessageBoxShower(const std::string& text, const char* caption, UINT style);
    DWORD EventThreadMain();
    bool ArmEventWait();
    void HandleEvents(DWORD events);
    void StartRead();
    void FinishRead();
    void DeliverByte(std::uint8_t byte);
    void EndPortEvent();
    void DrainInput();
    bool ReadByte(std::uint8_t& byte, const char*& failedCall);
    void ReadFailed(const char* failedCall);
    void SendQueued();
    void Notify(UINT message, WPARAM wParam);
    void ReportOnce(const char* callName);
    void EndEventWait();
    void StopEventThread();
    void WaitRunningSentMessages(HANDLE handle);
    bool OnOwnerThread() const;
    void CloseEvents();

    mutable CRITICAL_SECTION lock_;
    HWND owner_ = nullptr;
    int portNumber_ = 0;
    DWORD eventMask_ = 0;
    HANDLE handle_ = INVALID_HANDLE_VALUE;

    // Wait set order: shutdown, port event, write queued.
    HANDLE shutdownEvent_ = nullptr;
    HANDLE portEvent_ = nullptr;
    HANDLE writeEvent_ = nullptr;
    HANDLE readEvent_ = nullptr;       // the pending one-byte read
    HANDLE ioEvent_ = nullptr;         // the reads that drain, and writes
    HANDLE startedEvent_ = nullptr;    // the thread listens
    HANDLE deliveredEvent_ = nullptr;  // no report on its way
    OVERLAPPED waitOverlapped_ = {};
    OVERLAPPED readOverlapped_ = {};
    OVERLAPPED ioOverlapped_ = {};
    DWORD events_ = 0;
    std::uint8_t readByte_ = 0;
    bool waitPending_ = false;
    bool readPending_ = false;
    bool mayArm_ = true;
    bool mayRead_ = true;
    bool readPurged_ = false;  // the pending read was aborted by a purge

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    std::atomic<bool> running_{false};
    std::atomic<bool> delivering_{false};
    std::atomic<bool> inputAbandoned_{false};

    // Guarded by lock_: the write buffer and the requests queued and sent.
    std::vector<std::uint8_t> buffer_;
    std::size_t queuedBytes_ = 0;
    unsigned queuedRequests_ = 0;
    unsigned sentRequests_ = 0;

    int failedReads_ = 0;
    bool errorShown_ = false;
    BoxShower showBox_ = MessageBoxShower;
};

class Win32SerialChannels : public platform::SerialChannels {
public:
    std::unique_ptr<platform::SerialChannel> Create() override;
};

}  // namespace win32
