#pragma once

#include <QObject>
#include <QTimer>

class INetworkInfo;

// Watches, while started, for a local network to appear (an interface up with
// an IPv4 address), as after a start without a network: at once where the
// system reports reachability changes, otherwise at the next look (every two
// seconds). Reports once and stops.
class TNetworkWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kLookIntervalMs = 2000;

    explicit TNetworkWatch(INetworkInfo& net, QObject* parent = nullptr);
    void start();
    void stop();
    bool isActive() const { return FLook.isActive(); }

Q_SIGNALS:
    void appeared();

private:
    void look();
    void listenForReachability();

    INetworkInfo& FNet;
    QTimer FLook;
    bool FListening = false;
};
