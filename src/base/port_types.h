// The rows of the port-type list and the names the port steps match.
#pragma once

#include <array>

namespace ports {

enum PortType : int { kSerial = 0, kUsb = 1, kParallel = 2, kTcpIp = 3 };

struct PortTypeRow {
    const char* port;
    const char* description;
};

constexpr std::array<PortTypeRow, 4> kPortTypeRows = {{
    {"Serial port", "The program will select a available serial port during installation"},
    {"USB port", "The program will select a available USB port automatically"},
    {"Parallel port", "The program will prompt you to select a parallel port during installation"},
    {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"},
}};

constexpr int kPortColumnWidth = 110;
constexpr int kDescriptionColumnWidth = 525;
constexpr unsigned kMaxExaminedPorts = 256;

// What the port choices answer: kChoiceBase + n for row (or list entry) n,
// kChoiceCancelled for no port, kChoiceCreated (TCP/IP only) for the port
// the add-port wizard has just made.
constexpr int kChoiceBase = 0x1200;
constexpr int kChoiceCancelled = 0xCCCC;
constexpr int kChoiceCreated = 0xAAAA;

// The port dialogs' list: "Port" and "Description" columns.
constexpr int kDialogPortColumnWidth = 125;
constexpr int kDialogDescriptionColumnWidth = 300;

// The spooler's monitor for network printers, and the description its
// ports carry.
constexpr const char* kTcpIpMonitor = "Standard TCP/IP Port";
constexpr const char* kTcpIpDescription = "Standard TCP/IP Port";
// The same description on Chinese Windows, in code page 936.
constexpr const char* kTcpIpDescriptionCp936 = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";

// The rates the serial port prompt offers, in its row order, and the row
// it starts on; that rate is also what a lone serial port is set to.
constexpr std::array<int, 9> kBaudRates = {300,   1200,  2400,  4800,  9600,
                                           19200, 38400, 57600, 115200};
constexpr int kPreselectedBaudRow = 5;

constexpr const char* kSerialDeviceMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr unsigned kSerialValueBufferSize = 128;

}  // namespace ports
