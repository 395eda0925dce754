#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <optional>

#include <sys/un.h>

class QSocketNotifier;
class QTimer;

// The address of a socket file; nullopt when the path does not fit into
// sun_path (108 bytes with the closing zero).
std::optional<sockaddr_un> UnixSocketAddress(const QString& path);

// A local stream socket for a short exchange that the caller waits for: every
// wait has its own time limit (poll with a deadline, interrupted calls are
// repeated), writing to a peer that has gone raises no SIGPIPE, and the socket
// is not inherited by programs started later. It talks only to a socket file of
// this user's with a process of this user's behind it (SO_PEERCRED).
class TUnixClient {
public:
    enum class TConnect {
        Connected,
        NotFound, // no socket file (or a path too long for a socket)
        Refused,  // a file nobody listens on
        TimedOut, // someone listens but does not accept in time
        Foreign,  // not a socket of this user's, or another user's process behind it
        Failed,   // anything else (no permission, out of descriptors)
    };

    TUnixClient() = default;
    ~TUnixClient();
    TUnixClient(const TUnixClient&) = delete;
    TUnixClient& operator=(const TUnixClient&) = delete;

    TConnect connectTo(const QString& path, int timeoutMs);
    // Writes all bytes; false when the peer is gone or takes none for timeoutMs.
    bool write(const QByteArray& bytes, int timeoutMs);
    // Reads until the peer closes; each wait for more lasts at most timeoutMs.
    // False on a time-out, an error, or when more than maxBytes arrive; what came
    // until then is in data.
    bool readToEnd(QByteArray& data, int timeoutMs, qsizetype maxBytes);
    void close();

private:
    // Waits for the events on the socket; false on time-out or error.
    bool wait(short events, QDeadlineTimer deadline) const;

    int FFd = -1;
};

// One accepted connection of a TUnixServer, without blocking: what arrives is
// gathered (at most the read limit) and reported; an answer is written as the
// peer takes it, and the connection closes once it is out. A connection that
// completes nothing within the idle time is closed. Deletes itself when closed.
class TUnixConnection : public QObject {
    Q_OBJECT
public:
    TUnixConnection(int fd, qsizetype readLimit, int idleMs, QObject* parent);
    ~TUnixConnection() override;

    // What has arrived and not been taken.
    const QByteArray& received() const { return FReceived; }
    QByteArray take(qsizetype size);
    // No more reading and no idle limit: a request is being answered.
    void stopReading();
    // Writes the bytes and then closes.
    void writeAndClose(const QByteArray& bytes);
    // Closes at once, dropping what is unwritten.
    void abort();

Q_SIGNALS:
    // New bytes are in received().
    void readyRead();
    // The connection is closed (it deletes itself next).
    void closed();

private:
    void onReadable();
    void onWritable();
    void close();

    int FFd;
    qsizetype FReadLimit;
    QSocketNotifier* FReadNotifier;
    QSocketNotifier* FWriteNotifier;
    QTimer* FIdle;
    QByteArray FReceived;
    QByteArray FPending;
};

// A listening local stream socket, readable and writable by its user only,
// that accepts without blocking, and only connections of processes of its own
// user (SO_PEERCRED). At most maxConnections are open at a time; further ones
// wait in the system's queue until one closes. The socket file goes when the
// server does.
class TUnixServer : public QObject {
    Q_OBJECT
public:
    enum class TListen { Listening, PathTooLong, AddressInUse, Failed };

    TUnixServer(qsizetype readLimit, int idleMs, int maxConnections, QObject* parent = nullptr);
    ~TUnixServer() override;

    TListen listen(const QString& path);
    QString errorString() const { return FError; }

Q_SIGNALS:
    void newConnection(TUnixConnection* connection);

private:
    void onAcceptable();
    void resumeAccepting();

    qsizetype FReadLimit;
    int FIdleMs;
    int FMaxConnections;
    int FConnections = 0;
    int FFd = -1;
    QString FPath;
    QString FError;
    QSocketNotifier* FNotifier = nullptr;
};
