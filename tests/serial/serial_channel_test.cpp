// serial_channel_test.exe: the real serial channel (win32::SerialPort) on
// pseudo-terminals that Wine opens as COM1 and COM2. The far end is
// serial_responder.py, which started this program and answers the
// "cmd ..." lines it prints on its standard input.
//
// Each case prints "ok: <case>" or "FAIL: <case>: <what>"; the exit code is
// the number of failed cases. A watchdog ends the run if a case hangs.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/win32/serial_win32.h"

namespace {

namespace serial = platform::serial;

constexpr DWORD kDeadlineMs = 10000;
constexpr DWORD kCaseLimitMs = 60000;
constexpr int kInFlightRounds = 300;

struct Note {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Note> notes;
// Event-character notes apart, each with the number of notes before it, so
// that the cases about bytes count bytes only.
struct EventNote {
    Note note;
    std::size_t after;
};
std::vector<EventNote> eventNotes;
HWND owner = nullptr;
HANDLE caseDone = nullptr;
std::string currentCase;
int failures = 0;

struct CaseFailed {
    std::string what;
};

[[noreturn]] void Fail(const std::string& what) {
    throw CaseFailed{what};
}

void Check(bool condition, const std::string& what) {
    if (!condition) Fail(what);
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == serial::kMsgEventChar) {
        eventNotes.push_back({{message, wParam, lParam}, notes.size()});
        return 0;
    }
    if (message >= serial::kMsgBreak && message < serial::kMsgEventChar) {
        notes.push_back({message, wParam, lParam});
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// One command to the responder, its one-line answer back.
std::string Command(const std::string& line) {
    std::printf("cmd %s\n", line.c_str());
    std::fflush(stdout);
    char answer[512] = {};
    if (std::fgets(answer, sizeof(answer), stdin) == nullptr) Fail("the responder went away");
    std::string text(answer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

void Send(int port, const std::string& bytes) {
    Check(Command("send " + std::to_string(port) + " " + Hex(bytes)) == "ok", "send refused");
}

void ExpectWritten(int port, const std::string& bytes) {
    const std::string answer =
        Command("expect " + std::to_string(port) + " " + Hex(bytes) + " 5000");
    Check(answer == "ok", "the line did not carry " + Hex(bytes) + " (" + answer + ")");
}

void Answer(int port, const std::string& request, const std::string& reply) {
    Check(Command("answer " + std::to_string(port) + " " + Hex(request) + " " + Hex(reply)) == "ok",
          "answer refused");
}

// Runs this thread's messages until `count` notes (or event notes) arrived.
void WaitNotes(std::size_t count, bool events = false) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const std::size_t arrived = events ? eventNotes.size() : notes.size();
        if (arrived >= count) return;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= kDeadlineMs) {
            Fail("only " + std::to_string(arrived) + " of " + std::to_string(count) +
                 (events ? " event" : "") + " notifications came");
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kDeadlineMs - elapsed, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    }
}

// Polls a condition of the channel (without running messages).
template <typename Condition>
void WaitUntil(Condition condition, const std::string& what) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start >= kDeadlineMs) Fail("timed out waiting until " + what);
        ::Sleep(1);
    }
}

void ExpectByte(std::size_t index, char byte, int port) {
    Check(index < notes.size(), "no notification " + std::to_string(index));
    const Note& note = notes[index];
    Check(note.message == serial::kMsgByteReceived,
          "notification " + std::to_string(index) + " is message " + std::to_string(note.message));
    Check(note.wParam == static_cast<unsigned char>(byte),
          "notification " + std::to_string(index) + " carries " + std::to_string(note.wParam));
    Check(note.lParam == port,
          "notification " + std::to_string(index) + " names port " + std::to_string(note.lParam));
}

// A channel that counts its error boxes instead of showing them, and can
// be told to fail every read.
class ObservedPort : public win32::SerialPort {
public:
    int reads = 0;
    int boxes = 0;
    bool failReads = false;
    bool realBoxes = false;  // the channel's own box (through SetBoxShower)
    DWORD inQueue = 0;
    DWORD outQueue = 0;
    DCB line = {};

protected:
    BOOL SetQueues(DWORD in, DWORD out) override {
        inQueue = in;
        outQueue = out;
        return SerialPort::SetQueues(in, out);
    }
    BOOL SetLine(DCB* dcb) override {
        line = *dcb;
        return SerialPort::SetLine(dcb);
    }
    BOOL ReadPort(void* buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped) override {
        ++reads;
        if (failReads) {
            ::SetLastError(ERROR_GEN_FAILURE);
            return FALSE;
        }
        return SerialPort::ReadPort(buffer, size, read, overlapped);
    }
    void ShowPortError(const char* callName) override {
        ++boxes;
        if (realBoxes) SerialPort::ShowPortError(callName);
    }
};

