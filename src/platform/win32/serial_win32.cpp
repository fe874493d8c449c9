#include "platform/win32/serial_win32.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace win32 {
namespace {

namespace serial = platform::serial;

constexpr DWORD kQueueSize = 2048;
constexpr DWORD kTimeoutMs = 1000;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr DWORD kEndWaitMs = 1000;
// Immediate completions with nothing to do before the wait is left to the poll.
constexpr int kMaxIdleCompletions = 2;

class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) {
        ::EnterCriticalSection(&section_);
    }
    ~Lock() { ::LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

HANDLE ManualResetEvent() {
    return ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

void CloseEvent(HANDLE& event) {
    if (event != nullptr) ::CloseHandle(event);
    event = nullptr;
}

std::string SystemText(DWORD error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text),
        0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) ::LocalFree(text);
    return result;
}

}  // namespace

SerialPort::SerialPort() {
    ::InitializeCriticalSection(&lock_);
}

SerialPort::~SerialPort() {
    Close();
    ::DeleteCriticalSection(&lock_);
}

bool SerialPort::IsOpen() const {
    Lock lock(lock_);
    return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr;
}

int SerialPort::Open(platform::WindowHandle owner, int portNumber, int baudRate, char parity,
                     int dataBits, int stopBits, std::uint32_t eventMask,
                     std::uint32_t writeBufferSize) {
    StopEventThread();
    CloseEvents();
    shutdownEvent_ = ManualResetEvent();
    portEvent_ = ManualResetEvent();
    writeEvent_ = ManualResetEvent();
    ioEvent_ = ManualResetEvent();
    readEvent_ = ManualResetEvent();
    startedEvent_ = ManualResetEvent();
    deliveredEvent_ = ManualResetEvent();

    owner_ = reinterpret_cast<HWND>(owner);
    portNumber_ = portNumber;
    eventMask_ = eventMask;
    failedReads_ = 0;
    errorShown_ = false;
    inputAbandoned_ = false;
    waitPending_ = false;
    readPending_ = false;
    readPurged_ = false;
    mayArm_ = true;
    mayRead_ = true;
    {
        Lock lock(lock_);
        buffer_.assign(writeBufferSize, 0);
        queuedBytes_ = 0;
        queuedRequests_ = sentRequests_ = 0;
        if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) ::CloseHandle(handle_);
        char name[32];
        std::snprintf(name, sizeof(name), "\\\\.\\COM%d", portNumber);
        handle_ = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    }
    if (shutdownEvent_ == nullptr || portEvent_ == nullptr || writeEvent_ == nullptr ||
        ioEvent_ == nullptr || readEvent_ == nullptr || startedEvent_ == nullptr ||
        deliveredEvent_ == nullptr) {
        return 0;
    }
    ::SetEvent(deliveredEvent_);
    if (!IsOpen()) return 0;

    if (!SetQueues(kQueueSize, kQueueSize)) return 0;
    COMMTIMEOUTS timeouts = {kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs};
    if (!::SetCommTimeouts(handle_, &timeouts)) return 0;
    if (!::SetCommMask(handle_, eventMask)) return 0;
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    if (!::GetCommState(handle_, &dcb)) return 0;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.EvtChar = serial::kEventChar;
    char settings[64];
    std::snprintf(settings, sizeof(settings), "baud=%d parity=%c data=%d stop=%d", baudRate, parity,
                  dataBits, stopBits);
    if (!::BuildCommDCBA(settings, &dcb)) return 0;
    if (!SetLine(&dcb)) return 0;
    // Emptying the queues is housekeeping: the line is set up either way.
    (void)::PurgeComm(handle_, kPurgeAll);
    return 1;
}

