#include "platform/Platform.h"

#if defined(Q_OS_WIN)
#include "platform/windows/WindowsPlatform.h"
#else
#include "platform/linux/DBusNotifications.h"
#include "platform/linux/LinuxFirewall.h"
#include "platform/linux/LinuxNetworkInfo.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/LocalSocketSingleInstance.h"
#include "platform/linux/NetlinkNetworkChanges.h"
#include "platform/linux/LogindSessionMonitor.h"
#include "platform/QtDesktop.h"
#include "platform/linux/LazySound.h"
#include "platform/linux/UnixTerminationSignals.h"
#include "platform/linux/X11GlobalHotKey.h"
#include "platform/linux/ScreenSaverChain.h"
#include "platform/linux/XdgAutostart.h"
#endif

std::unique_ptr<TPlatform> CreatePlatform(TPlatformUse use) {
#if defined(Q_OS_WIN)
    return CreateWindowsPlatform(use);
#else
    auto p = std::make_unique<TPlatform>();
    p->systemInfo = std::make_unique<TLinuxSystemInfo>();
    p->networkInfo = std::make_unique<TLinuxNetworkInfo>();
    p->networkChanges = std::make_unique<TNetlinkNetworkChanges>();
    p->singleInstance = std::make_unique<TLocalSocketSingleInstance>();
    p->terminationSignals = std::make_unique<TUnixTerminationSignals>();
    if (use == TPlatformUse::Console)
        return p;
    p->sessionMonitor = std::make_unique<TLogindSessionMonitor>();
    p->firewall = std::make_unique<TLinuxFirewall>();
    p->desktop = std::make_unique<TQtDesktop>();
    p->autostart = std::make_unique<TXdgAutostart>();
    p->sound = std::make_unique<TLazySound>();
    p->notifications = std::make_unique<TDBusNotifications>();
    p->globalHotKey = std::make_unique<TX11GlobalHotKey>();
    p->screenSaver = TScreenSaverChain::forSession(QDBusConnection::sessionBus());
    return p;
#endif
}
