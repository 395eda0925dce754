// The single-instance socket against clients that do what the program's own
// second start never does: requests in pieces, silence, early hang-ups, too
// much, a listener that does not accept, a path too long for a socket.
#include "common/TestMain.h"

#include "platform/linux/LocalSocketSingleInstance.h"
#include "platform/linux/UnixSocket.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A blocking client socket of the test's own, connected to path (-1 if not).
int ConnectRaw(const QString& path) {
    const std::optional<sockaddr_un> address = UnixSocketAddress(path);
    if (!address)
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Waits up to timeoutMs for the peer to close; what it sent before is in answer.
// False when it is still open.
bool ReadUntilClosed(int fd, QByteArray& answer, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    for (;;) {
        if (::poll(&entry, 1, timeoutMs) <= 0)
            return false;
        char chunk[4096];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno == ECONNRESET))
            return true;
        if (got > 0)
            answer.append(chunk, got);
    }
}

// The descriptors the process holds.
std::set<int> OpenDescriptors() {
    std::set<int> fds;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& entry : entries)
        fds.insert(entry.toInt());
    return fds;
}

QByteArray Request(const QByteArray& recipient, const QByteArray& text) {
    return TLocalSocketSingleInstance::sendRequestBytes(recipient, text);
}

// The user that the tests run as another user become.
constexpr uid_t kOtherUser = 65534;

// Runs `body` in a child process as kOtherUser; the child's exit status (-1 when
// it could not become that user). `body` uses system calls only.
template <typename Body> pid_t RunAsOtherUser(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 || ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0)
            ::_exit(255);
        ::_exit(body());
    }
    return child;
}

} // namespace

class TestUnixSocket : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestsInPieces_data();
    void requestsInPieces();
    void badSendRequests_data();
    void badSendRequests();
    void silentClientIsClosedAndOthersAreServed();
    void clientGoneBeforeTheAnswer();
    void busyListenerCountsAsRunning();
    void pathTooLongForASocket();
    void socketsAreNotInherited();
    void connectionsAreCapped();
    void runtimeFolder_data();
    void runtimeFolder();
    void otherUsersAreNotTalkedTo();

private:
    QString path(const char* name) const { return QDir(FDir.path()).filePath(QString::fromLatin1(name)); }
    QTemporaryDir FDir;
};

void TestUnixSocket::requestsInPieces_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<int>>("cuts");
    QTest::addColumn<bool>("send");
    const QByteArray show = TLocalSocketSingleInstance::showRequestBytes();
    const QByteArray send = Request("PC1", "Gr\xfc\xdf" "e\r\n" + QByteArray(3000, 'x'));
    QTest::newRow("show request, byte by byte") << show << QList<int>{1, 2, 3, 4} << false;
    QTest::newRow("send: inside the tag") << send << QList<int>{2} << true;
    QTest::newRow("send: inside the lengths") << send << QList<int>{7, 11} << true;
    QTest::newRow("send: between recipient and text") << send << QList<int>{13 + 3} << true;
    QTest::newRow("send: inside the text, one byte short") << send << QList<int>{100, int(send.size()) - 1} << true;
    const QByteArray largest = Request(QByteArray(TLocalSocketSingleInstance::MaxRecipientBytes, 'r'),
                                       QByteArray(TLocalSocketSingleInstance::MaxTextBytes, 't'));
    QTest::newRow("send: the largest request, in halves") << largest << QList<int>{int(largest.size() / 2)} << true;
}