int SerialPort::StartEventThread() {
    if (!IsOpen() || startedEvent_ == nullptr) return 0;
    if (thread_ != nullptr) return running_ ? 1 : 0;
    ::ResetEvent(shutdownEvent_);
    ::ResetEvent(startedEvent_);
    thread_ = ::CreateThread(nullptr, 0, ThreadEntry, this, 0, &threadId_);
    if (thread_ == nullptr) return 0;
    // Back once the thread listens: what arrives from now on is reported.
    HANDLE either[2] = {startedEvent_, thread_};
    ::WaitForMultipleObjects(2, either, FALSE, INFINITE);
    return running_ ? 1 : 0;
}

bool SerialPort::QueueWrite(const std::uint8_t* bytes, std::size_t count) {
    if (!running_ || bytes == nullptr || count == 0) return false;
    bool reportOnItsWay = false;
    {
        Lock lock(lock_);
        if (count > buffer_.size() - queuedBytes_) return false;
        std::copy(bytes, bytes + count,
                  buffer_.begin() + static_cast<std::ptrdiff_t>(queuedBytes_));
        queuedBytes_ += count;
        ++queuedRequests_;
        reportOnItsWay = delivering_.load();
    }
    // A byte read before this request may be on its way to this very
    // thread: let it arrive now, so that nothing reported after this call
    // was read before the request went out.
    if (reportOnItsWay && OnOwnerThread()) WaitRunningSentMessages(deliveredEvent_);
    ::SetEvent(writeEvent_);
    return true;
}

void SerialPort::Close() {
    StopEventThread();
    {
        Lock lock(lock_);
        if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        queuedBytes_ = 0;
    }
    CloseEvents();
}

int SerialPort::InputWaiting() {
    Lock lock(lock_);
    if (handle_ == INVALID_HANDLE_VALUE || handle_ == nullptr) return -1;
    COMSTAT status = {};
    DWORD errors = 0;
    if (!::ClearCommError(handle_, &errors, &status)) return -1;
    return static_cast<int>(status.cbInQue);
}

DWORD WINAPI SerialPort::ThreadEntry(LPVOID self) {
    return static_cast<SerialPort*>(self)->EventThreadMain();
}

DWORD SerialPort::EventThreadMain() {
    running_ = true;
    // Whatever arrived before anyone listened is not an answer.
    ::PurgeComm(handle_, kPurgeAll);
    ::SetEvent(startedEvent_);

    HANDLE waitSet[4] = {shutdownEvent_, portEvent_, writeEvent_, readEvent_};
    int idleCompletions = 0;
    for (;;) {
        if (!waitPending_ && mayArm_) {
            if (ArmEventWait()) {
                // Completed at once: handled now, the next wait follows.
                HandleEvents(events_);
                idleCompletions = (events_ & ~serial::kEvRxChar) == 0 ? idleCompletions + 1 : 0;
                if (idleCompletions >= kMaxIdleCompletions) mayArm_ = false;
            } else if (!waitPending_) {
                mayArm_ = false;  // the wait failed: tried again later
            }
        }
        const bool reading = (eventMask_ & serial::kEvRxChar) != 0;
        // A read done at once is followed by the next, until one waits;
        // a stop or a request to send goes first.
        while (reading && !readPending_ && mayRead_ && !inputAbandoned_ &&
               ::WaitForSingleObject(shutdownEvent_, 0) != WAIT_OBJECT_0 &&
               ::WaitForSingleObject(writeEvent_, 0) != WAIT_OBJECT_0) {
            StartRead();
        }
        // Only something that could not be started needs a timeout.
        const bool paused = (!waitPending_ && !mayArm_) ||
                            (reading && !readPending_ && !mayRead_ && !inputAbandoned_);
        switch (::WaitForMultipleObjects(4, waitSet, FALSE, paused ? kRetryMs : INFINITE)) {
            case WAIT_OBJECT_0:
                EndEventWait();
                {
                    Lock lock(lock_);
                    ::CloseHandle(handle_);
                    handle_ = INVALID_HANDLE_VALUE;
                }
                running_ = false;
                return 100;
            case WAIT_OBJECT_0 + 1: {
                ::ResetEvent(portEvent_);
                if (!waitPending_) break;
                waitPending_ = false;
                DWORD transferred = 0;
                mayArm_ =
                    ::GetOverlappedResult(handle_, &waitOverlapped_, &transferred, FALSE) != FALSE;
                if (mayArm_) HandleEvents(events_);
                break;
            }
            case WAIT_OBJECT_0 + 2: SendQueued(); break;
            case WAIT_OBJECT_0 + 3: FinishRead(); break;
            case WAIT_TIMEOUT:
                mayArm_ = true;
                mayRead_ = true;
                idleCompletions = 0;
                break;
            default:
                // The wait itself failed: nothing sensible can follow.
                EndEventWait();
                running_ = false;
                return 0;
        }
    }
}

