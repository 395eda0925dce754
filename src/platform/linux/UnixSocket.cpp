#include "platform/linux/UnixSocket.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcUnixSocket, "palavero.platform.instance", QtInfoMsg)

// Connections waiting to be accepted.
constexpr int kBacklog = 50;
// How long to wait for a listener whose queue of connections is full, and for
// descriptors to become free again, before trying once more.
constexpr int kRetryMs = 10;
constexpr int kOutOfDescriptorsRetryMs = 100;

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Whether the process at the other end of the connected socket runs as this
// process's user (its credentials when it connected or listened).
bool isOwnUsersPeer(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer &&
           peer.uid == ::geteuid();
}

} // namespace

std::optional<sockaddr_un> UnixSocketAddress(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.size() >= qsizetype(sizeof address.sun_path) || native.contains('\0'))
        return std::nullopt;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    return address;
}

// --- TUnixClient -----------------------------------------------------------

TUnixClient::~TUnixClient() {
    close();
}

void TUnixClient::close() {
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
}

TUnixClient::TConnect TUnixClient::connectTo(const QString& path, int timeoutMs) {
    close();
    const std::optional<sockaddr_un> address = UnixSocketAddress(path);
    if (!address)
        return TConnect::NotFound;
    // Only a socket of the user's own, with a process of the user's own behind it.
    struct stat st {};
    if (::lstat(address->sun_path, &st) == 0 && (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()))
        return TConnect::Foreign;
    FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (FFd < 0)
        return TConnect::Failed;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (::connect(FFd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
            if (isOwnUsersPeer(FFd))
                return TConnect::Connected;
            qCDebug(lcUnixSocket) << "not talking to another user's process at" << path;
            close();
            return TConnect::Foreign;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN && !deadline.hasExpired()) {
            // The listener's queue is full: it runs but is busy.
            ::poll(nullptr, 0, int(std::min<qint64>(kRetryMs, deadline.remainingTime())));
            continue;
        }
        close();
        switch (error) {
        case EAGAIN:
            return TConnect::TimedOut;
        case ENOENT:
            return TConnect::NotFound;
        case ECONNREFUSED:
            return TConnect::Refused;
        default:
            return TConnect::Failed;
        }
    }
}

bool TUnixClient::wait(short events, QDeadlineTimer deadline) const {
    pollfd entry{FFd, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, int(deadline.remainingTime()));
        if (ready > 0)
            return true; // also on a hang-up or error, which the next call reports
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool TUnixClient::write(const QByteArray& bytes, int timeoutMs) {
    if (FFd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(FFd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (sent >= 0) {
            done += sent;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN || !wait(POLLOUT, QDeadlineTimer(timeoutMs)))
            return false;
    }
    return true;
}

bool TUnixClient::readToEnd(QByteArray& data, int timeoutMs, qsizetype maxBytes) {
    if (FFd < 0)
        return false;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::recv(FFd, chunk, sizeof chunk, 0);
        if (got > 0) {
            data.append(chunk, got);
            if (data.size() > maxBytes)
                return false;
            continue;
        }
        if (got == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN || !wait(POLLIN, QDeadlineTimer(timeoutMs)))
            return false;
    }
}

// --- TUnixConnection -------------------------------------------------------

TUnixConnection::TUnixConnection(int fd, qsizetype readLimit, int idleMs, QObject* parent)
    : QObject(parent), FFd(fd), FReadLimit(readLimit),
      FReadNotifier(new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this)),
      FWriteNotifier(new QSocketNotifier(qintptr(fd), QSocketNotifier::Write, this)), FIdle(new QTimer(this)) {
    FWriteNotifier->setEnabled(false);
    connect(FReadNotifier, &QSocketNotifier::activated, this, &TUnixConnection::onReadable);
    connect(FWriteNotifier, &QSocketNotifier::activated, this, &TUnixConnection::onWritable);
    FIdle->setSingleShot(true);
    FIdle->setInterval(idleMs);
    connect(FIdle, &QTimer::timeout, this, [this] {
        qCDebug(lcUnixSocket) << "closing a connection that did not finish in time";
        abort();
    });
    FIdle->start();
}

TUnixConnection::~TUnixConnection() {
    if (FFd >= 0)
        ::close(FFd);
}

QByteArray TUnixConnection::take(qsizetype size) {
    const QByteArray part = FReceived.left(size);
    FReceived.remove(0, part.size());
    return part;
}

void TUnixConnection::stopReading() {
    FReadNotifier->setEnabled(false);
    FIdle->stop();
}