void TestUnixSocket::requestsInPieces() {
    QFETCH(QByteArray, request);
    QFETCH(QList<int>, cuts);
    QFETCH(bool, send);
    TLocalSocketSingleInstance instance(path("pieces.sock"));
    QVERIFY(instance.tryBecomePrimary());
    QSignalSpy shown(&instance, &TSingleInstance::showRequested);
    QList<QByteArray> handed;
    instance.setMessageHandler([&](const QByteArray& recipient, const QByteArray& text) {
        handed << recipient + '|' + text;
        return TSingleInstance::TMessageReply{true, QString()};
    });

    // The pieces come with pauses, so that each is read on its own.
    QByteArray answer;
    std::atomic<bool> done = false;
    std::thread client([&] {
        const int fd = ConnectRaw(instance.socketPath());
        int from = 0;
        for (const int cut : cuts + QList<int>{int(request.size())}) {
            for (int at = from; at < cut;) {
                const ssize_t sent = ::send(fd, request.constData() + at, size_t(cut - at), MSG_NOSIGNAL);
                if (sent <= 0)
                    break;
                at += int(sent);
            }
            from = cut;
            std::this_thread::sleep_for(30ms);
        }
        ReadUntilClosed(fd, answer, 5000);
        ::close(fd);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    client.join();

    if (send) {
        QCOMPARE(shown.count(), 0);
        QCOMPARE(handed.size(), 1);
        const quint32 recipientSize = qFromBigEndian<quint32>(request.constData() + 5);
        QCOMPARE(handed.constFirst(), request.mid(13, recipientSize) + '|' + request.mid(13 + recipientSize));
        QCOMPARE(answer, QByteArray("OK\n"));
    } else {
        QCOMPARE(shown.count(), 1);
        QVERIFY(handed.isEmpty());
    }
}

void TestUnixSocket::badSendRequests_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("handled");
    QTest::addColumn<QByteArray>("answer");
    const QByteArray valid = Request("PC1", "Hallo");
    QByteArray tooLong = Request("PC1", "Hallo");
    qToBigEndian<quint32>(TLocalSocketSingleInstance::MaxTextBytes + 1, tooLong.data() + 9);
    QByteArray huge = Request("PC1", "Hallo");
    qToBigEndian<quint32>(0xffffffffu, huge.data() + 5);
    QTest::newRow("text longer than allowed") << tooLong << false << QByteArray();
    QTest::newRow("lengths near 4 GiB") << huge << false << QByteArray();
    QTest::newRow("hang-up before the text is complete") << valid.left(valid.size() - 2) << false << QByteArray();
    QTest::newRow("hang-up inside the lengths") << valid.left(8) << false << QByteArray();
    // What follows a complete request is not read: the request is answered.
    QTest::newRow("a request followed by a flood") << valid + QByteArray(1024 * 1024, 'z') << true
                                                   << QByteArray("OK\n");
}

void TestUnixSocket::badSendRequests() {
    QFETCH(QByteArray, request);
    QFETCH(bool, handled);
    QFETCH(QByteArray, answer);
    TLocalSocketSingleInstance instance(path("bad.sock"));
    QVERIFY(instance.tryBecomePrimary());
    int calls = 0;
    instance.setMessageHandler([&](const QByteArray&, const QByteArray&) {
        ++calls;
        return TSingleInstance::TMessageReply{true, QString()};
    });
    QByteArray got;
    std::atomic<bool> closed = false;
    std::atomic<bool> done = false;
    std::thread client([&] {
        const int fd = ConnectRaw(instance.socketPath());
        // The instance may stop reading (and close) before all is written.
        for (qsizetype at = 0; at < request.size();) {
            const ssize_t sent = ::send(fd, request.constData() + at, size_t(request.size() - at), MSG_NOSIGNAL);
            if (sent <= 0)
                break;
            at += sent;
        }
        ::shutdown(fd, SHUT_WR);
        closed = ReadUntilClosed(fd, got, 5000);
        ::close(fd);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    client.join();
    QVERIFY(closed); // the instance let the client go
    QCOMPARE(calls, handled ? 1 : 0);
    QCOMPARE(got, answer);

    // And it goes on serving.
    QSignalSpy shown(&instance, &TSingleInstance::showRequested);
    TLocalSocketSingleInstance later(instance.socketPath());
    QVERIFY(later.sendShowRequest());
    QTRY_COMPARE(shown.count(), 1);
}

void TestUnixSocket::silentClientIsClosedAndOthersAreServed() {
    TLocalSocketSingleInstance instance(path("silent.sock"));
    QVERIFY(instance.tryBecomePrimary());
    QSignalSpy shown(&instance, &TSingleInstance::showRequested);
    int calls = 0;
    instance.setMessageHandler([&](const QByteArray&, const QByteArray&) {
        ++calls;
        return TSingleInstance::TMessageReply{true, QString()};
    });
    // One says nothing, one stops in the middle of a request.
    const int silent = ConnectRaw(instance.socketPath());
    const int stalled = ConnectRaw(instance.socketPath());
    QVERIFY(silent >= 0 && stalled >= 0);
    const QByteArray request = Request("PC1", "Hallo");
    QCOMPARE(::send(stalled, request.constData(), 10, MSG_NOSIGNAL), ssize_t(10));

    // Meanwhile a second start is served.
    TLocalSocketSingleInstance second(instance.socketPath());
    QVERIFY(!second.tryBecomePrimary());
    QVERIFY(second.sendShowRequest());
    QTRY_COMPARE(shown.count(), 1);

    // Both are let go after the time-out, without an answer.
    QElapsedTimer waited;
    waited.start();
    for (const int fd : {silent, stalled}) {
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT(ReadUntilClosed(fd, got, 0), 3 * TLocalSocketSingleInstance::TimeoutMs);
        QCOMPARE(got, QByteArray());
        ::close(fd);
    }
    QVERIFY(waited.elapsed() >= TLocalSocketSingleInstance::TimeoutMs / 2);
    QCOMPARE(calls, 0);
    QCOMPARE(shown.count(), 1);
}

void TestUnixSocket::clientGoneBeforeTheAnswer() {
    // A script killed while the instance sends: the answer goes nowhere, and
    // writing it neither raises SIGPIPE nor stops the instance.
    TLocalSocketSingleInstance instance(path("gone.sock"));
    QVERIFY(instance.tryBecomePrimary());
    const int fd = ConnectRaw(instance.socketPath());
    QVERIFY(fd >= 0);
    int calls = 0;
    instance.setMessageHandler([&](const QByteArray&, const QByteArray&) {
        ++calls;
        ::close(fd);
        return TSingleInstance::TMessageReply{false, QStringLiteral("Nachricht an PC1 nicht gesendet.")};
    });
    const QByteArray request = Request("PC1", "Hallo");
    QCOMPARE(::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL), ssize_t(request.size()));
    QTRY_COMPARE(calls, 1);
    QTest::qWait(20);

    QSignalSpy shown(&instance, &TSingleInstance::showRequested);
    TLocalSocketSingleInstance later(instance.socketPath());
    QVERIFY(later.sendShowRequest());
    QTRY_COMPARE(shown.count(), 1);
}

void TestUnixSocket::busyListenerCountsAsRunning() {
    // An instance whose queue of connections is full (it hangs): a later start
    // waits the time-out, then counts it as running and does not take over.
    const QString socketPath = path("busy.sock");
    const std::optional<sockaddr_un> address = UnixSocketAddress(socketPath);
    QVERIFY(address);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QCOMPARE(::bind(listener, reinterpret_cast<const sockaddr*>(&*address), sizeof *address), 0);
    QCOMPARE(::listen(listener, 0), 0);
    QList<int> queued;
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
            QCOMPARE(errno, EAGAIN);
            ::close(fd);
            break;
        }
        queued << fd;
        QVERIFY(queued.size() < 100);
    }
    QElapsedTimer waited;
    waited.start();
    TLocalSocketSingleInstance later(socketPath);
    QVERIFY(!later.tryBecomePrimary());
    QVERIFY(waited.elapsed() >= TLocalSocketSingleInstance::TimeoutMs / 2);
    QVERIFY(!later.sendShowRequest());
    QVERIFY(QFileInfo::exists(socketPath));
    for (const int fd : queued)
        ::close(fd);
    ::close(listener);
}

