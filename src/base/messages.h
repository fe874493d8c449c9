// Which message a message box shows, as a number that stays when a text or
// caption is reworded: the unattended run answers by it. Every box of the
// installer is shown through ShowMessageBox with one of these.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/window.h"

namespace app {

enum class Message : int {
    kStartupNotStarted = 1,
    kNoPortTypeChosen = 2,
    kDriverNotInstallable = 3,
    kDriverNotListed = 4,
    kServiceStatusUnknown = 5,
    kServiceNotStarted = 6,
    kServiceNotStopped = 7,
    kServiceStatusUnreadable = 8,
    kServiceTimedOut = 9,
    kDriverFolderNotFound = 10,
    kDriverFolderTooLong = 11,
    kDriverNotRegistered = 12,
    kMonitorNotAdded = 13,
    kNewTcpIpPortNotListed = 14,
    kPrinterNotAdded = 15,
    kDefaultPrinterNotSet = 16,
    kNoParallelPort = 17,
    kUsbPortNotFound = 18,
    kRegistryNotRead = 19,
    kRegistryNotWritten = 20,
    kNoPortRowChosen = 21,
    kPortNotConfigured = 22,
    kPortNotDeleted = 23,
    kNoTcpIpPort = 24,
    kPreflightBlocked = 25,
    kWorkingFoldersNotReady = 26,
};

// The application's box.
inline platform::MessageBoxRequest AppBox(Message id, std::string text, std::uint32_t style) {
    return {static_cast<int>(id), std::move(text), true, std::string(), style};
}

// A box owned by the dialog, with its caption.
inline platform::MessageBoxRequest OwnedBox(Message id, std::string text, std::string caption,
                                            std::uint32_t style) {
    return {static_cast<int>(id), std::move(text), false, std::move(caption), style};
}

}  // namespace app
