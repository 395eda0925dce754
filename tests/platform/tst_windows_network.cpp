#include "common/TestMain.h"

#include "platform/DatagramQueue.h"
#include "platform/DatagramSocket.h"
#include "platform/windows/WindowsNetworkChanges.h"
#include "platform/windows/WindowsNetworkInfo.h"
#include "platform/windows/WindowsSystemInfo.h"

#include <QDir>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

// Readable failures of QCOMPARE.
char* toString(const TIpAddress& address) {
    return qstrdup(address.isNull() ? "(null)" : address.toText().constData());
}

Q_DECLARE_METATYPE(TIpAddress::Family)

namespace {
constexpr auto IPv4 = TIpAddress::Family::IPv4;
constexpr auto IPv6 = TIpAddress::Family::IPv6;

// A socket of the family on the first free port from `from` on, with its port.
std::unique_ptr<IDatagramSocket> openFree(TDatagramSocketOptions& options, TDatagramQueue& queue, quint16 from) {
    for (options.port = from; options.port < from + 200; ++options.port) {
        TBindFailure failure = TBindFailure::None;
        if (auto socket = OpenDatagramSocket(options, queue, &failure))
            return socket;
        if (failure == TBindFailure::FamilyMissing)
            return nullptr;
    }
    return nullptr;
}

QList<QByteArray> takeAll(TDatagramQueue& queue, TIpAddress* sender = nullptr) {
    QList<QByteArray> all;
    TReceivedDatagram d;
    while (queue.take(d)) {
        all << d.bytes;
        if (sender)
            *sender = d.sender;
    }
    return all;
}

// Waits without an event loop until the queue holds `count` datagrams (5 s at most).
void waitFor(const TDatagramQueue& queue, qsizetype count) {
    QElapsedTimer waited;
    waited.start();
    while (queue.size() < count && waited.elapsed() < 5000)
        QThread::msleep(1);
}
} // namespace

class TestWindowsNetwork : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void systemInfo();
    void localeOfIdentifier_data();
    void localeOfIdentifier();
    void adaptersAndTheirChanges();
    void datagramSocket_data();
    void datagramSocket();
    void portIsNotShared();
    void sendWithoutRoute();
};

