// The real machine: one instance of every Win32 adapter, bundled for the logic.
#pragma once

#include "platform/platform.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/libraries_win32.h"
#include "platform/win32/network_win32.h"
#include "platform/win32/privileges_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/serial_win32.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/threads_win32.h"

namespace win32 {

struct Win32Machine {
    Win32Spooler spooler;
    Win32Registry registry;
    Win32ServiceManager services;
    Win32Files files;
    Win32ProfileReader profile;
    Win32SystemInfo system;
    Win32Threads threads;
    Win32Libraries libraries;
    Win32ProcessToken token;
    Win32SerialChannels serial;
    Win32Network network;

    // The bundle refers to this machine's members: keep the machine alive.
    platform::Platform MakePlatform(platform::DialogWindow& window) {
        return platform::Platform{window, spooler, registry,  services, files,  profile,
                                  system, threads, libraries, token,    serial, network};
    }
};

}  // namespace win32
