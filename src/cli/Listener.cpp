#include "cli/Listener.h"

#include "cli/OutputQueue.h"
#include "core/Ansi.h"
#include "net/DatagramHandler.h"
#include "net/Presence.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"
#include "platform/MessageBoxes.h"

namespace {

const QByteArray kContinuation("KVPALAVEROPART");

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
QByteArray jsonString(const QString& text) {
    QByteArray out = "\"";
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toLatin1();
            else
                out += QString(c).toUtf8();
        }
    }
    return out + '"';
}

} // namespace

TListener::TListener(const QByteArray& computerName, INetworkInfo& network, IMessageBoxes& boxes,
                     std::FILE* output, QObject* parent)
    : QObject(parent), FBoxes(boxes), FOutput(std::make_unique<TOutputQueue>(fileno(output), OutputCapacity)),
      FTargets(std::make_unique<TTargetList>(computerName)),
      FEndpoint(std::make_unique<TUdpEndpoint>(network, boxes)), FHandler(std::make_unique<TDatagramHandler>()),
      FPresence(std::make_unique<TPresence>(computerName, QString(), *FEndpoint, *FTargets, boxes)) {
    connect(FEndpoint.get(), &TUdpEndpoint::datagramReceived, FHandler.get(), &TDatagramHandler::HandleDatagram);
    FPresence->connectToHandler(*FHandler);
    connect(FHandler.get(), &TDatagramHandler::dataReceived, this, &TListener::onData);
}

TListener::~TListener() = default;

void TListener::setNetworkChanges(TNetworkChanges* changes) {
    FPresence->networkWatch().setChangeSource(changes);
}

bool TListener::start(quint16 port) {
    FEndpoint->setDestinationPort(port);
    FStarted = FPresence->TimerStartUdpTimer(port);
    if (FStarted)
        FPresence->startLonelinessTimer();
    return FStarted;
}

void TListener::stop() {
    if (!FStarted)
        return;
    FStarted = false;
    FHandler->setClosing(true);
    FPresence->lonelinessTimer().stop();
    FPresence->SendDisconnect();
    FEndpoint->close();
    // A reader that keeps up gets the rest; one that does not read holds up nothing.
    FOutput->drain(DrainMs);
    if (const quint64 dropped = FOutput->dropped())
        FBoxes.show(QStringLiteral("%1 empfangene Nachrichten nicht ausgegeben: die Ausgabe wurde nicht gelesen.")
                        .arg(dropped));
}

QByteArray TListener::jsonLine(const QByteArray& sender, const QByteArray& address, const QDateTime& time,
                               const QByteArray& payload) {
    const bool continuation = payload.startsWith(kContinuation);
    const QByteArray text = continuation ? payload.mid(kContinuation.size()) : payload;
    const QDateTime stamp = time.toOffsetFromUtc(time.offsetFromUtc());
    QByteArray line = "{\"from\": " + jsonString(Ansi::toUnicode(sender)) +
                      ", \"address\": " + jsonString(QString::fromLatin1(address)) +
                      ", \"time\": " + jsonString(stamp.toString(Qt::ISODate)) +
                      ", \"text\": " + jsonString(Ansi::toUnicode(text));
    if (continuation)
        line += ", \"continuation\": true";
    return line + '}';
}

void TListener::onData(const QByteArray& payload, const QByteArray& sender) {
    const QDateTime now = FClock ? FClock() : QDateTime::currentDateTime();
    const QByteArray line = jsonLine(sender, FEndpoint->senderIP(), now, payload) + '\n';
    // Said once, at the first message that is lost; the count follows at the end.
    if (!FOutput->push(line) && FOutput->dropped() == 1)
        FBoxes.show(QStringLiteral("Die Ausgabe wird nicht gelesen: empfangene Nachrichten gehen verloren, "
                                   "bis sie wieder gelesen wird."));
}
