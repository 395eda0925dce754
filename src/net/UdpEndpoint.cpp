#include "net/UdpEndpoint.h"

#include "core/Ansi.h"
#include "net/Datagram.h"
#include "net/HostName.h"

#include "net/NetLog.h"
#include "platform/FreedMemory.h"
#include "platform/HostLookup.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QThread>
#include <QTimer>

namespace {

const QString kLimitedBroadcast = QStringLiteral("255.255.255.255");
// Asked of the kernel so that a burst of presence answers is not dropped
// before the reader takes it; the kernel may grant less.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;
// How long the local address list of the own-datagram filter is reused.
constexpr qint64 kLocalAddressAgeMs = 1000;
// Datagrams handled in one run between two looks at the sockets.
constexpr int kHelpReadersEvery = 32;
// A receive backlog after which freed memory is given back to the system.
constexpr qsizetype kReleaseAfterBacklog = 4 * 1024 * 1024;

} // namespace

TUdpEndpoint::TUdpEndpoint(INetworkInfo& net, IMessageBoxes& boxes, QObject* parent)
    : QObject(parent), FNet(net), FBoxes(boxes) {
    // Presence datagrams are handed on ahead of a stream of data or groups
    // datagrams, so that a peer's connect is answered while they pour in.
    FQueue.setUrgency(&Datagram::isPresence);
    // Queued: the readers append on their own threads.
    connect(&FQueue, &TDatagramQueue::arrived, this, &TUdpEndpoint::drain, Qt::QueuedConnection);
    FModalPoll.setInterval(kModalPollMs);
    connect(&FModalPoll, &QTimer::timeout, this, &TUdpEndpoint::drain);
}

TUdpEndpoint::~TUdpEndpoint() {
    close();
}

void TUdpEndpoint::configure(quint16 port) {
    FPort = port;
    FReadHandler = true;
}

std::unique_ptr<IDatagramSocket> TUdpEndpoint::bindSocket(TIpAddress::Family family, TBindFailure* failure) {
    TDatagramSocketOptions options;
    options.family = family;
    options.port = FPort;
    options.maxSize = int(Datagram::kBufferSize);
    options.receiveBuffer = kReceiveBuffer;
    return OpenDatagramSocket(options, FQueue, failure);
}

bool TUdpEndpoint::open() {
    if (isOpen())
        return true;
    close();
    FSocket4 = bindSocket(TIpAddress::Family::IPv4);
    if (!FSocket4)
        return false;
    if (!FBufferNoted) {
        FBufferNoted = true;
        const QString note = SmallReceiveBufferNote(FSocket4->receiveBufferSize(), kReceiveBuffer);
        if (!note.isEmpty())
            qCInfo(lcPalaveroNet).noquote() << note;
    }
    // Without IPv6 on the system the endpoint works on IPv4 alone; a port taken
    // on IPv6 is taken.
    TBindFailure failure = TBindFailure::None;
    FSocket6 = bindSocket(TIpAddress::Family::IPv6, &failure);
    if (!FSocket6 && failure != TBindFailure::FamilyMissing) {
        close();
        return false;
    }
    FLocalCacheAge.invalidate();
    return true;
}

void TUdpEndpoint::close() {
    // The readers have ended when the sockets are gone; nothing is queued after this.
    FSocket4.reset();
    FSocket6.reset();
    FQueue.clear();
}

bool TUdpEndpoint::isOpen() const {
    return FSocket4 != nullptr;
}

int TUdpEndpoint::receiveBufferSize() const {
    return FSocket4 ? FSocket4->receiveBufferSize() : 0;
}

QString TUdpEndpoint::SmallReceiveBufferNote(int granted, int asked) {
    if (granted <= 0 || granted >= asked)
        return {};
    return QStringLiteral("The receive buffer is %1 KiB of the %2 KiB asked for: a burst of answers from "
                          "a large network may be lost (5 000 computers answering one connect need about "
                          "1 MiB). An administrator raises the limit with: sysctl -w net.core.rmem_max=%3")
        .arg(granted / 1024)
        .arg(asked / 1024)
        .arg(asked);
}