// Starts WaitCommEvent; true when it completed at once.
bool SerialPort::ArmEventWait() {
    events_ = 0;
    waitOverlapped_ = {};
    waitOverlapped_.hEvent = portEvent_;
    if (::WaitCommEvent(handle_, &events_, &waitOverlapped_)) {
        ::ResetEvent(portEvent_);
        return true;
    }
    waitPending_ = ::GetLastError() == ERROR_IO_PENDING;
    return false;
}

// Bytes are not taken here: the pending read gets them (EV_RXCHAR only
// says what that read learns anyway).
void SerialPort::HandleEvents(DWORD events) {
    if (events & serial::kEvCts) Notify(serial::kMsgCts, 0);
    if (events & serial::kEvBreak) Notify(serial::kMsgBreak, 0);
    if (events & serial::kEvErr) Notify(serial::kMsgError, 0);
    if (events & serial::kEvRing) Notify(serial::kMsgRing, 0);
    // With bytes watched, the event character is recognised as it is read.
    if ((events & serial::kEvRxFlag) && !(eventMask_ & serial::kEvRxChar)) {
        Notify(serial::kMsgEventChar, 0);
    }
}

// Starts the one-byte read whose completion says that bytes arrived.
void SerialPort::StartRead() {
    readOverlapped_ = {};
    readOverlapped_.hEvent = readEvent_;
    DWORD read = 0;
    if (ReadPort(&readByte_, 1, &read, &readOverlapped_)) {
        // Done at once: taken now; an empty read is left to the retry.
        ::ResetEvent(readEvent_);
        if (read == 1) {
            failedReads_ = 0;
            DeliverByte(readByte_);
            DrainInput();
            EndPortEvent();
        } else {
            mayRead_ = false;
        }
        return;
    }
    if (::GetLastError() == ERROR_IO_PENDING) {
        readPending_ = true;
        return;
    }
    ReadFailed("ReadFile()");
}

void SerialPort::FinishRead() {
    ::ResetEvent(readEvent_);
    if (!readPending_) return;
    readPending_ = false;
    DWORD read = 0;
    if (::GetOverlappedResult(handle_, &readOverlapped_, &read, FALSE)) {
        // Nothing read: the read timed out on a quiet line; the next follows.
        if (read == 1) {
            failedReads_ = 0;
            DeliverByte(readByte_);
            DrainInput();
            EndPortEvent();
        }
        return;
    }
    if (::GetLastError() == ERROR_OPERATION_ABORTED && readPurged_) {
        readPurged_ = false;  // the purge before a write ended it
        return;
    }
    ReadFailed("GetOverlappedResults() in ReadFile()");
}

void SerialPort::DeliverByte(std::uint8_t byte) {
    {
        Lock lock(lock_);
        // A request is queued but not yet sent: this byte came before it,
        // and the purge before the write would have dropped it.
        if (queuedRequests_ != sentRequests_) return;
    }
    Notify(serial::kMsgByteReceived, byte);
}