void TestUnixSocket::pathTooLongForASocket() {
    // As with a socket that cannot be made: this start runs on its own, and
    // nothing reaches it.
    const QString longPath = QDir(FDir.path()).filePath(QString(sizeof(sockaddr_un::sun_path), QLatin1Char('n')));
    QVERIFY(!UnixSocketAddress(longPath));
    TLocalSocketSingleInstance instance(longPath);
    QVERIFY(instance.tryBecomePrimary());
    QVERIFY(instance.isPrimary());
    QVERIFY(!QFileInfo::exists(longPath));
    TLocalSocketSingleInstance script(longPath);
    QVERIFY(!script.otherInstanceRuns());
    QVERIFY(!script.sendShowRequest());
    QVERIFY(!script.handOverMessage("PC1", "Hallo").has_value());

    // The longest path that fits works.
    QString fitting = QDir(FDir.path()).filePath(QString());
    fitting += QString(int(sizeof(sockaddr_un::sun_path)) - 1 - QFile::encodeName(fitting).size(), QLatin1Char('f'));
    QVERIFY(UnixSocketAddress(fitting));
    TLocalSocketSingleInstance longest(fitting);
    QVERIFY(longest.tryBecomePrimary());
    QVERIFY(TLocalSocketSingleInstance(fitting).otherInstanceRuns());
}

