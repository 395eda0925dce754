#pragma once

#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/Firewall.h"
#include "platform/GlobalHotKey.h"
#include "platform/NetworkChanges.h"
#include "platform/NetworkInfo.h"
#include "platform/Notifications.h"
#include "platform/ScreenSaver.h"
#include "platform/SessionMonitor.h"
#include "platform/SingleInstance.h"
#include "platform/Sound.h"
#include "platform/SystemInfo.h"
#include "platform/TerminationSignals.h"

#include <QObject>

#include <memory>

// The operating-system services the program uses, one object each.
struct TPlatform {
    // What the services of a system share, where they share something (on
    // Windows the hidden window of their messages). First, so that it goes last.
    std::unique_ptr<QObject> shared;
    std::unique_ptr<ISystemInfo> systemInfo;
    std::unique_ptr<INetworkInfo> networkInfo;
    // Reports of the interfaces changing, for waiting on a network to appear.
    std::unique_ptr<TNetworkChanges> networkChanges;
    std::unique_ptr<TSessionMonitor> sessionMonitor;
    std::unique_ptr<IFirewall> firewall;
    std::unique_ptr<IDesktop> desktop;
    std::unique_ptr<IAutostart> autostart;
    std::unique_ptr<ISound> sound;
    // The desktop's notifications (null without a desktop).
    std::unique_ptr<TNotifications> notifications;
    // The screen-saver hot key and the screen saver it starts.
    std::unique_ptr<TGlobalHotKey> globalHotKey;
    std::unique_ptr<IScreenSaver> screenSaver;
    // "PALAVERO.MUTEX": one instance per user; call tryBecomePrimary() first.
    std::unique_ptr<TSingleInstance> singleInstance;
    // Requests of the system to end the program (SIGTERM, SIGINT, SIGHUP).
    std::unique_ptr<TTerminationSignals> terminationSignals;
};

// What the services are for: the program with its window, or a mode without a
// window and display (--send, --listen), which gets only the system and network
// information with its changes, the single-instance socket and the termination
// signals; the other services stay null.
enum class TPlatformUse { Desktop, Console };

// The services of the system the program runs on.
std::unique_ptr<TPlatform> CreatePlatform(TPlatformUse use = TPlatformUse::Desktop);