// Bytes arrived and were read: with EV_RXFLAG watched, the owner hears of
// the event character after every such event, whichever bytes came (the
// mask decides, not the bytes; Wine never reports EV_RXFLAG itself).
void SerialPort::EndPortEvent() {
    if (eventMask_ & serial::kEvRxFlag) Notify(serial::kMsgEventChar, 0);
}

// Reads and reports what else waits, one byte at a time.
void SerialPort::DrainInput() {
    for (;;) {
        if (inputAbandoned_) return;
        // A line that never falls silent must not keep the thread from
        // stopping, nor from sending a request (what follows it is stale).
        if (::WaitForSingleObject(shutdownEvent_, 0) == WAIT_OBJECT_0) return;
        if (::WaitForSingleObject(writeEvent_, 0) == WAIT_OBJECT_0) return;
        COMSTAT status = {};
        DWORD errors = 0;
        if (!::ClearCommError(handle_, &errors, &status) || status.cbInQue == 0) return;
        std::uint8_t byte = 0;
        const char* failedCall = nullptr;
        if (!ReadByte(byte, failedCall)) {
            ReadFailed(failedCall);
            return;
        }
        failedReads_ = 0;
        DeliverByte(byte);
    }
}

BOOL SerialPort::SetQueues(DWORD inQueue, DWORD outQueue) {
    return ::SetupComm(handle_, inQueue, outQueue);
}

BOOL SerialPort::SetLine(DCB* dcb) {
    return ::SetCommState(handle_, dcb);
}

BOOL SerialPort::ReadPort(void* buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped) {
    return ::ReadFile(handle_, buffer, size, read, overlapped);
}

bool SerialPort::ReadByte(std::uint8_t& byte, const char*& failedCall) {
    DWORD read = 0;
    ioOverlapped_ = {};
    ioOverlapped_.hEvent = ioEvent_;
    if (!ReadPort(&byte, 1, &read, &ioOverlapped_)) {
        if (::GetLastError() != ERROR_IO_PENDING) {
            failedCall = "ReadFile()";
            return false;
        }
        if (!::GetOverlappedResult(handle_, &ioOverlapped_, &read, TRUE)) {
            failedCall = "GetOverlappedResults() in ReadFile()";
            return false;
        }
    }
    return read == 1;
}

void SerialPort::ReadFailed(const char* failedCall) {
    if (failedCall != nullptr) ReportOnce(failedCall);
    // What cannot be read would be reported waiting for ever.
    ::PurgeComm(handle_, PURGE_RXCLEAR);
    if (++failedReads_ >= kMaxFailedReads) inputAbandoned_ = true;
    mayRead_ = false;  // tried again after a while, not in a tight loop
}

void SerialPort::SendQueued() {
    ::ResetEvent(writeEvent_);
    // A byte the pending read already took came before the request.
    if (readPending_ && ::WaitForSingleObject(readEvent_, 0) == WAIT_OBJECT_0) FinishRead();
    std::vector<std::uint8_t> bytes;
    {
        Lock lock(lock_);
        readPurged_ = readPending_;
        bytes.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(queuedBytes_));
        queuedBytes_ = 0;
        // Input not read yet goes: a reply can only come after its request.
        ::PurgeComm(handle_, kPurgeAll);
        sentRequests_ = queuedRequests_;
    }
    if (bytes.empty()) return;
    DWORD written = 0;
    ioOverlapped_ = {};
    ioOverlapped_.hEvent = ioEvent_;
    if (::WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                    &ioOverlapped_)) {
        return;
    }
    if (::GetLastError() != ERROR_IO_PENDING) {
        ReportOnce("WriteFile()");
        return;
    }
    // Waited for so that the record is free again; a write that failed on
    // its way shows up as a printer that does not answer.
    (void)::GetOverlappedResult(handle_, &ioOverlapped_, &written, TRUE);
}

