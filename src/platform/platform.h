// Every OS service the installer uses, handed to the logic as one bundle of
// references. The owner (WinMain, or a test) keeps the services alive.
#pragma once

#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/network.h"
#include "platform/privileges.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/services.h"
#include "platform/spooler.h"
#include "platform/system_info.h"
#include "platform/threads.h"
#include "platform/window.h"

namespace platform {

struct Platform {
    DialogWindow& window;
    Spooler& spooler;
    Registry& registry;
    ServiceManager& services;
    Files& files;
    ProfileReader& profile;
    SystemInfo& system;
    Threads& threads;
    Libraries& libraries;
    ProcessToken& token;
    SerialChannels& serial;
    Network& network;
};

}  // namespace platform