QStringList TUdpEndpoint::BroadcastAddresses(const QList<TInterfaceAddress>& local) {
    QStringList list;
    for (const TInterfaceAddress& entry : local) {
        quint32 ip = 0;
        if (!entry.address.toIPv4(ip))
            continue;
        // An unknown prefix (-1) counts as a /24 network.
        const int prefix = entry.prefixLength < 0 ? 24 : entry.prefixLength;
        if (prefix >= 31) {
            // Point-to-point and host routes have no directed broadcast address.
            list << kLimitedBroadcast;
            continue;
        }
        const quint32 mask = prefix == 0 ? 0u : ~quint32(0) << (32 - prefix);
        list << TIpAddress(ip | ~mask).toString();
    }
    if (list.isEmpty())
        return {kLimitedBroadcast};
    list.sort();
    list.removeDuplicates();
    return list;
}

QStringList TUdpEndpoint::LocalAddresses(const QList<TInterfaceAddress>& local) {
    QStringList list;
    for (const TInterfaceAddress& entry : local) {
        if (entry.address.isIPv4())
            list << entry.address.toString();
    }
    list.removeDuplicates();
    return list;
}

bool TUdpEndpoint::resolve(const QByteArray& host, TIpAddress& address) const {
    if (HostName::isDottedIPv4(host)) {
        address = TIpAddress::parse(host);
        return true;
    }
    if (host.isEmpty())
        return false;
    // An IPv6 peer is listed by its address with its zone ("fe80::1%eth0"),
    // which a name lookup would lose.
    if (host.contains(':')) {
        address = TIpAddress::parse(host);
        return address.isIPv6();
    }
    address = HostLookup::firstIPv4(Ansi::toUnicode(host));
    return !address.isNull();
}

bool TUdpEndpoint::SendDatagram(const QByteArray& host, const QByteArray& text) {
    if (text.size() + Datagram::kHeadroom > Datagram::kBufferSize) {
        FBoxes.show(QString::fromUtf16(Datagram::kTooLongText));
        return false;
    }
    if (!isOpen() && !open())
        return false;
    const quint16 port = destinationPort();

    if (host == "*") {
        const QList<TIpAddress> targets = broadcastTargets();
        bool ok = true;
        bool unreachableOnly = true;
        for (const TIpAddress& target : targets) {
            // Pending events run after each send and may close the endpoint.
            if (!isOpen()) {
                ok = unreachableOnly = false;
                break;
            }
            if (!sendTo(*FSocket4, text, target)) {
                ok = false;
                unreachableOnly = unreachableOnly && FLastSendUnreachable;
            }
            QCoreApplication::processEvents();
        }
        FLastSendUnreachable = !ok && unreachableOnly;
        return ok;
    }

    FLastSendUnreachable = false;
    TIpAddress address;
    if (!resolve(host, address) || !isOpen())
        return false;
    if (address.isIPv6())
        return FSocket6 && sendTo(*FSocket6, text, address);
    return sendTo(*FSocket4, text, address);
}

bool TUdpEndpoint::sendTo(IDatagramSocket& socket, const QByteArray& wire, const TIpAddress& to) {
    const IDatagramSocket::SendResult result = socket.send(wire, to, destinationPort());
    FLastSendUnreachable = result == IDatagramSocket::SendResult::Unreachable;
    return result == IDatagramSocket::SendResult::Sent;
}

void TUdpEndpoint::drain() {
    // A handler that lets pending events run (a broadcast send) may get here
    // again: then the datagrams stay queued, and the outer loop hands them on in
    // order. A modal loop opened by a handler (a message box) is a deeper event
    // loop: there the datagrams that arrive are handed on at once, in arrival
    // order, as in every other modal loop.
    const int level = QThread::currentThread()->loopLevel();
    if (FDraining && level <= FDrainLevel)
        return;
    const bool outermost = !FDraining;
    const QScopedValueRollback guard(FDraining, true);
    const QScopedValueRollback levelGuard(FDrainLevel, level);
    // The queue announces arrivals only once until it is found empty, and the
    // announcement may be spent by a handler's pending events; while a handler
    // runs, the poll looks again from any modal loop it opens.
    if (outermost)
        FModalPoll.start();
    TReceivedDatagram next;
    int handled = 0;
    while (FQueue.take(next)) {
        // With the form defaults (no read handler) datagrams are dropped unseen.
        if (FReadHandler)
            MyIdUDPServer1UDPRead(next.bytes, next.sender);
        // In a long run the GUI thread lends the readers a hand: a reader that
        // the scheduler keeps waiting behind a busy processor would let the
        // kernel's buffer overflow.
        if (++handled % kHelpReadersEvery == 0) {
            for (IDatagramSocket* socket : {FSocket4.get(), FSocket6.get()}) {
                if (socket)
                    socket->takeWaiting();
            }
            reportDropped(true);
        }
    }
    if (outermost) {
        FModalPoll.stop();
        // A backlog of many megabytes was allocated by the readers' threads,
        // whose arenas would keep it.
        if (FQueue.takePeakBytes() >= kReleaseAfterBacklog)
            ReleaseFreedMemory();
    }
    reportDropped();
}

