// The fixtures the unattended tests share: a Windows 10 machine with USB
// ports and a package that offers KV6X, and the same with four serial lines.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/exit_codes.h"
#include "unattended_fixture.h"

namespace testing_support::unattended {

namespace ec = app::exitcode;
using platform::RegistryRoot;

const char* const kNoPortText =
    "Failed to select USB port,please check the port is connected.\\r\\n\\r\\n"
    "Click Retry:Retry to select usb port\\r\\n"
    "Click Cancel:Continue installation, you can select the port after installation";
const char* const kDeviceKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

class UnattendedUsbTest : public testing_support::UnattendedTest {
protected:
    UnattendedUsbTest() {
        machine.system.majorVersion = 10;
        machine.system.minorVersion = 0;
        Ports({"LPT1:", "USB001", "USB002", "USB003"});
        ListOffering(27, "KV6X");
    }
    std::string PrinterPort(const std::string& name) {
        const platform::PrinterInfo2* info = machine.spooler.Printer(name);
        return info && info->portName ? *info->portName : "(none)";
    }
    std::optional<std::string> Device() {
        return machine.registry.GetString(RegistryRoot::CurrentUser, kDeviceKey, "Device");
    }
    int Occurrences(const std::string& status) {
        const auto history = window.StatusHistory();
        return static_cast<int>(std::count(history.begin(), history.end(), status));
    }
};

class UnattendedSerialTest : public UnattendedUsbTest {
protected:
    UnattendedSerialTest() {
        Ports({"COM1:", "COM2:", "COM3:", "COM4:", "LPT1:"});
        SerialPorts({"COM1", "COM2", "COM3", "COM4"});
        machine.serial.presentPorts = {1, 2, 3, 4};
    }
    // The ports opened, with the rate each was opened at.
    std::vector<std::pair<int, int>> Opens() {
        std::vector<std::pair<int, int>> opens;
        for (const auto& open : machine.serial.opens) opens.emplace_back(open.port, open.baudRate);
        return opens;
    }
    std::optional<std::string> Settings(const std::string& port) {
        return machine.registry.GetString(RegistryRoot::LocalMachine, kPortsKey, port);
    }
};

}  // namespace testing_support::unattended
