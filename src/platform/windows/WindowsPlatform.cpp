#include "platform/windows/WindowsPlatform.h"

#include "platform/QtDesktop.h"
#include "platform/windows/WindowsAutostart.h"
#include "platform/windows/WindowsFirewall.h"
#include "platform/windows/WindowsGlobalHotKey.h"
#include "platform/windows/WindowsMessages.h"
#include "platform/windows/WindowsNetworkChanges.h"
#include "platform/windows/WindowsNetworkInfo.h"
#include "platform/windows/WindowsScreenSaver.h"
#include "platform/windows/WindowsSessionMonitor.h"
#include "platform/windows/WindowsSingleInstance.h"
#include "platform/windows/WindowsSound.h"
#include "platform/windows/WindowsSystemInfo.h"
#include "platform/windows/WindowsTerminationSignals.h"

std::unique_ptr<TPlatform> CreateWindowsPlatform(TPlatformUse use) {
    auto p = std::make_unique<TPlatform>();
    auto messages = std::make_unique<TWindowsMessages>();
    TWindowsMessages& window = *messages;
    p->shared = std::move(messages);
    p->systemInfo = std::make_unique<TWindowsSystemInfo>();
    p->networkInfo = std::make_unique<TWindowsNetworkInfo>();
    p->networkChanges = std::make_unique<TWindowsNetworkChanges>();
    p->singleInstance = std::make_unique<TWindowsSingleInstance>(window);
    p->terminationSignals = std::make_unique<TWindowsTerminationSignals>();
    if (use == TPlatformUse::Console)
        return p;
    p->sessionMonitor = std::make_unique<TWindowsSessionMonitor>(window);
    p->firewall = std::make_unique<TWindowsFirewall>();
    p->desktop = std::make_unique<TQtDesktop>();
    p->autostart = std::make_unique<TWindowsAutostart>();
    p->sound = std::make_unique<TWindowsSound>();
    // Arrivals are announced by the tray icon's balloon.
    p->globalHotKey = std::make_unique<TWindowsGlobalHotKey>(window);
    p->screenSaver = std::make_unique<TWindowsScreenSaver>(window);
    return p;
}
