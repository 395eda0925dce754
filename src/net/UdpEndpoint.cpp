#include "net/UdpEndpoint.h"

#include "core/Ansi.h"
#include "net/Datagram.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QScopedValueRollback>
#include <QUdpSocket>

#include <algorithm>

#include <cerrno>

#include <sys/socket.h>

namespace {

const QString kLimitedBroadcast = QStringLiteral("255.255.255.255");
// Asked of the kernel so that a burst of presence answers is not dropped; the
// kernel may grant less.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;
// How long the local address list of the own-datagram filter is reused.
constexpr qint64 kLocalAddressAgeMs = 1000;

void enlargeReceiveBuffer(QUdpSocket& socket) {
    const auto fd = socket.socketDescriptor();
    if (fd < 0)
        return;
    const int size = kReceiveBuffer;
#ifdef SO_RCVBUFFORCE
    // Beyond the system limit; allowed with CAP_NET_ADMIN only.
    if (::setsockopt(int(fd), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) == 0)
        return;
#endif
    ::setsockopt(int(fd), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

bool isDottedIPv4(const QByteArray& host) {
    if (host.count('.') != 3)
        return false;
    QHostAddress address;
    return address.setAddress(QString::fromLatin1(host)) &&
           address.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

TUdpEndpoint::TUdpEndpoint(INetworkInfo& net, IMessageBoxes& boxes, QObject* parent)
    : QObject(parent), FNet(net), FBoxes(boxes), FReadBuffer(Datagram::kBufferSize + 1, Qt::Uninitialized) {}

TUdpEndpoint::~TUdpEndpoint() {
    close();
}

void TUdpEndpoint::configure(quint16 port) {
    FPort = port;
    FReadHandler = true;
}

QUdpSocket* TUdpEndpoint::bindSocket(const QHostAddress& any) {
    auto* socket = new QUdpSocket(this);
    // DontShareAddress alone: no SO_REUSEADDR, so no other socket can take the port.
    if (!socket->bind(any, FPort, QAbstractSocket::DontShareAddress)) {
        delete socket;
        return nullptr;
    }
    const auto fd = socket->socketDescriptor();
    const int on = 1;
    ::setsockopt(int(fd), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    enlargeReceiveBuffer(*socket);
    connect(socket, &QUdpSocket::readyRead, this, [this, socket] {
        readSocket(socket);
        drain();
    });
    return socket;
}

bool TUdpEndpoint::open() {
    if (isOpen())
        return true;
    close();
    FSocket4 = bindSocket(QHostAddress::AnyIPv4);
    if (!FSocket4)
        return false;
    // Without IPv6 on the system this binding fails; the endpoint works on IPv4.
    FSocket6 = bindSocket(QHostAddress::AnyIPv6);
    FLocalCacheAge.invalidate();
    // Datagrams that arrived between the binding and now are announced by readyRead.
    return true;
}

void TUdpEndpoint::close() {
    for (QPointer<QUdpSocket>* socket : {&FSocket4, &FSocket6}) {
        if (QUdpSocket* s = socket->data()) {
            s->disconnect(this);
            s->close();
            // It may be the one whose readyRead is on the stack.
            s->deleteLater();
        }
        *socket = nullptr;
    }
    FQueue.clear();
}

bool TUdpEndpoint::isOpen() const {
    return FSocket4 && FSocket4->state() == QAbstractSocket::BoundState;
}

int TUdpEndpoint::receiveBufferSize() const {
    if (!isOpen())
        return 0;
    int size = 0;
    socklen_t length = sizeof size;
    if (::getsockopt(int(FSocket4->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &size, &length) != 0)
        return 0;
    return size;
}

QStringList TUdpEndpoint::BroadcastAddresses(const QList<TInterfaceAddress>& local) {
    QStringList list;
    for (const TInterfaceAddress& entry : local) {
        bool ok = false;
        const quint32 ip = entry.address.toIPv4Address(&ok);
        if (!ok)
            continue;
        // An unknown prefix (-1) counts as a /24 network.
        const int prefix = entry.prefixLength < 0 ? 24 : entry.prefixLength;
        if (prefix >= 31) {
            // Point-to-point and host routes have no directed broadcast address.
            list << kLimitedBroadcast;
            continue;
        }
        const quint32 mask = prefix == 0 ? 0u : ~quint32(0) << (32 - prefix);
        list << QHostAddress(ip | ~mask).toString();
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
        if (entry.address.protocol() == QAbstractSocket::IPv4Protocol)
            list << entry.address.toString();
    }
    list.removeDuplicates();
    return list;
}

bool TUdpEndpoint::resolve(const QByteArray& host, QHostAddress& address) const {
    if (isDottedIPv4(host)) {
        address.setAddress(QString::fromLatin1(host));
        return true;
    }
    if (host.isEmpty())
        return false;
    const QHostInfo info = QHostInfo::fromName(Ansi::toUnicode(host));
    if (info.error() != QHostInfo::NoError)
        return false;
    const auto addresses = info.addresses();
    const auto it = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
        return a.protocol() == QAbstractSocket::IPv4Protocol;
    });
    if (it == addresses.end())
        return false;
    address = *it;
    return true;
}

bool TUdpEndpoint::SendDatagram(const QByteArray& host, const QByteArray& text) {
    if (text.size() + Datagram::kHeadroom > Datagram::kBufferSize) {
        FBoxes.show(QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!"));
        return false;
    }
    if (!isOpen() && !open())
        return false;
    const quint16 port = destinationPort();

    if (host == "*") {
        const QList<TInterfaceAddress> local = FNet.localIPv4();
        noteLocal(local);
        const QByteArray wire = Ansi::toWireBroadcast(text);
        bool ok = true;
        for (const QString& target : BroadcastAddresses(local)) {
            // Pending events run after each send and may close the endpoint.
            if (!isOpen()) {
                ok = false;
                break;
            }
            if (FSocket4->writeDatagram(wire, QHostAddress(target), port) != wire.size())
                ok = false;
            QCoreApplication::processEvents();
        }
        return ok;
    }

    QHostAddress address;
    if (!resolve(host, address) || !isOpen())
        return false;
    const QByteArray wire = Ansi::toWireUnicast(text);
    return FSocket4->writeDatagram(wire, address, port) == wire.size();
}

void TUdpEndpoint::accept(qint64 n, const QHostAddress& sender) {
    // Errors, empty datagrams and datagrams longer than the buffer are dropped;
    // with the form defaults (no read handler) everything is dropped unseen.
    if (n <= 0 || n > Datagram::kBufferSize || !FReadHandler)
        return;
    FQueue.enqueue({QByteArray(FReadBuffer.constData(), n), sender});
}

void TUdpEndpoint::readSocket(QUdpSocket* socket) {
    if (!socket)
        return;
    const int fd = int(socket->socketDescriptor());
    for (;;) {
        // Straight from the socket: one system call per datagram.
        for (;;) {
            sockaddr_storage from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(fd, FReadBuffer.data(), size_t(FReadBuffer.size()), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                break; // nothing more (or a pending error, which Qt's read below clears)
            }
            accept(n, QHostAddress(reinterpret_cast<const sockaddr*>(&from)));
        }
        // Qt announces the next datagram only after a read through it; that read
        // finds nothing (a temporary error) unless a datagram has just arrived.
        QHostAddress sender;
        const qint64 n = socket->readDatagram(FReadBuffer.data(), FReadBuffer.size(), &sender);
        if (n < 0 && (socket->error() == QAbstractSocket::TemporaryError || !socket->hasPendingDatagrams()))
            break;
        accept(n, sender);
    }
}

void TUdpEndpoint::readPending() {
    readSocket(FSocket4);
    readSocket(FSocket6);
}

void TUdpEndpoint::drain() {
    // A handler that lets events run may get here again: then the datagrams are
    // only queued, and the outer loop hands them on in order.
    if (FDraining)
        return;
    // The endpoint must not be deleted from inside datagramReceived (deleteLater).
    QScopedValueRollback guard(FDraining, true);
    for (;;) {
        if (FQueue.isEmpty()) {
            // A socket whose readyRead is already on the stack does not announce
            // new datagrams again; look for them here.
            readPending();
            if (FQueue.isEmpty())
                break;
        }
        const Pending next = FQueue.dequeue();
        MyIdUDPServer1UDPRead(next.bytes, next.sender);
    }
}

void TUdpEndpoint::noteLocal(const QList<TInterfaceAddress>& local) {
    FOwnAddresses.clear();
    FNetworkEdges.clear();
    for (const TInterfaceAddress& entry : local) {
        bool ok = false;
        const quint32 ip = entry.address.toIPv4Address(&ok);
        if (!ok)
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

bool TUdpEndpoint::dropsSender(const QHostAddress& sender) {
    if (!FLocalCacheAge.isValid() || FLocalCacheAge.elapsed() > kLocalAddressAgeMs)
        noteLocal(FNet.localIPv4());
    bool isIPv4 = false;
    const quint32 ip = sender.toIPv4Address(&isIPv4);
    if (!isIPv4)
        return sender.isMulticast() || sender == QHostAddress(QHostAddress::AnyIPv6) || sender.isNull();
    const bool multicast = (ip >> 28) == 0xE;
    return ip == 0 || ip == 0xFFFFFFFFu || multicast || FOwnAddresses.contains(ip) ||
           FNetworkEdges.contains(ip);
}

void TUdpEndpoint::MyIdUDPServer1UDPRead(const QByteArray& bytes, const QHostAddress& sender) {
    if (dropsSender(sender))
        return;
    FSenderIP = addressText(sender);
    Q_EMIT datagramReceived(Ansi::fromWire(bytes));
}

QByteArray TUdpEndpoint::addressText(const QHostAddress& address) {
    bool isIPv4 = false;
    const quint32 ip = address.toIPv4Address(&isIPv4);
    if (!isIPv4 || address.protocol() != QAbstractSocket::IPv4Protocol)
        return address.toString().toLatin1();
    // Dotted text without going through QString: this runs for every datagram.
    char buffer[16];
    char* p = buffer;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned octet = (ip >> shift) & 0xFF;
        if (octet >= 100)
            *p++ = char('0' + octet / 100);
        if (octet >= 10)
            *p++ = char('0' + octet / 10 % 10);
        *p++ = char('0' + octet % 10);
        if (shift)
            *p++ = '.';
    }
    return QByteArray(buffer, p - buffer);
}
