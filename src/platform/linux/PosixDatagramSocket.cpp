#include "platform/linux/PosixDatagramSocket.h"

#include "platform/DatagramQueue.h"
#include "platform/SocketAddress.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstring>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcSocket, "palavero.platform.socket", QtInfoMsg)

// Datagrams taken from the kernel with one system call.
constexpr int kBatch = 16;

// Asks the scheduler for short time slices for the calling thread, so that it
// runs soon after it wakes while other threads keep the processors busy: a
// reader that waits its turn for a whole slice lets the kernel's receive buffer
// (a few hundred datagrams for a normal user) overflow. Where the kernel has
// no such setting the thread runs as before.
void preferShortSlices() {
#ifdef SYS_sched_setattr
    struct {
        quint32 size;
        quint32 sched_policy;
        quint64 sched_flags;
        qint32 sched_nice;
        quint32 sched_priority;
        quint64 sched_runtime;
        quint64 sched_deadline;
        quint64 sched_period;
    } attributes{};
    attributes.size = sizeof attributes;
    attributes.sched_policy = 0; // SCHED_OTHER
    attributes.sched_runtime = 100 * 1000; // ns: the shortest slice the kernel allows
    if (::syscall(SYS_sched_setattr, 0, &attributes, 0) != 0)
        qCDebug(lcSocket) << "short time slices not available:" << std::strerror(errno);
#endif
}

void setReceiveBuffer(int fd, int size) {
#ifdef SO_RCVBUFFORCE
    // Beyond the system limit (net.core.rmem_max); allowed with CAP_NET_ADMIN only.
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) == 0)
        return;
#endif
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

} // namespace

// The buffers of one recvmmsg() call: reserved once per reader, touched only
// as datagrams arrive.
struct TReadBatch {
    explicit TReadBatch(int slotSize) : slot(size_t(slotSize)), storage(new char[slot * kBatch]) {}
    void prepare() {
        for (int i = 0; i < kBatch; ++i) {
            iov[i] = {storage.get() + slot * size_t(i), slot};
            std::memset(&headers[i], 0, sizeof headers[i]);
            headers[i].msg_hdr.msg_name = &from[i];
            headers[i].msg_hdr.msg_namelen = sizeof from[i];
            headers[i].msg_hdr.msg_iov = &iov[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
    }
    const size_t slot;
    std::unique_ptr<char[]> storage;
    iovec iov[kBatch];
    mmsghdr headers[kBatch];
    sockaddr_storage from[kBatch];
    std::vector<TReceivedDatagram> taken;
};

TPosixDatagramSocket::TPosixDatagramSocket(int fd, int maxSize, TDatagramQueue& queue)
    : FFd(fd), FMaxSize(maxSize), FQueue(queue) {
    FStopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FStopFd < 0) {
        qCWarning(lcSocket) << "eventfd failed:" << std::strerror(errno) << "- the socket receives nothing";
        return;
    }
    FThread = std::thread([this] { read(); });
}

TPosixDatagramSocket::~TPosixDatagramSocket() {
    if (FThread.joinable()) {
        const quint64 one = 1;
        (void)!::write(FStopFd, &one, sizeof one);
        FThread.join();
    }
    if (FStopFd >= 0)
        ::close(FStopFd);
    ::close(FFd);
}

void TPosixDatagramSocket::read() {
    // One byte more than the longest datagram tells a longer one apart.
    preferShortSlices();
    TReadBatch batch(FMaxSize + 1);
    pollfd waits[2] = {{FFd, POLLIN, 0}, {FStopFd, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcSocket) << "poll failed:" << std::strerror(errno);
            return;
        }
        if (waits[1].revents)
            return;
        if (waits[0].revents & POLLNVAL)
            return;
        drainSocket(batch);
    }
}

void TPosixDatagramSocket::drainSocket(TReadBatch& batch) {
    for (;;) {
        const std::lock_guard lock(FTaking);
        if (!takeBatch(batch))
            return;
    }
}

