#pragma once

#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/Firewall.h"
#include "platform/NetworkInfo.h"
#include "platform/SessionMonitor.h"
#include "platform/Sound.h"
#include "platform/SystemInfo.h"

#include <memory>

// The operating-system services the program uses, one object each.
struct TPlatform {
    std::unique_ptr<ISystemInfo> systemInfo;
    std::unique_ptr<INetworkInfo> networkInfo;
    std::unique_ptr<TSessionMonitor> sessionMonitor;
    std::unique_ptr<IFirewall> firewall;
    std::unique_ptr<IDesktop> desktop;
    std::unique_ptr<IAutostart> autostart;
    std::unique_ptr<ISound> sound;
};

// The services of the system the program runs on.
std::unique_ptr<TPlatform> CreatePlatform();
