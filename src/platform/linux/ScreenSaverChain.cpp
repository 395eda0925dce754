#include "platform/linux/ScreenSaverChain.h"

#include "platform/linux/CommandScreenSaver.h"
#include "platform/linux/DBusScreenSaver.h"
#include "platform/linux/X11ScreenSaver.h"

#include <QPointer>
#include <QTimer>

Q_LOGGING_CATEGORY(lcScreenSaver, "palavero.platform.screensaver", QtInfoMsg)

TScreenSaverChain::TScreenSaverChain(std::vector<std::unique_ptr<IScreenSaverWay>> ways,
                                     std::function<bool()> keysHeld, QObject* parent)
    : QObject(parent), FWays(std::move(ways)), FKeysHeld(std::move(keysHeld)) {}

TScreenSaverChain::~TScreenSaverChain() = default;

std::unique_ptr<TScreenSaverChain> TScreenSaverChain::forSession(const QDBusConnection& bus) {
    std::vector<std::unique_ptr<IScreenSaverWay>> ways;
    for (const TDBusScreenSaverService& service : TDBusScreenSaver::desktopServices())
        ways.push_back(std::make_unique<TDBusScreenSaver>(bus, service));
    ways.push_back(std::make_unique<TCommandScreenSaver>(QStringLiteral("xscreensaver-command"),
                                                         QStringList{QStringLiteral("-activate")}));
    ways.push_back(std::make_unique<TCommandScreenSaver>(QStringLiteral("xdg-screensaver"),
                                                         QStringList{QStringLiteral("activate")}));
    auto x11 = std::make_unique<TX11ScreenSaver>();
    TX11ScreenSaver* keys = x11.get();
    ways.push_back(std::move(x11));
    return std::make_unique<TScreenSaverChain>(std::move(ways), [keys] { return keys->keysDown(); });
}

void TScreenSaverChain::activate() {
    if (FBusy)
        return;
    FBusy = true;
    FStartedBy = -1;
    FWaited.start();
    startOnceReleased();
}

void TScreenSaverChain::startOnceReleased() {
    if (FKeysHeld && FKeysHeld() && FWaited.elapsed() < kMaxWaitMs) {
        QTimer::singleShot(kPollMs, this, &TScreenSaverChain::startOnceReleased);
        return;
    }
    tryWay(0);
}

void TScreenSaverChain::tryWay(std::size_t index) {
    if (index >= FWays.size()) {
        qCDebug(lcScreenSaver) << "no way started the screen saver";
        FBusy = false;
        return;
    }
    QPointer<TScreenSaverChain> self(this);
    FWays[index]->start([self, index](bool started) {
        if (!self)
            return;
        if (!started) {
            // Later, not inside the failing way's own call.
            QTimer::singleShot(0, self, [self, index] { self->tryWay(index + 1); });
            return;
        }
        qCDebug(lcScreenSaver) << "screen saver started by way" << index;
        self->FStartedBy = int(index);
        self->FBusy = false;
    });
}
