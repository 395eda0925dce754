#include "net/Presence.h"

#include "net/Datagram.h"

TPresence::TPresence(const QByteArray& computerName, const QString& userName, TUdpEndpoint& endpoint,
                     TTargetList& targets, IMessageBoxes& boxes, QObject* parent)
    : QObject(parent), FComputerName(computerName),
      FConnectText(Datagram::build(computerName, Datagram::kConnect)),
      FRefreshText(Datagram::build(computerName, Datagram::kRefresh)), FUserName(userName),
      FEndpoint(endpoint), FTargets(targets), FBoxes(boxes), FNetworkWatch(endpoint.networkInfo()) {
    FTimerCheckLoneliness.setInterval(kLonelinessIntervalMs);
    connect(&FTimerCheckLoneliness, &QTimer::timeout, this, &TPresence::TimerCheckLonelinessTimer);
    connect(&FNetworkWatch, &TNetworkWatch::appeared, this, [this] { AnnouncePresence(true); });
}

bool TPresence::announce(bool connect) {
    return FEndpoint.SendDatagram("*", connect ? FConnectText : FRefreshText);
}

void TPresence::AnnouncePresence(bool connect) {
    announce(connect);
}

void TPresence::SendDisconnect() {
    FEndpoint.SendDatagram("*", Datagram::build(FComputerName, Datagram::kDisconnect));
}

bool TPresence::TimerStartUdpTimer(quint16 port) {
    if (FEndpoint.isOpen())
        FEndpoint.close();
    FEndpoint.configure(port);
    if (FEndpoint.open()) {
        if (announce(true))
            return true;
        // Started without a network: listening already, announced when one appears.
        if (FEndpoint.lastSendUnreachable()) {
            FNetworkWatch.start();
            return true;
        }
    }
    FEndpoint.close();
    FBoxes.show(QStringLiteral("UDP-Verbindung auf Port %1 kann nicht eingerichtet werden.").arg(port));
    return false;
}

void TPresence::startLonelinessTimer() {
    if (!FLonelinessDone)
        FTimerCheckLoneliness.start();
}

void TPresence::TimerCheckLonelinessTimer() {
    if (FLonelinessDone)
        return;
    if (FTargets.count() > 0) {
        FTimerCheckLoneliness.stop();
        FLonelinessDone = true;
        return;
    }
    AnnouncePresence(true);
}

void TPresence::onConnect(const QByteArray& sender) {
    FTargets.AddRemoteComputer(sender, FEndpoint.senderIP());
    AnnouncePresence(false);
}

void TPresence::onRefresh(const QByteArray& sender) {
    FTargets.AddRemoteComputer(sender, FEndpoint.senderIP());
}

void TPresence::onDisconnect(const QByteArray& sender) {
    FTargets.RemoveRemoteComputer(sender);
}

void TPresence::connectToHandler(TDatagramHandler& handler) {
    connect(&handler, &TDatagramHandler::connectReceived, this, &TPresence::onConnect);
    connect(&handler, &TDatagramHandler::refreshReceived, this, &TPresence::onRefresh);
    connect(&handler, &TDatagramHandler::disconnectReceived, this, &TPresence::onDisconnect);
}

void TPresence::onLockOrDisconnect() {
    if (!FEndpoint.isOpen())
        return;
    SendDisconnect();
    FEndpoint.close();
}

void TPresence::onUnlockOrConnect(const ISystemInfo& system) {
    CheckUserChange(system.userName());
    if (!FEndpoint.isOpen())
        FEndpoint.open();
    AnnouncePresence(true);
}

void TPresence::attachSession(TSessionMonitor& monitor, const ISystemInfo& system) {
    connect(&monitor, &TSessionMonitor::sessionLocked, this, &TPresence::onLockOrDisconnect);
    connect(&monitor, &TSessionMonitor::consoleDisconnected, this, &TPresence::onLockOrDisconnect);
    connect(&monitor, &TSessionMonitor::sessionUnlocked, this, [this, &system] { onUnlockOrConnect(system); });
    connect(&monitor, &TSessionMonitor::consoleConnected, this, [this, &system] { onUnlockOrConnect(system); });
    connect(&monitor, &TSessionMonitor::suspending, this, &TPresence::SendDisconnect);
    connect(&monitor, &TSessionMonitor::resumed, this, [this] { AnnouncePresence(true); });
    connect(&monitor, &TSessionMonitor::sessionEnding, this, [this] {
        Q_EMIT statusText(LogoutStatusText());
        SendDisconnect();
    });
}

void TPresence::CheckUserChange(const QString& currentUser) {
    if (currentUser == FUserName)
        return;
    if (FEndpoint.isOpen())
        SendDisconnect();
    FEndpoint.close();
    FUserName = currentUser;
}

QString TPresence::LogoutStatusText() {
    return QStringLiteral("Sending Logout Message");
}