int OpenAt(ObservedPort& port, int number, int baud = 9600, std::uint32_t mask = 3) {
    return port.Open(reinterpret_cast<platform::WindowHandle>(owner), number, baud, 'N', 8, 1, mask,
                     512);
}

void OpenListening(ObservedPort& port, int number) {
    Check(OpenAt(port, number) == 1, "COM" + std::to_string(number) + " did not open");
    Check(port.StartEventThread() == 1, "the event thread did not start");
}

// --- Cases ------------------------------------------------------------------

void MissingPortOpensNothing() {
    ObservedPort port;
    Check(OpenAt(port, 9) == 0, "COM9 opened");
    Check(!port.IsOpen(), "a handle is held");
    Check(port.StartEventThread() == 0, "a thread started without a port");
    const std::uint8_t request[] = {0x10, 0x04, 0x01};
    Check(!port.QueueWrite(request, 3), "a write was queued without a port");
    port.Close();
    port.Close();
    Check(port.boxes == 0, "a message was shown");
}

void BytesBeforeTheThreadAreDiscarded() {
    ObservedPort port;
    Check(OpenAt(port, 1) == 1, "COM1 did not open");
    Send(1, "JJJ");
    WaitUntil([&] { return port.InputWaiting() == 3; }, "the early bytes wait");
    Check(port.StartEventThread() == 1, "the event thread did not start");
    Send(1, "M");
    WaitNotes(1);
    ExpectByte(0, 'M', 1);
    port.Close();
}

void BytesBeforeAWriteAreDropped() {
    ObservedPort port;
    OpenListening(port, 1);
    Send(1, "A");
    // The thread is now stuck reporting A to this thread, which does not
    // run messages: J and J arrive behind it, before the request.
    WaitUntil([&] { return port.DeliveryInFlight(); }, "A is on its way");
    Send(1, "JJ");
    WaitUntil([&] { return port.InputWaiting() == 2; }, "the stale bytes wait");
    Answer(1, "\x10\x04\x01", "R");
    const std::uint8_t request[] = {0x10, 0x04, 0x01};
    Check(port.QueueWrite(request, 3), "the request was not queued");
    Check(notes.size() == 1, "A was not delivered before the request went out");
    WaitNotes(2);
    ExpectByte(0, 'A', 1);
    ExpectByte(1, 'R', 1);
    Send(1, "M");
    WaitNotes(3);
    ExpectByte(2, 'M', 1);
    port.Close();
}

void ThreeBytesThreeNotificationsInOrder() {
    ObservedPort port;
    OpenListening(port, 2);
    Send(2, "abc");
    WaitNotes(3);
    ExpectByte(0, 'a', 2);
    ExpectByte(1, 'b', 2);
    ExpectByte(2, 'c', 2);
    Send(2, "M");
    WaitNotes(4);
    ExpectByte(3, 'M', 2);
    port.Close();
}

void ExpectEventNoteAfter(std::size_t index, std::size_t bytes) {
    Check(index < eventNotes.size(), "no event notification " + std::to_string(index));
    const EventNote& event = eventNotes[index];
    Check(event.after == bytes, "event notification " + std::to_string(index) + " came after " +
                                    std::to_string(event.after) + " bytes");
    Check(event.note.wParam == 0 && event.note.lParam == 1,
          "event notification " + std::to_string(index) + " carries the wrong values");
}

// The mask (3) decides: every byte that arrives on its own is followed by
// one event-character notification, the event character or not.
void EveryPortEventIsFollowedByOneEventNotification() {
    ObservedPort port;
    OpenListening(port, 1);
    Send(1, "M");
    WaitNotes(1);
    ExpectByte(0, 'M', 1);
    WaitNotes(1, true);
    Send(1, "q");
    WaitNotes(2);
    ExpectByte(1, 'q', 1);
    WaitNotes(2, true);
    port.Close();
    Check(eventNotes.size() == 2, std::to_string(eventNotes.size()) + " event notifications");
    ExpectEventNoteAfter(0, 1);
    ExpectEventNoteAfter(1, 2);
}

