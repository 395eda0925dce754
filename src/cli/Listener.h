#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <cstdio>
#include <functional>
#include <memory>

class IMessageBoxes;
class INetworkInfo;
class TNetworkChanges;
class TDatagramHandler;
class TPresence;
class TTargetList;
class TUdpEndpoint;

// palavero --listen: joins the network like the program (connects, answers
// connects with a refresh, repeats the connect while nobody is known,
// disconnects at the end) without a window, and writes every received message
// as one JSON object per line: {"from": …, "address": …, "time": …, "text": …}.
// A continuation of the message before carries "continuation": true. Group
// distributions are not applied: a listener changes no files.
class TListener : public QObject {
    Q_OBJECT
public:
    TListener(const QByteArray& computerName, INetworkInfo& network, IMessageBoxes& boxes,
              std::FILE* output = stdout, QObject* parent = nullptr);
    ~TListener() override;

    // The system's reports of network changes, for a start without a network (not owned).
    void setNetworkChanges(TNetworkChanges* changes);
    // Opens the port and announces this computer; false (with the message of a
    // port that cannot be set up) when the port cannot be opened.
    bool start(quint16 port);
    // Withdraws this computer and closes the port.
    void stop();

    // The JSON line of one received message, without the line break.
    static QByteArray jsonLine(const QByteArray& sender, const QByteArray& address, const QDateTime& time,
                               const QByteArray& payload);

    // The clock of the "time" member; the current local time unless a test sets another.
    void setClock(std::function<QDateTime()> clock) { FClock = std::move(clock); }

private:
    void onData(const QByteArray& payload, const QByteArray& sender);

    std::FILE* FOutput;
    std::unique_ptr<TTargetList> FTargets;
    std::unique_ptr<TUdpEndpoint> FEndpoint;
    std::unique_ptr<TDatagramHandler> FHandler;
    std::unique_ptr<TPresence> FPresence;
    std::function<QDateTime()> FClock;
    bool FStarted = false;
};