void SerialPort::Notify(UINT message, WPARAM wParam) {
    if (owner_ == nullptr) return;
    {
        Lock lock(lock_);
        delivering_ = true;
        ::ResetEvent(deliveredEvent_);
    }
    ::SendMessageA(owner_, message, wParam, static_cast<LPARAM>(portNumber_));
    {
        Lock lock(lock_);
        delivering_ = false;
        ::SetEvent(deliveredEvent_);
    }
}

// One box per opening: a port that keeps failing must not bury the operator.
void SerialPort::ReportOnce(const char* callName) {
    if (errorShown_) return;
    errorShown_ = true;
    ShowPortError(callName);
}

void SerialPort::ShowPortError(const char* callName) {
    const DWORD error = ::GetLastError();
    const std::string text = "WARNING:  " + std::string(callName) +
                             " Failed with the following error: \n" + SystemText(error) +
                             "\nPort: " + std::to_string(portNumber_) + "\n";
    // The box stays until the operator closes it, on a thread of its own:
    // nobody who stops the channel waits for it, and it outlives the channel.
    auto* box = new PortErrorBox{showBox_, text};
    HANDLE thread = ::CreateThread(nullptr, 0, ShowBoxThread, box, 0, nullptr);
    if (thread != nullptr) {
        ::CloseHandle(thread);
        return;
    }
    ShowBoxThread(box);
}

DWORD WINAPI SerialPort::ShowBoxThread(LPVOID parameter) {
    auto* box = static_cast<PortErrorBox*>(parameter);
    box->show(box->text, "Application Error", MB_ICONERROR | MB_OK);
    delete box;
    return 0;
}

void SerialPort::MessageBoxShower(const std::string& text, const char* caption, UINT style) {
    ::MessageBoxA(nullptr, text.c_str(), caption, style);
}

// Lets the pending wait and read finish before their handle and OVERLAPPED
// records go.
void SerialPort::EndEventWait() {
    if (waitPending_) {
        ::SetCommMask(handle_, 0);
        if (::WaitForSingleObject(portEvent_, kEndWaitMs) != WAIT_OBJECT_0) ::CancelIo(handle_);
    }
    if (readPending_ && ::WaitForSingleObject(readEvent_, 0) != WAIT_OBJECT_0) ::CancelIo(handle_);
    HANDLE pending[2];
    DWORD count = 0;
    if (waitPending_) pending[count++] = portEvent_;
    if (readPending_) pending[count++] = readEvent_;
    if (count > 0) ::WaitForMultipleObjects(count, pending, TRUE, kEndWaitMs);
    waitPending_ = false;
    readPending_ = false;
}

void SerialPort::StopEventThread() {
    if (thread_ == nullptr) return;
    ::SetEvent(shutdownEvent_);
    WaitRunningSentMessages(thread_);
    ::CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
    running_ = false;
    delivering_ = false;
}

// Waits for `handle` while running the messages other threads send to this
// one (the event thread's reports among them). The event thread never waits
// for the operator (its error boxes have threads of their own), so neither
// does this.
void SerialPort::WaitRunningSentMessages(HANDLE handle) {
    for (;;) {
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD result =
            ::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0) return;
        if (result == WAIT_FAILED) {
            ::WaitForSingleObject(handle, INFINITE);
            return;
        }
    }
}

bool SerialPort::OnOwnerThread() const {
    return owner_ != nullptr &&
           ::GetWindowThreadProcessId(owner_, nullptr) == ::GetCurrentThreadId();
}

void SerialPort::CloseEvents() {
    CloseEvent(shutdownEvent_);
    CloseEvent(portEvent_);
    CloseEvent(writeEvent_);
    CloseEvent(ioEvent_);
    CloseEvent(readEvent_);
    CloseEvent(startedEvent_);
    CloseEvent(deliveredEvent_);
}

std::unique_ptr<platform::SerialChannel> Win32SerialChannels::Create() {
    return std::make_unique<SerialPort>();
}

}  // namespace win32
