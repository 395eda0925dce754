#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class INetworkInfo;
class TNetworkChanges;

// Watches, while started, for a local network to appear (an interface up with
// an IPv4 address), as after a start without a network: soon after the system
// reports changes of its interfaces (once its reports have paused: a link
// comes up in several steps), otherwise at the next look (every two seconds).
// Reports once and stops.
class TNetworkWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kLookIntervalMs = 2000;
    // How long the reports of a change must pause before the look.
    static constexpr int kSettleMs = 200;

    explicit TNetworkWatch(INetworkInfo& net, QObject* parent = nullptr);
    // The system's reports of changes (not owned; null: looking only). Listened
    // to only while the watch runs.
    void setChangeSource(TNetworkChanges* changes);
    void start();
    void stop();
    bool isActive() const { return FLook.isActive(); }
    // For tests: the time between two looks.
    void setLookInterval(int ms) { FLook.setInterval(ms); }

Q_SIGNALS:
    void appeared();

private:
    void look();

    INetworkInfo& FNet;
    QPointer<TNetworkChanges> FChanges;
    QTimer FLook;
    QTimer FSettle;
};