void TUdpEndpoint::reportDropped(bool inRun) {
    const quint64 dropped = FQueue.dropped();
    if (dropped == FReportedDrops || (inRun && FSinceDropReport.isValid() && FSinceDropReport.elapsed() < 1000))
        return;
    FSinceDropReport.start();
    qCWarning(lcPalaveroNet).nospace()
        << "receive queue full (" << FQueue.limit() / (1024 * 1024) << " MiB): " << dropped - FReportedDrops
        << " datagrams dropped, " << dropped << " in all";
    FReportedDrops = dropped;
}

const QList<TIpAddress>& TUdpEndpoint::broadcastTargets() {
    // Every connect is answered by a broadcast: when many computers start at
    // once, a look at the interfaces for each answer (tens of microseconds)
    // would be most of the work.
    if (!FDraining || !FLocalCacheAge.isValid() || FLocalCacheAge.elapsed() > kLocalAddressAgeMs)
        noteLocal(FNet.localIPv4());
    return FBroadcastTargets;
}

void TUdpEndpoint::noteLocal(const QList<TInterfaceAddress>& local) {
    FBroadcastTargets.clear();
    for (const QString& target : BroadcastAddresses(local))
        FBroadcastTargets << TIpAddress::parse(target.toLatin1());
    FOwnAddresses.clear();
    FNetworkEdges.clear();
    for (const TInterfaceAddress& entry : local) {
        quint32 ip = 0;
        if (!entry.address.toIPv4(ip))
            continue;
        FOwnAddresses << ip;
        const int prefix = entry.prefixLength < 0 ? 24 : entry.prefixLength;
        if (prefix > 0 && prefix < 31) {
            const quint32 mask = ~quint32(0) << (32 - prefix);
            FNetworkEdges << (ip & mask) << (ip | ~mask);
        }
    }
    FLocalCacheAge.start();
}

bool TUdpEndpoint::dropsSender(const TIpAddress& sender) {
    if (!FLocalCacheAge.isValid()) {
        noteLocal(FNet.localIPv4());
    } else if (FLocalCacheAge.elapsed() > kLocalAddressAgeMs && !FLocalRefreshQueued) {
        // The first datagram after a quiet while is judged by the addresses
        // known (every send of the program looks at them anew); they are
        // looked at again after it, not before it is shown.
        FLocalRefreshQueued = true;
        QTimer::singleShot(0, this, [this] {
            FLocalRefreshQueued = false;
            noteLocal(FNet.localIPv4());
        });
    }
    quint32 ip = 0;
    if (!sender.toIPv4(ip))
        return sender.isMulticast() || sender.isAnyIPv6() || sender.isNull();
    const bool multicast = (ip >> 28) == 0xE;
    return ip == 0 || ip == 0xFFFFFFFFu || multicast || FOwnAddresses.contains(ip) ||
           FNetworkEdges.contains(ip);
}

void TUdpEndpoint::MyIdUDPServer1UDPRead(const QByteArray& bytes, const TIpAddress& sender) {
    if (dropsSender(sender))
        return;
    // Datagrams come in runs from one computer: its text is made once.
    if (sender != FSenderAddress || FSenderIP.isEmpty()) {
        FSenderIP = sender.toText();
        FSenderAddress = sender;
    }
    Q_EMIT datagramReceived(bytes);
}