void TUnixConnection::onReadable() {
    bool ended = false;
    const qsizetype before = FReceived.size();
    char chunk[16384];
    while (FReceived.size() < FReadLimit) {
        const size_t room = size_t(std::min<qsizetype>(qsizetype(sizeof chunk), FReadLimit - FReceived.size()));
        const ssize_t got = ::recv(FFd, chunk, room, 0);
        if (got > 0) {
            FReceived.append(chunk, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        ended = !(got < 0 && errno == EAGAIN); // closed by the peer, or broken
        break;
    }
    // Full: whoever reads decides before more is taken.
    if (FReceived.size() >= FReadLimit)
        FReadNotifier->setEnabled(false);
    if (FReceived.size() > before)
        Q_EMIT readyRead();
    // Unless a request is being answered, a connection the peer has left is done.
    if (ended && FFd >= 0 && FReadNotifier->isEnabled())
        close();
}

void TUnixConnection::writeAndClose(const QByteArray& bytes) {
    if (FFd < 0)
        return;
    stopReading();
    FPending += bytes;
    onWritable();
}

void TUnixConnection::onWritable() {
    while (!FPending.isEmpty()) {
        const ssize_t sent = ::send(FFd, FPending.constData(), size_t(FPending.size()), MSG_NOSIGNAL);
        if (sent >= 0) {
            FPending.remove(0, sent);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            // The peer reads slowly: go on when it has, within the idle time.
            FWriteNotifier->setEnabled(true);
            FIdle->start();
            return;
        }
        qCDebug(lcUnixSocket) << "the peer left before the answer was written:" << errorText(errno);
        break;
    }
    close();
}

void TUnixConnection::abort() {
    FPending.clear();
    close();
}

void TUnixConnection::close() {
    if (FFd < 0)
        return;
    FReadNotifier->setEnabled(false);
    FWriteNotifier->setEnabled(false);
    FIdle->stop();
    ::close(FFd);
    FFd = -1;
    Q_EMIT closed();
    deleteLater();
}

// --- TUnixServer -----------------------------------------------------------

TUnixServer::TUnixServer(qsizetype readLimit, int idleMs, int maxConnections, QObject* parent)
    : QObject(parent), FReadLimit(readLimit), FIdleMs(idleMs), FMaxConnections(maxConnections) {}

TUnixServer::~TUnixServer() {
    if (FFd < 0)
        return;
    delete FNotifier;
    ::close(FFd);
    QFile::remove(FPath);
}

TUnixServer::TListen TUnixServer::listen(const QString& path) {
    const std::optional<sockaddr_un> address = UnixSocketAddress(path);
    if (!address) {
        FError = QStringLiteral("the path is too long for a local socket");
        return TListen::PathTooLong;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        FError = errorText(errno);
        return TListen::Failed;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        const int error = errno;
        ::close(fd);
        FError = errorText(error);
        return error == EADDRINUSE ? TListen::AddressInUse : TListen::Failed;
    }
    // The user only (rwx------), set before anyone can connect.
    if (::chmod(address->sun_path, S_IRWXU) != 0 || ::listen(fd, kBacklog) != 0) {
        FError = errorText(errno);
        ::close(fd);
        ::unlink(address->sun_path);
        return TListen::Failed;
    }
    FFd = fd;
    FPath = path;
    FNotifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TUnixServer::onAcceptable);
    return TListen::Listening;
}

void TUnixServer::onAcceptable() {
    while (FConnections < FMaxConnections) {
        const int fd = ::accept4(FFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            if (!isOwnUsersPeer(fd)) {
                qCDebug(lcUnixSocket) << "refusing a connection of another user";
                ::close(fd);
                continue;
            }
            auto* connection = new TUnixConnection(fd, FReadLimit, FIdleMs, this);
            ++FConnections;
            connect(connection, &TUnixConnection::closed, this, [this] {
                --FConnections;
                resumeAccepting();
            });
            Q_EMIT newConnection(connection);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // The connection waits in the queue; asking again at once would spin.
            qCDebug(lcUnixSocket) << "cannot accept now:" << errorText(errno);
            FNotifier->setEnabled(false);
            QTimer::singleShot(kOutOfDescriptorsRetryMs, this, &TUnixServer::resumeAccepting);
        }
        return;
    }
    // Full: the next connections wait in the system's queue until one closes.
    FNotifier->setEnabled(false);
}

void TUnixServer::resumeAccepting() {
    if (FNotifier && FConnections < FMaxConnections)
        FNotifier->setEnabled(true);
}
