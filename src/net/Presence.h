#pragma once

#include "net/DatagramHandler.h"
#include "net/NetworkWatch.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"
#include "platform/MessageBoxes.h"
#include "platform/SessionMonitor.h"
#include "platform/SystemInfo.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

// This computer's presence: announces and withdraws it by broadcast, keeps the
// target list in step with the presence datagrams of the others, repeats the
// announcement while nobody is known, and follows the session (lock, unlock,
// suspend, resume, end of session).
class TPresence : public QObject {
    Q_OBJECT
public:
    static constexpr int kLonelinessIntervalMs = 10000;
    // "Sending Logout Message": the status text when the session ends.
    static QString LogoutStatusText();

    TPresence(const QByteArray& computerName, const QString& userName, TUdpEndpoint& endpoint,
              TTargetList& targets, IMessageBoxes& boxes, QObject* parent = nullptr);

    // Broadcasts the connect datagram (flag set) or the refresh datagram.
    void AnnouncePresence(bool connect);
    // Broadcasts the disconnect datagram.
    void SendDisconnect();

    // Configures and opens the endpoint on the port and announces this computer.
    // Without a network (none reachable) the endpoint listens, and this computer
    // is announced as soon as a network appears. On any other failure shows
    // "UDP-Verbindung auf Port <port> kann nicht eingerichtet werden." and
    // leaves the endpoint closed.
    bool TimerStartUdpTimer(quint16 port);
    // "Anmelden" in the menus.
    void Anmelden1Click() { AnnouncePresence(true); }

    // The repeated announcement while the target list is empty; it stops for good
    // at the first tick that finds an entry.
    void startLonelinessTimer();
    QTimer& lonelinessTimer() { return FTimerCheckLoneliness; }
    const TNetworkWatch& networkWatch() const { return FNetworkWatch; }
    TNetworkWatch& networkWatch() { return FNetworkWatch; }
    void TimerCheckLonelinessTimer();

    // Reactions to presence datagrams; the sender's address is the endpoint's senderIP().
    void onConnect(const QByteArray& sender);
    void onRefresh(const QByteArray& sender);
    void onDisconnect(const QByteArray& sender);
    // Connects the three reactions to the presence signals of the dispatch.
    void connectToHandler(TDatagramHandler& handler);

    // Follows the session: lock and console disconnect withdraw and close; unlock
    // and console connect check the user, open and announce; suspend withdraws,
    // resume announces; the end of the session withdraws.
    void attachSession(TSessionMonitor& monitor, const ISystemInfo& system);
    // A different logged-on user withdraws this computer and closes the endpoint.
    void CheckUserChange(const QString& currentUser);

    QByteArray computerName() const { return FComputerName; }
    QString userName() const { return FUserName; }

Q_SIGNALS:
    void statusText(const QString& text);

private:
    bool announce(bool connect);
    void onLockOrDisconnect();
    void onUnlockOrConnect(const ISystemInfo& system);

    QByteArray FComputerName;
    // Every connect is answered: the presence texts are made once.
    QByteArray FConnectText;
    QByteArray FRefreshText;
    QString FUserName;
    TUdpEndpoint& FEndpoint;
    TTargetList& FTargets;
    IMessageBoxes& FBoxes;
    QTimer FTimerCheckLoneliness;
    TNetworkWatch FNetworkWatch; // started when the program starts without a network
    bool FLonelinessDone = false;
};