void TestUnixSocket::socketsAreNotInherited() {
    const std::set<int> before = OpenDescriptors();
    TLocalSocketSingleInstance instance(path("exec.sock"));
    QVERIFY(instance.tryBecomePrimary());
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(instance.socketPath()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(S_IRWXU));
    const int client = ConnectRaw(instance.socketPath());
    QVERIFY(client >= 0);
    QTest::qWait(50); // accepted
    int checked = 0;
    for (const int fd : OpenDescriptors()) {
        if (before.count(fd) || fd == client)
            continue;
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags < 0)
            continue; // the listing's own descriptor
        QVERIFY2(flags & FD_CLOEXEC, qPrintable(QStringLiteral("descriptor %1").arg(fd)));
        ++checked;
    }
    QVERIFY(checked >= 2); // the listener and the accepted connection
    ::close(client);
}

// Connections that hold on (3 000 of them cost a hundred MB before): at most
// MaxConnections are served at a time, the others wait in the system's queue.
void TestUnixSocket::connectionsAreCapped() {
    TLocalSocketSingleInstance instance(path("capped.sock"));
    QVERIFY(instance.tryBecomePrimary());
    QSignalSpy shown(&instance, &TSingleInstance::showRequested);
    QList<int> holding;
    for (int i = 0; i < TLocalSocketSingleInstance::MaxConnections; ++i) {
        holding << ConnectRaw(instance.socketPath());
        QVERIFY(holding.last() >= 0);
        QCOMPARE(::send(holding.last(), "SEND\n", 5, MSG_NOSIGNAL), ssize_t(5));
    }
    QTest::qWait(100); // all taken
    // A second start gets into the queue and waits there.
    const int queued = ConnectRaw(instance.socketPath());
    const QByteArray show = TLocalSocketSingleInstance::showRequestBytes();
    QCOMPARE(::send(queued, show.constData(), size_t(show.size()), MSG_NOSIGNAL), ssize_t(show.size()));
    QTest::qWait(300);
    QCOMPARE(shown.count(), 0);
    // One goes: the waiting one is served.
    ::close(holding.takeFirst());
    QTRY_COMPARE(shown.count(), 1);
    ::close(queued);
    // The others are let go after the time-out; then new ones are served at once.
    for (const int fd : holding) {
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT(ReadUntilClosed(fd, got, 0), 3 * TLocalSocketSingleInstance::TimeoutMs);
        ::close(fd);
    }
    QVERIFY(TLocalSocketSingleInstance(instance.socketPath()).sendShowRequest());
    QTRY_COMPARE(shown.count(), 2);
}

void TestUnixSocket::runtimeFolder_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("otherUsers"); // the folder belongs to another user
    QTest::addColumn<bool>("used");
    QTest::newRow("the user's own, 0700") << 0700 << false << true;
    QTest::newRow("readable by others, 0755") << 0755 << false << true;
    QTest::newRow("shared, 1777") << 01777 << false << false;
    QTest::newRow("writable by the group, 0770") << 0770 << false << false;
    if (::geteuid() == 0)
        QTest::newRow("another user's, 0700") << 0700 << true << false;
}

