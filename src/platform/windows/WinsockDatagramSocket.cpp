#include "platform/windows/WinsockDatagramSocket.h"

#include "platform/DatagramQueue.h"
#include "platform/SocketAddress.h"

#include <QLoggingCategory>

#include <vector>

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif
#ifndef WSA_FLAG_NO_HANDLE_INHERIT
#define WSA_FLAG_NO_HANDLE_INHERIT 0x80
#endif

namespace {
Q_LOGGING_CATEGORY(lcSocket, "palavero.platform.socket", QtInfoMsg)

// Datagrams moved into the queue at a time.
constexpr int kBatch = 16;
// How long a send waits for room in a full send buffer.
constexpr int kSendWaitMs = 1000;

// Winsock is started once in the process before its first socket.
bool startWinsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

// The buffer of one reader and the datagrams of the batch being taken.
struct TReadBatch {
    explicit TReadBatch(int size) : buffer(size_t(size)) {}
    std::vector<char> buffer;
    std::vector<TReceivedDatagram> taken;
};

TWinsockDatagramSocket::TWinsockDatagramSocket(quintptr socket, int maxSize, TDatagramQueue& queue)
    : FSocket(socket), FMaxSize(maxSize), FQueue(queue) {
    FReadable = ::WSACreateEvent();
    FStop = ::WSACreateEvent();
    // The socket reads without blocking from here on.
    if (FReadable == WSA_INVALID_EVENT || FStop == WSA_INVALID_EVENT ||
        ::WSAEventSelect(FSocket, FReadable, FD_READ) != 0) {
        qCWarning(lcSocket) << "cannot wait for datagrams, error" << ::WSAGetLastError()
                            << "- the socket receives nothing";
        return;
    }
    FThread = std::thread([this] { read(); });
}

TWinsockDatagramSocket::~TWinsockDatagramSocket() {
    if (FThread.joinable()) {
        ::WSASetEvent(FStop);
        FThread.join();
    }
    for (WSAEVENT event : {FReadable, FStop}) {
        if (event != WSA_INVALID_EVENT)
            ::WSACloseEvent(event);
    }
    ::closesocket(FSocket);
}

void TWinsockDatagramSocket::read() {
    // A datagram longer than the buffer is reported as such (WSAEMSGSIZE).
    TReadBatch batch(FMaxSize);
    const WSAEVENT waits[2] = {FStop, FReadable};
    for (;;) {
        const DWORD woken = ::WSAWaitForMultipleEvents(2, waits, FALSE, WSA_INFINITE, FALSE);
        if (woken == WSA_WAIT_EVENT_0)
            return;
        if (woken != WSA_WAIT_EVENT_0 + 1) {
            qCWarning(lcSocket) << "waiting for datagrams failed, error" << ::WSAGetLastError();
            return;
        }
        // Resets the event; the next datagram to arrive after the socket has
        // been read empty sets it again.
        WSANETWORKEVENTS events;
        ::WSAEnumNetworkEvents(FSocket, FReadable, &events);
        for (;;) {
            const std::lock_guard lock(FTaking);
            if (!takeBatch(batch))
                break;
        }
    }
}

void TWinsockDatagramSocket::takeWaiting() {
    std::unique_lock lock(FTaking, std::try_to_lock);
    if (!lock.owns_lock())
        return; // the reader is taking them
    if (!FHelperBatch)
        FHelperBatch = std::make_unique<TReadBatch>(FMaxSize);
    while (takeBatch(*FHelperBatch)) {
    }
}

bool TWinsockDatagramSocket::takeBatch(TReadBatch& batch) {
    bool full = true;
    for (int i = 0; i < kBatch; ++i) {
        sockaddr_storage from;
        int fromLength = sizeof from;
        const int length = ::recvfrom(FSocket, batch.buffer.data(), FMaxSize, 0, reinterpret_cast<sockaddr*>(&from),
                                      &fromLength);
        if (length == SOCKET_ERROR) {
            const int error = ::WSAGetLastError();
            // A datagram longer than the buffer, or the report that an earlier
            // datagram did not arrive: dropped, and on to the next one.
            if (error == WSAEMSGSIZE || error == WSAECONNRESET || error == WSAENETRESET)
                continue;
            // Nothing more (WSAEWOULDBLOCK), or an error: dropped; the event
            // tells when to read again.
            full = false;
            break;
        }
        if (length > 0)
            batch.taken.push_back({QByteArray(batch.buffer.data(), length), SocketAddress::toIpAddress(from)});
    }
    FQueue.append(batch.taken);
    return full;
}

IDatagramSocket::SendResult TWinsockDatagramSocket::send(const QByteArray& bytes, const TIpAddress& to,
                                                         quint16 port) {
    sockaddr_storage address;
    socklen_t length = 0;
    if (!SocketAddress::fromIpAddress(to, port, address, length))
        return SendResult::Failed;
    for (;;) {
        const int sent = ::sendto(FSocket, bytes.constData(), int(bytes.size()), 0,
                                  reinterpret_cast<const sockaddr*>(&address), length);
        if (sent == bytes.size())
            return SendResult::Sent;
        if (sent != SOCKET_ERROR)
            return SendResult::Failed;
        switch (::WSAGetLastError()) {
        case WSAEWOULDBLOCK: {
            // The socket does not block since it has its event: wait for room as a blocking one would.
            WSAPOLLFD entry{FSocket, POLLWRNORM, 0};
            if (::WSAPoll(&entry, 1, kSendWaitMs) > 0)
                continue;
            return SendResult::Failed;
        }
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN:
            return SendResult::Unreachable;
        default:
            return SendResult::Failed;
        }
    }
}

int TWinsockDatagramSocket::receiveBufferSize() const {
    int size = 0;
    int length = sizeof size;
    if (::getsockopt(FSocket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length) != 0)
        return 0;
    return size;
}

std::unique_ptr<IDatagramSocket> OpenDatagramSocket(const TDatagramSocketOptions& options,
                                                    TDatagramQueue& queue, TBindFailure* failure) {
    TBindFailure ignored;
    TBindFailure& why = failure ? *failure : ignored;
    why = TBindFailure::Other;
    if (!startWinsock())
        return nullptr;
    const bool v6 = options.family == TIpAddress::Family::IPv6;
    // Not inherited by programs started later, which would keep the port.
    const SOCKET fd = ::WSASocketW(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0,
                                   WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (fd == INVALID_SOCKET) {
        if (::WSAGetLastError() == WSAEAFNOSUPPORT)
            why = TBindFailure::FamilyMissing;
        return nullptr;
    }
    const BOOL on = TRUE;
    const auto option = [fd](int level, int name, const void* value, int size) {
        return ::setsockopt(fd, level, name, static_cast<const char*>(value), size) == 0;
    };
    // No other socket can take the port while this one has it, not even one
    // that asks to share it.
    option(SOL_SOCKET, SO_EXCLUSIVEADDRUSE, &on, sizeof on);
    if (v6) // the IPv4 socket takes IPv4; this one only IPv6, on the same port
        option(IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    sockaddr_storage address;
    socklen_t length = 0;
    SocketAddress::fromIpAddress(v6 ? TIpAddress::anyIPv6() : TIpAddress(quint32(INADDR_ANY)), options.port, address, length);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        // A system with IPv6 switched off has no address to bind.
        const int error = ::WSAGetLastError();
        if (error == WSAEADDRNOTAVAIL || error == WSAEAFNOSUPPORT)
            why = TBindFailure::FamilyMissing;
        ::closesocket(fd);
        return nullptr;
    }
    option(SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    option(SOL_SOCKET, SO_RCVBUF, &options.receiveBuffer, sizeof options.receiveBuffer);
    // Without this, an ICMP "port unreachable" answering a datagram we sent
    // would fail the next receive with WSAECONNRESET.
    BOOL reportResets = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(fd, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0, &returned, nullptr, nullptr);
    auto socket = std::make_unique<TWinsockDatagramSocket>(fd, options.maxSize, queue);
    if (!socket->isReading())
        return nullptr;
    why = TBindFailure::None;
    return socket;
}
