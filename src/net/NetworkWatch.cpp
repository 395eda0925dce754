#include "net/NetworkWatch.h"

#include "platform/NetworkChanges.h"
#include "platform/NetworkInfo.h"

TNetworkWatch::TNetworkWatch(INetworkInfo& net, QObject* parent) : QObject(parent), FNet(net) {
    FLook.setInterval(kLookIntervalMs);
    connect(&FLook, &QTimer::timeout, this, &TNetworkWatch::look);
    FSettle.setSingleShot(true);
    FSettle.setInterval(kSettleMs);
    connect(&FSettle, &QTimer::timeout, this, &TNetworkWatch::look);
}

void TNetworkWatch::setChangeSource(TNetworkChanges* changes) {
    const bool active = isActive();
    stop();
    if (FChanges)
        disconnect(FChanges, nullptr, this, nullptr);
    FChanges = changes;
    if (FChanges) {
        connect(FChanges, &TNetworkChanges::changed, this, [this] {
            if (isActive())
                FSettle.start();
        });
    }
    if (active)
        start();
}

void TNetworkWatch::start() {
    FLook.start();
    // Opened only when needed: a program started with a network never listens.
    if (FChanges)
        FChanges->start();
}

void TNetworkWatch::stop() {
    FLook.stop();
    FSettle.stop();
    if (FChanges)
        FChanges->stop();
}

void TNetworkWatch::look() {
    if (FNet.localIPv4().isEmpty())
        return;
    stop();
    Q_EMIT appeared();
}
