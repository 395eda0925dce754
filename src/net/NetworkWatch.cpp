#include "net/NetworkWatch.h"

#include "platform/NetworkInfo.h"

#include <QNetworkInformation>

TNetworkWatch::TNetworkWatch(INetworkInfo& net, QObject* parent) : QObject(parent), FNet(net) {
    FLook.setInterval(kLookIntervalMs);
    connect(&FLook, &QTimer::timeout, this, &TNetworkWatch::look);
}

void TNetworkWatch::start() {
    FLook.start();
    listenForReachability();
}

void TNetworkWatch::stop() {
    FLook.stop();
}

void TNetworkWatch::listenForReachability() {
    // Loaded only when needed: a program started with a network never asks.
    if (FListening || !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    FListening = true;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this, [this] {
        if (FLook.isActive())
            look();
    });
}

void TNetworkWatch::look() {
    if (FNet.localIPv4().isEmpty())
        return;
    stop();
    Q_EMIT appeared();
}