void TPosixDatagramSocket::takeWaiting() {
    std::unique_lock lock(FTaking, std::try_to_lock);
    if (!lock.owns_lock())
        return; // the reader is taking them
    if (!FHelperBatch)
        FHelperBatch = std::make_unique<TReadBatch>(FMaxSize + 1);
    while (takeBatch(*FHelperBatch)) {
    }
}

bool TPosixDatagramSocket::takeBatch(TReadBatch& batch) {
    for (;;) {
        batch.prepare();
        const int n = ::recvmmsg(FFd, batch.headers, kBatch, MSG_DONTWAIT, nullptr);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Nothing more (EAGAIN), or a reported error such as an ICMP answer
            // to an earlier send: dropped; poll() tells when to read again.
            return false;
        }
        for (int i = 0; i < n; ++i) {
            const mmsghdr& h = batch.headers[i];
            const int length = int(h.msg_len);
            if (length < 1 || length > FMaxSize || (h.msg_hdr.msg_flags & MSG_TRUNC))
                continue;
            batch.taken.push_back({QByteArray(static_cast<const char*>(batch.iov[i].iov_base), length),
                                   SocketAddress::toIpAddress(batch.from[i])});
        }
        FQueue.append(batch.taken);
        return n == kBatch;
    }
}

IDatagramSocket::SendResult TPosixDatagramSocket::send(const QByteArray& bytes, const TIpAddress& to,
                                                       quint16 port) {
    sockaddr_storage address;
    socklen_t length = 0;
    if (!SocketAddress::fromIpAddress(to, port, address, length))
        return SendResult::Failed;
    for (;;) {
        const ssize_t sent = ::sendto(FFd, bytes.constData(), size_t(bytes.size()), 0,
                                      reinterpret_cast<const sockaddr*>(&address), length);
        if (sent == bytes.size())
            return SendResult::Sent;
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == ENETUNREACH || errno == EHOSTUNREACH || errno == ENETDOWN))
            return SendResult::Unreachable;
        return SendResult::Failed;
    }
}

int TPosixDatagramSocket::receiveBufferSize() const {
    int size = 0;
    socklen_t length = sizeof size;
    if (::getsockopt(FFd, SOL_SOCKET, SO_RCVBUF, &size, &length) != 0)
        return 0;
    // The kernel reports twice what it granted (the rest is its bookkeeping).
    return size / 2;
}

std::unique_ptr<IDatagramSocket> OpenDatagramSocket(const TDatagramSocketOptions& options,
                                                    TDatagramQueue& queue, TBindFailure* failure) {
    TBindFailure ignored;
    TBindFailure& why = failure ? *failure : ignored;
    why = TBindFailure::Other;
    const bool v6 = options.family == TIpAddress::Family::IPv6;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (errno == EAFNOSUPPORT)
            why = TBindFailure::FamilyMissing;
        return nullptr;
    }
    const int on = 1;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (v6) {
        // The IPv4 socket takes IPv4; this one only IPv6, on the same port.
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(options.port);
        in6->sin6_addr = in6addr_any;
        length = sizeof *in6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&address);
        in->sin_family = AF_INET;
        in->sin_port = htons(options.port);
        in->sin_addr.s_addr = htonl(INADDR_ANY);
        length = sizeof *in;
    }
    // No SO_REUSEADDR: no other socket can take the port while this one has it.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        // A system with IPv6 switched off has no address to bind.
        if (errno == EADDRNOTAVAIL || errno == EAFNOSUPPORT)
            why = TBindFailure::FamilyMissing;
        ::close(fd);
        return nullptr;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setReceiveBuffer(fd, options.receiveBuffer);
    auto socket = std::make_unique<TPosixDatagramSocket>(fd, options.maxSize, queue);
    if (!socket->isReading())
        return nullptr;
    why = TBindFailure::None;
    return socket;
}
