// Serial channels on the real machine.
#pragma once

#include <windows.h>

#include "platform/serial.h"

namespace win32 {

class Win32SerialChannels : public platform::SerialChannels {
public:
    std::unique_ptr<platform::SerialChannel> Create() override;
};

}  // namespace win32