void TestWindowsNetwork::systemInfo() {
    const TWindowsSystemInfo info;
    QCOMPARE(info.computerName(), qEnvironmentVariable("COMPUTERNAME").section(QLatin1Char('.'), 0, 0));
    QCOMPARE(info.userName(), qEnvironmentVariable("USERNAME"));
    // The common folder, not the user's own.
    const QString root = info.dataRoot();
    QVERIFY2(QDir(root).exists() && QDir::isAbsolutePath(root) && !root.contains(QLatin1Char('\\')), qPrintable(root));
    QCOMPARE(QDir::fromNativeSeparators(qEnvironmentVariable("ProgramData")).toLower(), root.toLower());
    QCOMPARE(info.executablePath(), QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
}

void TestWindowsNetwork::localeOfIdentifier_data() {
    QTest::addColumn<uint>("lcid");
    QTest::addColumn<QString>("name");
    QTest::newRow("German (Switzerland)") << 2055u << "de_CH";
    QTest::newRow("German (Liechtenstein)") << 5127u << "de_LI";
    QTest::newRow("German (Germany)") << 1031u << "de_DE";
    QTest::newRow("English (United States)") << 1033u << "en_US";
    QTest::newRow("unknown") << 0x7FFFu << "C";
}

void TestWindowsNetwork::localeOfIdentifier() {
    QFETCH(uint, lcid);
    QFETCH(QString, name);
    QCOMPARE(TWindowsSystemInfo::localeOf(lcid).name(), name);
}

// Every address is a usable IPv4 address of this computer with its network's
// prefix, and Windows reports changes of them.
void TestWindowsNetwork::adaptersAndTheirChanges() {
    const QList<TInterfaceAddress> local = TWindowsNetworkInfo().localIPv4();
    for (const TInterfaceAddress& entry : local) {
        QVERIFY(entry.address.isIPv4());
        QVERIFY(!entry.address.isLoopback());
        QVERIFY2(entry.prefixLength > 0 && entry.prefixLength <= 32, qPrintable(entry.address.toString()));
    }
    TWindowsNetworkChanges changes;
    QVERIFY(changes.start());
    QVERIFY(changes.start());
    changes.stop();
}

void TestWindowsNetwork::datagramSocket_data() {
    QTest::addColumn<TIpAddress::Family>("family");
    QTest::addColumn<QString>("loopback");
    QTest::newRow("IPv4") << IPv4 << "127.0.0.1";
    QTest::newRow("IPv6") << IPv6 << "::1";
}

// The reader moves datagrams into the queue on its own thread while this one
// runs no event loop, and this thread takes what waits in between; empty and
// oversized datagrams stay behind. An ICMP "port unreachable" for a datagram
// sent earlier does not stop the reader. Closing with the reader waiting frees
// the port.
void TestWindowsNetwork::datagramSocket() {
    QFETCH(TIpAddress::Family, family);
    QFETCH(QString, loopback);
    const TIpAddress here = TIpAddress::parse(loopback.toLatin1());
    TDatagramSocketOptions options;
    options.family = family;
    options.maxSize = 1000;
    TDatagramQueue queue;
    std::unique_ptr<IDatagramSocket> socket = openFree(options, queue, 41000);
    if (!socket && family == IPv6)
        QSKIP("no IPv6 on this computer");
    QVERIFY(socket);
    const quint16 port = options.port;
    TDatagramQueue peerQueue;
    std::unique_ptr<IDatagramSocket> peer = openFree(options, peerQueue, port + 1);
    QVERIFY(peer);

    // A port nobody listens on: the datagram sent there is answered by an ICMP error.
    TDatagramQueue closedQueue;
    quint16 closedPort = 0;
    {
        std::unique_ptr<IDatagramSocket> closed = openFree(options, closedQueue, options.port + 1);
        QVERIFY(closed);
        closedPort = options.port;
    }
    QCOMPARE(socket->send("nobody", here, closedPort), IDatagramSocket::SendResult::Sent);

    QList<QByteArray> expected;
    constexpr int kCount = 2000;
    for (int i = 0; i < kCount; ++i) {
        const QByteArray text = QByteArray::number(i) + QByteArray(i % 7 * 140, 'x');
        QCOMPARE(peer->send(text, here, port), IDatagramSocket::SendResult::Sent);
        if (text.size() <= 1000)
            expected << text;
        if (i % 3 == 0)
            socket->takeWaiting();
        if (i % 500 == 0) {
            peer->send(QByteArray(), here, port);
            peer->send(QByteArray(1001, 'z'), here, port);
        }
        // Paced so that the receive buffer never overflows.
        if (i % 100 == 99)
            waitFor(queue, expected.size());
    }
    waitFor(queue, expected.size());
    TIpAddress sender;
    QCOMPARE(takeAll(queue, &sender), expected);
    QCOMPARE(sender, here);
    QCOMPARE(queue.dropped(), 0u);

    QCOMPARE(socket->send("back", sender, port + 1), IDatagramSocket::SendResult::Sent);
    waitFor(peerQueue, 1);
    QCOMPARE(takeAll(peerQueue), QList<QByteArray>{"back"});
    QVERIFY(socket->receiveBufferSize() >= options.receiveBuffer);
    // Nothing goes to no address.
    QCOMPARE(socket->send("x", TIpAddress(), port + 1), IDatagramSocket::SendResult::Failed);

    socket.reset();
    options.port = port;
    QVERIFY(OpenDatagramSocket(options, queue));
}

// No other socket takes the port, not even one that asks to share it.
void TestWindowsNetwork::portIsNotShared() {
    TDatagramSocketOptions options;
    TDatagramQueue queue;
    std::unique_ptr<IDatagramSocket> socket = openFree(options, queue, 42000);
    QVERIFY(socket);
    TBindFailure failure = TBindFailure::None;
    QVERIFY(!OpenDatagramSocket(options, queue, &failure));
    QCOMPARE(failure, TBindFailure::Other);

    const SOCKET sharer = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    QVERIFY(sharer != INVALID_SOCKET);
    const BOOL on = TRUE;
    ::setsockopt(sharer, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options.port);
    const int bound = ::bind(sharer, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::closesocket(sharer);
    QCOMPARE(bound, SOCKET_ERROR);
}

// Where no route leads, a send says so rather than failing.
void TestWindowsNetwork::sendWithoutRoute() {
    const TIpAddress nowhere = TIpAddress::parse("192.0.2.1"); // for documentation only
    DWORD index = 0;
    if (::GetBestInterface(htonl(nowhere.toIPv4()), &index) == NO_ERROR)
        QSKIP("this computer has a route to every address");
    TDatagramSocketOptions options;
    TDatagramQueue queue;
    std::unique_ptr<IDatagramSocket> socket = openFree(options, queue, 43000);
    QVERIFY(socket);
    QCOMPARE(socket->send("x", nowhere, options.port), IDatagramSocket::SendResult::Unreachable);
}

PALAVERO_TEST_GUILESS_MAIN(TestWindowsNetwork)
#include "tst_windows_network.moc"