// What the line was given: the queues and the settings as they went in
// (Wine reports neither the queue sizes nor the event character back), and
// the time-outs, the event mask and the line read back from the driver.
void TheLineIsSetUpAsAsked() {
    ObservedPort port;
    Check(OpenAt(port, 2, 19200) == 1, "COM2 did not open");
    Check(port.inQueue == 2048 && port.outQueue == 2048,
          "queues " + std::to_string(port.inQueue) + ", " + std::to_string(port.outQueue));
    Check(port.line.fRtsControl == RTS_CONTROL_ENABLE,
          "RTS control " + std::to_string(port.line.fRtsControl));
    Check(port.line.EvtChar == 'q', "event character " + std::to_string(port.line.EvtChar));
    COMMTIMEOUTS timeouts = {};
    Check(::GetCommTimeouts(port.PortHandle(), &timeouts) != FALSE, "GetCommTimeouts failed");
    Check(timeouts.ReadIntervalTimeout == 1000 && timeouts.ReadTotalTimeoutMultiplier == 1000 &&
              timeouts.ReadTotalTimeoutConstant == 1000 &&
              timeouts.WriteTotalTimeoutMultiplier == 1000 &&
              timeouts.WriteTotalTimeoutConstant == 1000,
          "the time-outs are not all 1000 ms");
    DWORD mask = 0;
    Check(::GetCommMask(port.PortHandle(), &mask) != FALSE && mask == 3,
          "event mask " + std::to_string(mask));
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    Check(::GetCommState(port.PortHandle(), &dcb) != FALSE, "GetCommState failed");
    Check(dcb.BaudRate == 19200 && dcb.ByteSize == 8 && dcb.Parity == NOPARITY &&
              dcb.StopBits == ONESTOPBIT,
          "line " + std::to_string(dcb.BaudRate) + " " + std::to_string(dcb.ByteSize) + " " +
              std::to_string(dcb.Parity) + " " + std::to_string(dcb.StopBits));
    port.Close();
}

void AWriteLeavesTheEventWaitWorking() {
    ObservedPort port;
    OpenListening(port, 1);
    const std::uint8_t hello[] = {'h', 'e', 'l', 'l', 'o'};
    Check(port.QueueWrite(hello, 5), "the write was not queued");
    ExpectWritten(1, "hello");
    Send(1, "y");
    WaitNotes(1);
    ExpectByte(0, 'y', 1);
    const std::string answer = Command("speed 1");
    Check(answer == "speed 9600", "the line runs at " + answer);
    port.Close();
    Check(OpenAt(port, 1, 19200) == 1, "COM1 did not open again");
    Check(Command("speed 1") == "speed 19200", "the new rate was not set");
    port.Close();
}

void ReopeningWhileListeningLeavesOneListener() {
    ObservedPort port;
    OpenListening(port, 1);
    OpenListening(port, 1);
    Send(1, "x");
    WaitNotes(1);
    Send(1, "M");
    WaitNotes(2);
    ExpectByte(0, 'x', 1);
    ExpectByte(1, 'M', 1);
    port.Close();
    Check(!port.IsOpen(), "a handle is still held");
}