// The runtime folder is used only when nobody else can put a socket there;
// else the private folder in the temporary folder.
void TestUnixSocket::runtimeFolder() {
    QFETCH(int, mode);
    QFETCH(bool, otherUsers);
    QFETCH(bool, used);
    const QString runtime = path("runtime");
    const QString temp = path("temp");
    QVERIFY(QDir().mkpath(runtime) && QDir().mkpath(temp));
    QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), mode_t(mode)), 0);
    if (otherUsers)
        QCOMPARE(::chown(QFile::encodeName(runtime).constData(), kOtherUser, kOtherUser), 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("TMPDIR", QFile::encodeName(temp));
    const QString socketPath = TLocalSocketSingleInstance::defaultSocketPath();
    qunsetenv("TMPDIR");
    QDir(runtime).removeRecursively();
    QDir(temp).removeRecursively();
    QCOMPARE(socketPath, used ? runtime + QStringLiteral("/PALAVERO.MUTEX")
                              : temp + QStringLiteral("/palavero-%1/PALAVERO.MUTEX").arg(::getuid()));
}

// Both ends talk only to the same user: the instance drops a connection of
// another user, and a start hands nothing to another user's listener.
void TestUnixSocket::otherUsersAreNotTalkedTo() {
    if (::geteuid() != 0)
        QSKIP("needs root to run a process as another user");
    // The instance: another user's show request (the socket file let open
    // for the test) is not heard.
    TLocalSocketSingleInstance instance(path("own.sock"));
    QVERIFY(instance.tryBecomePrimary());
    QSignalSpy shown(&instance, &TSingleInstance::showRequested);
    QCOMPARE(::chmod(QFile::encodeName(path("own.sock")).constData(), 0777), 0);
    QCOMPARE(::chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    const QByteArray show = TLocalSocketSingleInstance::showRequestBytes();
    const QString ownPath = instance.socketPath();
    pid_t child = RunAsOtherUser([&] {
        const int fd = ConnectRaw(ownPath);
        return fd >= 0 && ::send(fd, show.constData(), size_t(show.size()), MSG_NOSIGNAL) == show.size() ? 0 : 1;
    });
    int status = -1;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QCOMPARE(WEXITSTATUS(status), 0); // it got through to the socket
    QTest::qWait(200);
    QCOMPARE(shown.count(), 0);

    // The client: a listener of another user's behind a socket file of ours.
    const QString foreignPath = path("foreign.sock");
    const std::optional<sockaddr_un> address = UnixSocketAddress(foreignPath);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QCOMPARE(::bind(listener, reinterpret_cast<const sockaddr*>(&*address), sizeof *address), 0);
    int report[2];
    QCOMPARE(::pipe(report), 0);
    child = RunAsOtherUser([&] {
        if (::listen(listener, 5) != 0)
            return 1;
        ::write(report[1], "L", 1);
        // Whatever a connection brings goes back to the test.
        const int fd = ::accept(listener, nullptr, nullptr);
        char buffer[256];
        ssize_t got;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
            ::write(report[1], buffer, size_t(got));
        return 0;
    });
    ::close(report[1]);
    char ready = 0;
    QCOMPARE(::read(report[0], &ready, 1), ssize_t(1));
    TLocalSocketSingleInstance script(foreignPath);
    QVERIFY(!script.handOverMessage("PC1", "GEHEIM").has_value());
    QVERIFY(!script.sendShowRequest());
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    QByteArray leaked;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(report[0], buffer, sizeof buffer)) > 0)
        leaked.append(buffer, got);
    QCOMPARE(leaked, QByteArray());
    ::close(report[0]);
    ::close(listener);
}

PALAVERO_TEST_GUILESS_MAIN(TestUnixSocket)
#include "tst_unixsocket.moc"
