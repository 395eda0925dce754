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
class TOutputQueue;
class TDatagramHandler;
class TPresence;
class TTargetList;
class TUdpEndpoint;

// palavero --listen: joins the network like the program (connects, answers
// connects with a refresh, repeats the connect while nobody is known,
// disconnects at the end) without a window, and writes every received message
// as one JSON object per line: {"from": …, "address": …, "time": …, "text": …}.
// A continuation of the message before carries "continuation": true. Group
// distributions are not applied: a listener changes no files. The lines wait in
// a bounded queue that a thread of its own writes, so that an output nobody
// reads stops neither presence nor the end; lines that do not fit are dropped,
// said once on standard error when it starts and counted at the end.
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
    // Withdraws this computer and closes the port; the waiting lines get a
    // short time to be written.
    void stop();

    // The most bytes of lines that wait for the output.
    static constexpr qsizetype OutputCapacity = 256 * 1024;
    // How long stop() waits for the waiting lines.
    static constexpr int DrainMs = 300;

    // The JSON line of one received message, without the line break.
    static QByteArray jsonLine(const QByteArray& sender, const QByteArray& address, const QDateTime& time,
                               const QByteArray& payload);

    // The clock of the "time" member; the current local time unless a test sets another.
    void setClock(std::function<QDateTime()> clock) { FClock = std::move(clock); }

private:
    void onData(const QByteArray& payload, const QByteArray& sender);

    IMessageBoxes& FBoxes;
    std::unique_ptr<TOutputQueue> FOutput;
    std::unique_ptr<TTargetList> FTargets;
    std::unique_ptr<TUdpEndpoint> FEndpoint;
    std::unique_ptr<TDatagramHandler> FHandler;
    std::unique_ptr<TPresence> FPresence;
    std::function<QDateTime()> FClock;
    bool FStarted = false;
};