void FailingReadsStopAfterOneBox() {
    ObservedPort port;
    port.failReads = true;
    OpenListening(port, 1);
    Send(1, "Z");
    WaitUntil([&] { return port.InputAbandoned(); }, "the port is no longer read");
    Check(port.reads == win32::SerialPort::kMaxFailedReads,
          "tried " + std::to_string(port.reads) + " reads");
    Check(port.boxes == 1, std::to_string(port.boxes) + " error boxes");
    // What arrives now stays unread, and the channel still stops at once.
    Send(1, "Y");
    WaitUntil([&] { return port.InputWaiting() >= 1; }, "the next byte waits");
    Check(port.reads == win32::SerialPort::kMaxFailedReads, "read again after giving up");
    port.Close();
    Check(notes.empty(), "a byte was reported");
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

// The operator has not closed the box yet: the channel still stops at once,
// and the box stays until the operator closes it.
void AnErrorBoxStaysWhileTheChannelStops() {
    HANDLE operatorCloses = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    volatile LONG shown = 0;
    volatile LONG closed = 0;
    std::string text;
    std::string caption;
    UINT style = 0;
    {
        ObservedPort port;
        port.failReads = true;
        port.realBoxes = true;
        port.SetBoxShower([&](const std::string& t, const char* c, UINT s) {
            text = t;
            caption = c;
            style = s;
            ::InterlockedExchange(&shown, 1);
            ::WaitForSingleObject(operatorCloses, INFINITE);
            ::InterlockedExchange(&closed, 1);
        });
        OpenListening(port, 1);
        Send(1, "Z");
        WaitUntil([&] { return shown != 0; }, "the box is shown");
        const DWORD start = ::GetTickCount();
        port.Close();
        Check(::GetTickCount() - start < 1000, "Close waited for the box");
    }
    Check(closed == 0, "the box was closed for the operator");
    ::SetEvent(operatorCloses);
    WaitUntil([&] { return closed != 0; }, "the box is closed");
    ::CloseHandle(operatorCloses);
    Check(text == "WARNING:  ReadFile() Failed with the following error: \n" +
                      SystemText(ERROR_GEN_FAILURE) + "\nPort: 1\n",
          "box text \"" + text + "\"");
    Check(caption == "Application Error", "box caption \"" + caption + "\"");
    Check(style == (MB_ICONERROR | MB_OK), "box style " + std::to_string(style));
}

void ClosingWhileAReportIsOnItsWay() {
    ObservedPort port;
    for (int round = 0; round < kInFlightRounds; ++round) {
        OpenListening(port, 1);
        Send(1, "x");
        WaitUntil([&] { return port.DeliveryInFlight(); }, "a report is on its way");
        port.Close();
        Check(!port.IsOpen(), "a handle is still held");
        // The report reached this thread while Close waited: none is lost.
        Check(notes.size() == static_cast<std::size_t>(round + 1),
              "round " + std::to_string(round) + ": " + std::to_string(notes.size()) + " notes");
    }
    // The port was let go each time: it opens once more.
    Check(OpenAt(port, 1) == 1, "COM1 stayed taken");
    port.Close();
}

DWORD WINAPI Watchdog(LPVOID) {
    for (;;) {
        if (::WaitForSingleObject(caseDone, kCaseLimitMs) == WAIT_TIMEOUT) {
            std::printf("FAIL: %s: hung for %lu s\n", currentCase.c_str(), kCaseLimitMs / 1000);
            std::fflush(stdout);
            ::ExitProcess(100);
        }
    }
}

void Run(const char* name, void (*body)()) {
    currentCase = name;
    notes.clear();
    eventNotes.clear();
    try {
        body();
        std::printf("ok: %s\n", name);
    } catch (const CaseFailed& failure) {
        std::printf("FAIL: %s: %s\n", name, failure.what.c_str());
        ++failures;
    }
    std::fflush(stdout);
    ::SetEvent(caseDone);
}

}  // namespace

int main() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SerialChannelTestOwner";
    ::RegisterClassA(&windowClass);
    owner = ::CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            windowClass.hInstance, nullptr);
    if (owner == nullptr) {
        std::printf("FAIL: no owner window\n");
        return 100;
    }
    caseDone = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ::CloseHandle(::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

    Run("missing COM number: Open 0, no message, Close harmless", MissingPortOpensNothing);
    Run("bytes before the thread starts are discarded", BytesBeforeTheThreadAreDiscarded);
    Run("bytes before a write are dropped", BytesBeforeAWriteAreDropped);
    Run("three bytes, three notifications in order with the port number",
        ThreeBytesThreeNotificationsInOrder);
    Run("every byte on its own: the byte, then one event notification",
        EveryPortEventIsFollowedByOneEventNotification);
    Run("the line is set up as asked", TheLineIsSetUpAsAsked);
    Run("a write leaves the event wait working; the line runs at the rate asked",
        AWriteLeavesTheEventWaitWorking);
    Run("reopening while listening leaves one listener", ReopeningWhileListeningLeavesOneListener);
    Run("failing reads stop after one error box", FailingReadsStopAfterOneBox);
    Run("an error box stays while the channel stops", AnErrorBoxStaysWhileTheChannelStops);
    Run("closing while a report is on its way, 300 times", ClosingWhileAReportIsOnItsWay);

    std::printf("%d case(s) failed\n", failures);
    return failures;
}
