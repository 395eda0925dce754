#include "common/Fakes.h"
#include "common/TestMain.h"

#include "core/Ansi.h"
#include "core/Timestamp.h"
#include "net/Datagram.h"
#include "net/DatagramHandler.h"
#include "net/NetworkWatch.h"
#include "net/Presence.h"
#include "net/TargetList.h"
#include "net/UdpEndpoint.h"

#include <QAbstractItemModelTester>
#include <QCollator>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

namespace {

using Events = QStringList;

// Records every signal of a handler as one line of text.
struct TDispatchLog {
    Events events;
    QStringList status;
    explicit TDispatchLog(TDatagramHandler& h) {
        QObject::connect(&h, &TDatagramHandler::statusText, [this](const QString& s) { status << s; });
        QObject::connect(&h, &TDatagramHandler::connectReceived,
                         [this](const QByteArray& s) { events << "connect " + Ansi::toUnicode(s); });
        QObject::connect(&h, &TDatagramHandler::disconnectReceived,
                         [this](const QByteArray& s) { events << "disconnect " + Ansi::toUnicode(s); });
        QObject::connect(&h, &TDatagramHandler::refreshReceived,
                         [this](const QByteArray& s) { events << "refresh " + Ansi::toUnicode(s); });
        QObject::connect(&h, &TDatagramHandler::groupsReceived,
                         [this](const QByteArray& p) { events << "groups " + Ansi::toUnicode(p); });
        QObject::connect(&h, &TDatagramHandler::dataReceived,
                         [this](const QByteArray& p, const QByteArray& s) {
                             events << "data " + Ansi::toUnicode(s) + " " + Ansi::toUnicode(p);
                         });
    }
};

TInterfaceAddress iface(const char* address, int prefix) {
    return {TIpAddress::parse(address), prefix};
}

// A port that was free a moment ago.
quint16 freePort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// Catches what the endpoint puts on the wire (its destination port is pointed here).
// Loopback delivery is synchronous, so a datagram is waiting as soon as the send returns.
class TWire {
  public:
    TWire() { socket.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress); }
    quint16 port() const { return socket.localPort(); }
    QList<QByteArray> take() {
        QList<QByteArray> out;
        while (socket.hasPendingDatagrams()) {
            QByteArray buf(int(socket.pendingDatagramSize()), Qt::Uninitialized);
            socket.readDatagram(buf.data(), buf.size());
            out << buf;
        }
        return out;
    }
    QUdpSocket socket;
};

// Another computer on the loopback network: sends from 127.0.0.2.
class TPeer {
  public:
    TPeer() { socket.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0, QAbstractSocket::DontShareAddress); }
    void send(const QByteArray& wire, quint16 port) {
        socket.writeDatagram(wire, QHostAddress(QHostAddress::LocalHost), port);
    }
    QUdpSocket socket;
};

// The peer network as the main window wires it, on loopback. The local network is
// 127.0.0.1/8, so broadcasts go to 127.255.255.255 and never leave the computer;
// they are sent to the port of `wire`, where the test reads them.
struct TNetFixture {
    TFakeNetworkInfo net;
    TFakeMessageBoxes boxes;
    TUdpEndpoint endpoint{net, boxes};
    TTargetList targets{"PC-TEST"};
    TDatagramHandler handler;
    TPresence presence{"PC-TEST", QStringLiteral("tester"), endpoint, targets, boxes};
    TWire wire;
    TPeer peer;
    quint16 port = freePort();

    TNetFixture() {
        net.addresses = {iface("127.0.0.1", 8)};
        endpoint.setDestinationPort(wire.port());
        QObject::connect(&endpoint, &TUdpEndpoint::datagramReceived, &handler,
                         &TDatagramHandler::HandleDatagram);
        presence.connectToHandler(handler);
    }
    bool start() {
        endpoint.configure(port);
        return endpoint.open();
    }
    // Sends as a peer and waits until the endpoint has handed the datagram on.
    bool deliver(const QByteArray& text) {
        QSignalSpy received(&endpoint, &TUdpEndpoint::datagramReceived);
        peer.send(text, port);
        return received.count() > 0 || received.wait(5000);
    }
};

} // namespace

class TestNet : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();

    // Datagram text and dispatch
    void presenceKeywords_data();
    void presenceKeywords();
    void build_data();
    void build();
    void splitSenderName_data();
    void splitSenderName();
    void dispatch_data();
    void dispatch();
    void closingIgnoresDatagrams();
    void statusText_data();
    void statusText();
    void statusTextOfTheCurrentTime();
    void pendingEventsRunAfterGroupsAndData_data();
    void pendingEventsRunAfterGroupsAndData();

    // Addresses
    void unicastToIPv6Address();
    void broadcastAddresses_data();
    void broadcastAddresses();
    void localAddresses();

    // Endpoint on real sockets
    void sizeLimit_data();
    void sizeLimit();
    void secondBindFails();
    void wireEncoding_data();
    void wireEncoding();
    void broadcastReachesEachNetworkOnce();
    void textBeyondAsciiByUnicastAndBroadcast();
    void receivedDatagramNotesSender();
    void ownDatagramsAreDropped();
    void datagramsFromNetworkAndBroadcastAddressesAreDropped();
    void oversizedAndEmptyDatagramsAreDropped();
    void formDefaultsDropDatagramsUnseen();
    void opensOnDemand();
    void hostByName();
    void unresolvableHostFailsSilently();
    void receiveBufferIsEnlarged();
    void smallReceiveBufferNote_data();
    void smallReceiveBufferNote();
    void ipv6Binding();
    void reentrantHandlerSeesDatagramsInOrder();
    void modalLoopOfAHandlerSeesFurtherDatagrams();
    void burstsAreAllDelivered();
    void readerDrainsWhileGuiThreadIsBusy();
    void queueOverflowIsCountedAndLogged();
    void closeInsideHandler();

    // Target list
    void targetOrder_data();
    void targetOrder();
    void targetRules();
    void targetLookup();
    void targetModel();
    void targetLogsRemoteAddress();
    void targetReplaceEntries_data();
    void targetReplaceEntries();

    // Presence
    void connectIsAnsweredWithOneRefresh();
    void refreshIsNotAnswered();
    void answersInOneRunShareOneLookAtTheInterfaces();
    void ownConnectAddsNothingButIsAnswered();
    void disconnectRemovesSender();
    void addressFixedOnFirstSight();
    void startUdp();
    void startUdpOnTakenPort();
    void anmelden();
    void loneliness();
    void lonelinessStopsForGroups();
    void networkWatchReportedChanges();
    void networkWatchLooksWithoutReports_data();
    void networkWatchLooksWithoutReports();
    void sessionLockAndUnlock_data();
    void sessionLockAndUnlock();
    void suspendAndResume();
    void sessionEnding();
    void userChange();
};

void TestNet::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

// ---------------------------------------------------------------- datagram text

void TestNet::presenceKeywords_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("presence");
    QTest::newRow("connect") << QByteArray("PC-1:KVPALAVEROCONNECT:") << true;
    QTest::newRow("refresh") << QByteArray("PC-1:KVPALAVEROREFRESH:") << true;
    QTest::newRow("disconnect") << QByteArray("PC-1:KVPALAVERODISCONNECT:x") << true;
    QTest::newRow("data") << QByteArray("PC-1:KVPALAVERODATA:KVPALAVEROCONNECT:") << false;
    QTest::newRow("groups") << QByteArray("PC-1:KVPALAVEROGROUPS:[A]") << false;
    QTest::newRow("no sender") << QByteArray(":KVPALAVEROCONNECT:") << false;
    QTest::newRow("no colon") << QByteArray("KVPALAVEROCONNECT") << false;
    QTest::newRow("lower case") << QByteArray("PC-1:kvpalaveroconnect:") << false;
}

void TestNet::presenceKeywords() {
    QFETCH(QByteArray, text);
    QFETCH(bool, presence);
    QCOMPARE(Datagram::isPresence(text), presence);
}

void TestNet::build_data() {
    QTest::addColumn<QByteArray>("sender");
    QTest::addColumn<QByteArray>("keyword");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("connect") << QByteArray("PC-04") << QByteArray(Datagram::kConnect) << QByteArray()
                             << QByteArray("PC-04:KVPALAVEROCONNECT:");
    QTest::newRow("disconnect") << QByteArray("PC-04") << QByteArray(Datagram::kDisconnect) << QByteArray()
                                << QByteArray("PC-04:KVPALAVERODISCONNECT:");
    QTest::newRow("refresh") << QByteArray("PC-04") << QByteArray(Datagram::kRefresh) << QByteArray()
                             << QByteArray("PC-04:KVPALAVEROREFRESH:");
    QTest::newRow("groups") << QByteArray("PC-04") << QByteArray(Datagram::kGroups) << QByteArray("[A]")
                            << QByteArray("PC-04:KVPALAVEROGROUPS:[A]");
    QTest::newRow("data") << QByteArray("B\xfcro") << QByteArray(Datagram::kData) << QByteArray("hi")
                          << QByteArray("B\xfcro:KVPALAVERODATA:hi");
}

void TestNet::build() {
    QFETCH(QByteArray, sender);
    QFETCH(QByteArray, keyword);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, text);
    QCOMPARE(Datagram::build(sender, keyword.constData(), payload), text);
}

void TestNet::splitSenderName_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("name") << QByteArray("PC-04:KVPALAVEROCONNECT:") << QByteArray("PC-04");
    QTest::newRow("first colon") << QByteArray("a:b:c") << QByteArray("a");
    QTest::newRow("leading colon") << QByteArray(":KVPALAVEROCONNECT:") << QByteArray();
    QTest::newRow("no colon") << QByteArray("PC-04") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("NUL in name") << QByteArray("P\0C:x", 5) << QByteArray("P\0C", 3);
}

void TestNet::splitSenderName() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, name);
    TDatagramHandler h;
    h.SplitSenderName("OLD:x");
    QCOMPARE(h.SplitSenderName(text), name.size());
    QCOMPARE(h.senderName(), name);
}

void TestNet::dispatch_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Events>("events");
    const QByteArray big = "PC-04:KVPALAVERODATA:" + QByteArray(Datagram::kBufferSize - 21, 'x');
    QTest::newRow("connect") << QByteArray("PC-04:KVPALAVEROCONNECT:") << Events{"connect PC-04"};
    QTest::newRow("connect with payload")
        << QByteArray("PC-04:KVPALAVEROCONNECT:junk") << Events{"connect PC-04"};
    QTest::newRow("disconnect") << QByteArray("PC-04:KVPALAVERODISCONNECT:") << Events{"disconnect PC-04"};
    QTest::newRow("refresh") << QByteArray("PC-04:KVPALAVEROREFRESH:") << Events{"refresh PC-04"};
    QTest::newRow("groups") << QByteArray("PC-04:KVPALAVEROGROUPS:[A]") << Events{"groups [A]"};
    QTest::newRow("groups empty") << QByteArray("PC-04:KVPALAVEROGROUPS:") << Events{};
    QTest::newRow("data") << QByteArray("PC-04:KVPALAVERODATA:Hallo") << Events{"data PC-04 Hallo"};
    QTest::newRow("data empty") << QByteArray("PC-04:KVPALAVERODATA:") << Events{};
    QTest::newRow("data holding a keyword")
        << QByteArray("PC-04:KVPALAVERODATA:KVPALAVEROCONNECT:") << Events{"data PC-04 KVPALAVEROCONNECT:"};
    QTest::newRow("data of 8192 bytes")
        << big << Events{"data PC-04 " + QString(Datagram::kBufferSize - 21, 'x')};
    QTest::newRow("empty sender") << QByteArray(":KVPALAVEROCONNECT:") << Events{};
    QTest::newRow("lower case keyword") << QByteArray("PC-04:kvpalaveroconnect:") << Events{};
    QTest::newRow("keyword without colon") << QByteArray("PC-04:KVPALAVEROCONNECT") << Events{};
    QTest::newRow("unknown keyword") << QByteArray("PC-04:KVPALAVEROPING:") << Events{};
    QTest::newRow("blank before keyword") << QByteArray("PC-04: KVPALAVEROCONNECT:") << Events{};
    QTest::newRow("no colon") << QByteArray("PC-04") << Events{};
    QTest::newRow("only a colon") << QByteArray(":") << Events{};
    QTest::newRow("name and colon") << QByteArray("PC-04:") << Events{};
    QTest::newRow("empty") << QByteArray() << Events{};
    QTest::newRow("NUL bytes in the text")
        << QByteArray("PC:KVPALAVERODATA:a\0b", 21) << Events{"data PC " + QString::fromLatin1("a\0b", 3)};
    // Sender names that would be read as another recipient when the user answers.
    for (const char* forged :
         {"*", "A,B,C", "<Vertrieb>", "10.75.0.3", "\"PC-04\"", "PC 04", "PC\t04", "PC\x7f", "PC>", "*PC"}) {
        for (const char* keyword : {"KVPALAVERODATA:Antwort", "KVPALAVEROCONNECT:", "KVPALAVEROREFRESH:",
                                    "KVPALAVERODISCONNECT:", "KVPALAVEROGROUPS:[A]"})
            QTest::addRow("forged sender %s %.12s", forged, keyword)
                << QByteArray(forged) + ':' + keyword << Events{};
    }
    QTest::newRow("NUL in the sender") << QByteArray("PC\0:KVPALAVERODATA:a", 20) << Events{};
    QTest::newRow("digits, dots and a letter")
        << QByteArray("10.75.0.3a:KVPALAVEROREFRESH:") << Events{"refresh 10.75.0.3a"};
    QTest::newRow("digits only") << QByteArray("2024:KVPALAVEROREFRESH:") << Events{};
    QTest::newRow("binary") << QByteArray("\xff\xfe\x00\x01\x80:\x9f\x00", 8) << Events{};
    QTest::newRow("umlaut sender") << QByteArray("B\xfcro:KVPALAVEROREFRESH:") << Events{"refresh B\u00fcro"};
}

void TestNet::dispatch() {
    QFETCH(QByteArray, text);
    QFETCH(Events, events);
    TDatagramHandler h;
    TDispatchLog log(h);
    h.HandleDatagram(text);
    QCOMPARE(log.events, events);
    QCOMPARE(log.status.size(), 1); // also for malformed datagrams
    QVERIFY(log.status.first().startsWith(QString::number(text.size()) + " Bytes empfangen "));
}

void TestNet::closingIgnoresDatagrams() {
    TDatagramHandler h;
    TDispatchLog log(h);
    h.setClosing(true);
    QVERIFY(h.closing());
    h.HandleDatagram("PC-04:KVPALAVERODATA:Hallo");
    h.HandleDatagram("PC-04:KVPALAVEROCONNECT:");
    QVERIFY(log.status.isEmpty());
    QVERIFY(log.events.isEmpty());
    QVERIFY(h.senderName().isEmpty());
}

void TestNet::statusText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("status");
    QTest::newRow("12 bytes") << QByteArray("PC-04:abcdef")
                              << QStringLiteral("12 Bytes empfangen 24.11.2014 09:15:02");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("0 Bytes empfangen 24.11.2014 09:15:02");
    QTest::newRow("8192 bytes") << QByteArray(8192, 'a')
                                << QStringLiteral("8192 Bytes empfangen 24.11.2014 09:15:02");
}

void TestNet::statusText() {
    QFETCH(QByteArray, text);
    QFETCH(QString, status);
    TDatagramHandler h;
    h.setClock([] { return QDateTime(QDate(2014, 11, 24), QTime(9, 15, 2)); });
    QSignalSpy spy(&h, &TDatagramHandler::statusText);
    h.HandleDatagram(text);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toString(), status);
}

void TestNet::statusTextOfTheCurrentTime() {
    TDatagramHandler h;
    QSignalSpy spy(&h, &TDatagramHandler::statusText);
    const QDateTime before = QDateTime::currentDateTime();
    h.HandleDatagram("PC-04:KVPALAVEROREFRESH:");
    const QDateTime after = QDateTime::currentDateTime();
    const QString text = spy.takeFirst().first().toString();
    QVERIFY2(text == "24 Bytes empfangen " + Timestamp::text(before) ||
                 text == "24 Bytes empfangen " + Timestamp::text(after),
             qPrintable(text));
    QVERIFY(QRegularExpression("^24 Bytes empfangen \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$")
                .match(text)
                .hasMatch());

    // Another locale within the same second gives its own format at once.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    h.HandleDatagram("PC-04:KVPALAVEROREFRESH:");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString english = spy.takeFirst().first().toString();
    QVERIFY2(english.contains('/'), qPrintable(english));
}

void TestNet::pendingEventsRunAfterGroupsAndData_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ran");
    QTest::newRow("data") << QByteArray("PC-04:KVPALAVERODATA:x") << true;
    QTest::newRow("groups") << QByteArray("PC-04:KVPALAVEROGROUPS:x") << true;
    QTest::newRow("data empty") << QByteArray("PC-04:KVPALAVERODATA:") << false;
    QTest::newRow("connect") << QByteArray("PC-04:KVPALAVEROCONNECT:") << false;
    QTest::newRow("refresh") << QByteArray("PC-04:KVPALAVEROREFRESH:") << false;
}

void TestNet::pendingEventsRunAfterGroupsAndData() {
    QFETCH(QByteArray, text);
    QFETCH(bool, ran);
    TDatagramHandler h;
    bool queuedRan = false;
    QMetaObject::invokeMethod(
        &h, [&] { queuedRan = true; }, Qt::QueuedConnection);
    h.HandleDatagram(text);
    QCOMPARE(queuedRan, ran);
    QCoreApplication::processEvents();
}

// ---------------------------------------------------------------- addresses

void TestNet::broadcastAddresses_data() {
    QTest::addColumn<QList<TInterfaceAddress>>("local");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one /24 network, two addresses")
        << QList{iface("192.168.1.17", 24), iface("192.168.1.30", 24)} << QStringList{"192.168.1.255"};
    QTest::newRow("two networks, sorted") << QList{iface("192.168.1.17", 24), iface("10.0.0.5", 24)}
                                          << QStringList{"10.0.0.255", "192.168.1.255"};
    QTest::newRow("/16") << QList{iface("172.16.3.4", 16)} << QStringList{"172.16.255.255"};
    QTest::newRow("/30") << QList{iface("10.1.1.5", 30)} << QStringList{"10.1.1.7"};
    QTest::newRow("/31 has no directed broadcast")
        << QList{iface("10.1.1.4", 31)} << QStringList{"255.255.255.255"};
    QTest::newRow("/32 has no directed broadcast")
        << QList{iface("10.1.1.4", 32)} << QStringList{"255.255.255.255"};
    QTest::newRow("/31 and /24") << QList{iface("10.1.1.4", 31), iface("192.168.1.17", 24)}
                                 << QStringList{"192.168.1.255", "255.255.255.255"};
    QTest::newRow("two cards, same network")
        << QList{iface("192.168.1.17", 24), iface("192.168.1.18", 24), iface("10.0.0.1", 8)}
        << QStringList{"10.255.255.255", "192.168.1.255"};
    QTest::newRow("/23 differs from /24") << QList{iface("192.168.0.17", 23)} << QStringList{"192.168.1.255"};
    QTest::newRow("unknown prefix counts as /24")
        << QList{iface("192.168.7.9", -1)} << QStringList{"192.168.7.255"};
    QTest::newRow("no address") << QList<TInterfaceAddress>{} << QStringList{"255.255.255.255"};
}

void TestNet::broadcastAddresses() {
    QFETCH(QList<TInterfaceAddress>, local);
    QFETCH(QStringList, expected);
    QCOMPARE(TUdpEndpoint::BroadcastAddresses(local), expected);
}

void TestNet::localAddresses() {
    QCOMPARE(TUdpEndpoint::LocalAddresses(
                 {iface("192.168.1.17", 24), iface("10.0.0.5", 8), iface("192.168.1.17", 24)}),
             (QStringList{"192.168.1.17", "10.0.0.5"}));
    QCOMPARE(TUdpEndpoint::LocalAddresses({}), QStringList{});
}

// ---------------------------------------------------------------- endpoint

void TestNet::sizeLimit_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("sent");
    QTest::newRow("unicast 8092") << QByteArray("127.0.0.1") << 8092 << true;
    QTest::newRow("unicast 8093") << QByteArray("127.0.0.1") << 8093 << false;
    QTest::newRow("broadcast 8092") << QByteArray("*") << 8092 << true;
    QTest::newRow("broadcast 8093") << QByteArray("*") << 8093 << false;
    QTest::newRow("unicast 20000") << QByteArray("127.0.0.1") << 20000 << false;
}

void TestNet::sizeLimit() {
    QFETCH(QByteArray, host);
    QFETCH(int, size);
    QFETCH(bool, sent);
    TNetFixture f;
    QVERIFY(f.start());
    const QByteArray text = "PC-TEST:KVPALAVERODATA:" + QByteArray(size - 23, 'm');
    QCOMPARE(f.endpoint.SendDatagram(host, text), sent);
    const QList<QByteArray> wire = f.wire.take();
    if (sent) {
        QCOMPARE(wire, QList<QByteArray>{text});
        QVERIFY(f.boxes.boxes.isEmpty());
    } else {
        QVERIFY(wire.isEmpty());
        QCOMPARE(f.boxes.texts(),
                 QStringList{QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!")});
    }
}

void TestNet::secondBindFails() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.endpoint.isOpen());
    QCOMPARE(f.endpoint.port(), f.port);

    TFakeNetworkInfo net;
    TFakeMessageBoxes boxes;
    TUdpEndpoint second(net, boxes);
    second.configure(f.port);
    QVERIFY(!second.open());
    QVERIFY(!second.isOpen());

    // Not even a socket that asks for address reuse (Qt's default on Linux) can share it.
    QUdpSocket other;
    QVERIFY(!other.bind(QHostAddress::AnyIPv4, f.port));
    QUdpSocket shared;
    QVERIFY(!shared.bind(QHostAddress::AnyIPv4, f.port,
                         QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));

    f.endpoint.close();
    QVERIFY(!f.endpoint.isOpen());
    QTRY_VERIFY(second.open()); // the port is free again
}

void TestNet::wireEncoding_data() {
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("wire");
    const QByteArray text("PC-TEST:KVPALAVERODATA:Gr\xfc\xdf"
                          "e \x80"
                          "5 \xe4\xf6\xfc");
    QTest::newRow("unicast: unchanged") << QByteArray("127.0.0.1") << text << text;
    QTest::newRow("broadcast: unchanged") << QByteArray("*") << text << text;
    QTest::newRow("umlaut in name, broadcast") << QByteArray("*") << QByteArray("B\xfcro:KVPALAVEROCONNECT:")
                                               << QByteArray("B\xfcro:KVPALAVEROCONNECT:");
    QTest::newRow("quotes and dash, broadcast") << QByteArray("*") << QByteArray("PC-04:KVPALAVERODATA:\x84" "a\x93 \x96 b")
                                                << QByteArray("PC-04:KVPALAVERODATA:\x84" "a\x93 \x96 b");
}

void TestNet::wireEncoding() {
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, wire);
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.endpoint.SendDatagram(host, text));
    QCOMPARE(f.wire.take(), QList<QByteArray>{wire});
}

void TestNet::broadcastReachesEachNetworkOnce() {
    TNetFixture f;
    // Two addresses of one network: one datagram. A second network (127.1.0.0/16,
    // whose broadcast address is an ordinary loopback address) adds one more.
    f.net.addresses = {iface("127.0.0.1", 8), iface("127.0.0.9", 8)};
    QVERIFY(f.start());
    QVERIFY(f.endpoint.SendDatagram("*", "PC-TEST:KVPALAVEROCONNECT:"));
    QCOMPARE(f.wire.take().size(), 1);
    f.net.addresses = {iface("127.1.0.1", 16), iface("127.0.0.1", 8), iface("127.0.0.9", 8)};
    QVERIFY(f.endpoint.SendDatagram("*", "PC-TEST:KVPALAVEROCONNECT:"));
    QCOMPARE(f.wire.take().size(), 2);
}

void TestNet::textBeyondAsciiByUnicastAndBroadcast() {
    // The endpoint hears its own datagrams here: its "local" address is another one.
    TNetFixture f;
    f.net.addresses = {iface("127.0.0.5", 8)};
    f.endpoint.setDestinationPort(0);
    QVERIFY(f.start());
    TDispatchLog log(f.handler);
    const QByteArray text("PC-04:KVPALAVERODATA:Gr\xfc\xdf"
                          "e 5 \x80");
    QVERIFY(f.endpoint.SendDatagram("127.0.0.1", text));
    QTRY_COMPARE(log.events, Events{"data PC-04 Grüße 5 €"});
    QCOMPARE(f.endpoint.senderIP(), QByteArray("127.0.0.1"));
    QVERIFY(f.endpoint.SendDatagram("*", text));
    QTRY_COMPARE(log.events, (Events{"data PC-04 Grüße 5 €", "data PC-04 Grüße 5 €"}));
}

void TestNet::receivedDatagramNotesSender() {
    TNetFixture f;
    QVERIFY(f.start());
    QSignalSpy spy(&f.endpoint, &TUdpEndpoint::datagramReceived);
    f.peer.send(QByteArray("PC-04:KVPALAVERODATA:\xe4\x80\x81\x96"), f.port);
    QTRY_COMPARE(spy.count(), 1);
    // Windows-1252 on the wire as inside: every byte is handed on as it came.
    QCOMPARE(spy.first().first().toByteArray(), QByteArray("PC-04:KVPALAVERODATA:\xe4\x80\x81\x96"));
    QCOMPARE(f.endpoint.senderIP(), QByteArray("127.0.0.2"));
}

void TestNet::ownDatagramsAreDropped() {
    TNetFixture f;
    f.endpoint.setDestinationPort(0); // broadcasts come back to the endpoint itself
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));
    QCOMPARE(f.endpoint.senderIP(), QByteArray("127.0.0.2"));

    QSignalSpy spy(&f.endpoint, &TUdpEndpoint::datagramReceived);
    QVERIFY(f.endpoint.SendDatagram("*", "PC-TEST:KVPALAVEROCONNECT:"));
    QVERIFY(f.endpoint.SendDatagram("127.0.0.1", "PC-TEST:KVPALAVERODATA:x"));
    f.peer.send("PC-05:KVPALAVEROREFRESH:", f.port); // arrives after both
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), QByteArray("PC-05:KVPALAVEROREFRESH:"));
    QCOMPARE(f.targets.texts(), (QList<QByteArray>{"PC-04", "PC-05"}));
}

// No computer sends from the network or the broadcast address of a local
// network (here 127.0.0.4/30); datagrams from there are forged and dropped.
void TestNet::datagramsFromNetworkAndBroadcastAddressesAreDropped() {
    TNetFixture f;
    f.net.addresses = {iface("127.0.0.5", 30)};
    QVERIFY(f.start());
    QSignalSpy spy(&f.endpoint, &TUdpEndpoint::datagramReceived);
    for (const char* source : {"127.0.0.4", "127.0.0.7", "127.0.0.6"}) {
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress(QLatin1String(source)), 0));
        peer.writeDatagram(QByteArray("PC-") + source + ":KVPALAVEROREFRESH:", QHostAddress::LocalHost,
                           f.port);
    }
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), QByteArray("PC-127.0.0.6:KVPALAVEROREFRESH:"));
    QCOMPARE(f.endpoint.senderIP(), QByteArray("127.0.0.6"));
    QCOMPARE(f.targets.texts(), QList<QByteArray>{"PC-127.0.0.6"});
}

void TestNet::oversizedAndEmptyDatagramsAreDropped() {
    TNetFixture f;
    QVERIFY(f.start());
    QSignalSpy spy(&f.endpoint, &TUdpEndpoint::datagramReceived);
    f.peer.send(QByteArray(), f.port);
    f.peer.send("PC-04:KVPALAVERODATA:" + QByteArray(8193 - 21, 'y'), f.port);
    const QByteArray largest = "PC-04:KVPALAVERODATA:" + QByteArray(8192 - 21, 'z');
    f.peer.send(largest, f.port);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), largest);
}

void TestNet::formDefaultsDropDatagramsUnseen() {
    TFakeNetworkInfo net;
    TFakeMessageBoxes boxes;
    TUdpEndpoint endpoint(net, boxes);
    QCOMPARE(endpoint.port(), quint16(3030));
    QVERIFY(!endpoint.isConfigured());
    if (!endpoint.open())
        QSKIP("port 3030 is in use on this computer");
    QSignalSpy spy(&endpoint, &TUdpEndpoint::datagramReceived);
    TPeer peer;
    peer.send("PC-04:KVPALAVEROREFRESH:", 3030);
    QTest::qWait(100);
    QCOMPARE(spy.count(), 0);
    endpoint.configure(3030);
    peer.send("PC-05:KVPALAVEROREFRESH:", 3030);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toByteArray(), QByteArray("PC-05:KVPALAVEROREFRESH:"));
}

void TestNet::opensOnDemand() {
    TNetFixture f;
    f.endpoint.configure(f.port);
    QVERIFY(!f.endpoint.isOpen());
    QVERIFY(f.endpoint.SendDatagram("127.0.0.1", "PC-TEST:KVPALAVERODATA:a"));
    QVERIFY(f.endpoint.isOpen());
    QCOMPARE(f.wire.take().size(), 1);
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:")); // and it listens on the configured port

    // When the port is taken, the send fails without a message.
    f.endpoint.close();
    QUdpSocket blocker;
    QVERIFY(blocker.bind(QHostAddress::AnyIPv4, f.port, QAbstractSocket::DontShareAddress));
    QVERIFY(!f.endpoint.SendDatagram("*", "PC-TEST:KVPALAVEROCONNECT:"));
    QVERIFY(!f.endpoint.isOpen());
    QVERIFY(f.boxes.boxes.isEmpty());
    QVERIFY(f.wire.take().isEmpty());
}

void TestNet::hostByName() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.endpoint.SendDatagram("localhost", "PC-TEST:KVPALAVERODATA:by name"));
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVERODATA:by name"});
}

void TestNet::unresolvableHostFailsSilently() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(!f.endpoint.SendDatagram("no-such-computer.invalid", "PC-TEST:KVPALAVERODATA:x"));
    QVERIFY(!f.endpoint.SendDatagram("", "PC-TEST:KVPALAVERODATA:x"));
    QVERIFY(f.boxes.boxes.isEmpty());
    QVERIFY(f.wire.take().isEmpty());
}

void TestNet::receiveBufferIsEnlarged() {
    TNetFixture f;
    QCOMPARE(f.endpoint.receiveBufferSize(), 0);
    QVERIFY(f.start());
    QUdpSocket plain;
    QVERIFY(plain.bind(QHostAddress::AnyIPv4, 0));
    const int plainSize = plain.socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    QVERIFY2(f.endpoint.receiveBufferSize() > plainSize,
             qPrintable(QStringLiteral("%1 <= %2").arg(f.endpoint.receiveBufferSize()).arg(plainSize)));
}

void TestNet::smallReceiveBufferNote_data() {
    QTest::addColumn<int>("granted");
    QTest::addColumn<bool>("noted");
    QTest::newRow("a normal user's stock limit") << 212992 << true;
    QTest::newRow("1 MiB") << 1024 * 1024 << true;
    QTest::newRow("all that was asked") << 4 * 1024 * 1024 << false;
    QTest::newRow("more") << 8 * 1024 * 1024 << false;
    QTest::newRow("unknown") << 0 << false;
}

// Granted less than it asked for, the endpoint says how much, and how to raise it.
void TestNet::smallReceiveBufferNote() {
    QFETCH(int, granted);
    QFETCH(bool, noted);
    const QString note = TUdpEndpoint::SmallReceiveBufferNote(granted, 4 * 1024 * 1024);
    QCOMPARE(!note.isEmpty(), noted);
    if (noted) {
        QVERIFY2(note.contains(QStringLiteral("%1 KiB of the 4096 KiB").arg(granted / 1024)), qPrintable(note));
        QVERIFY2(note.contains(QStringLiteral("sysctl -w net.core.rmem_max=4194304")), qPrintable(note));
    }
}

void TestNet::ipv6Binding() {
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHostIPv6, 0))
        QSKIP("no IPv6 on this computer");
    TNetFixture f;
    QVERIFY(f.start());
    QSignalSpy spy(&f.endpoint, &TUdpEndpoint::datagramReceived);
    probe.writeDatagram("PC-06:KVPALAVEROREFRESH:", QHostAddress::LocalHostIPv6, f.port);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(f.endpoint.senderIP(), QByteArray("::1"));
    QCOMPARE(f.targets.find("PC-06", Qt::CaseSensitive)->FIPAddress, QByteArray("::1"));
}

void TestNet::reentrantHandlerSeesDatagramsInOrder() {
    TNetFixture f;
    QVERIFY(f.start());
    QList<QByteArray> seen;
    int depth = 0;
    int deepest = 0;
    constexpr int kCount = 40;
    QObject::connect(&f.endpoint, &TUdpEndpoint::datagramReceived, [&](const QByteArray& text) {
        ++depth;
        deepest = std::max(deepest, depth);
        seen << text;
        if (seen.size() == 1) {
            // The rest arrive while this handler lets pending events run.
            for (int i = 1; i < kCount; ++i)
                f.peer.send("PC-04:KVPALAVERODATA:" + QByteArray::number(i), f.port);
        }
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        --depth;
    });
    f.peer.send("PC-04:KVPALAVERODATA:0", f.port);
    QTRY_COMPARE(seen.size(), kCount);
    QCOMPARE(deepest, 1);
    for (int i = 0; i < kCount; ++i)
        QCOMPARE(seen.at(i), "PC-04:KVPALAVERODATA:" + QByteArray::number(i));
}

void TestNet::modalLoopOfAHandlerSeesFurtherDatagrams() {
    // A handler opens a message box (a modal loop of its own) and waits for the
    // user: the datagrams that arrive meanwhile are handed on inside that loop,
    // in arrival order, and the box's handler finishes last.
    TNetFixture f;
    QVERIFY(f.start());
    QList<QByteArray> seen;
    QEventLoop box;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &box, &QEventLoop::quit);
    constexpr int kCount = 5;
    QObject::connect(&f.endpoint, &TUdpEndpoint::datagramReceived, [&](const QByteArray& text) {
        seen << text;
        if (seen.size() == 1) {
            for (int i = 1; i < kCount; ++i)
                f.peer.send("PC-04:KVPALAVERODATA:" + QByteArray::number(i), f.port);
            giveUp.start(5000);
            box.exec();
            seen << "box closed";
        } else if (seen.size() == kCount) {
            box.quit(); // the user closes the box once all have been seen
        }
    });
    f.peer.send("PC-04:KVPALAVERODATA:0", f.port);
    QTRY_VERIFY(seen.contains("box closed"));
    QList<QByteArray> expected;
    for (int i = 0; i < kCount; ++i)
        expected << "PC-04:KVPALAVERODATA:" + QByteArray::number(i);
    expected << "box closed";
    QCOMPARE(seen, expected);
}

void TestNet::burstsAreAllDelivered() {
    // Presence answers of a large network arrive at once; none may be lost, and
    // each later burst must be announced again by the socket.
    TNetFixture f;
    QVERIFY(f.start());
    constexpr int kBurst = 500;
    for (int burst = 1; burst <= 3; ++burst) {
        for (int i = 0; i < kBurst; ++i)
            f.peer.send("PC-" + QByteArray::number(burst * 1000 + i) + ":KVPALAVEROREFRESH:", f.port);
        QTRY_COMPARE(f.targets.count(), burst * kBurst);
    }
    QCOMPARE(f.targets.textAt(0), QByteArray("PC-1000"));
    QVERIFY(f.wire.take().isEmpty());
}

namespace {
// Waits without running this thread's events until the endpoint's reader has
// taken `count` datagrams off the socket (queued or dropped as overflow).
bool waitUntilTaken(const TUdpEndpoint& endpoint, qsizetype count) {
    QElapsedTimer waited;
    waited.start();
    while (endpoint.queue().size() + qsizetype(endpoint.queue().dropped()) < count) {
        if (waited.elapsed() > 5000)
            return false;
        QThread::msleep(1);
    }
    return true;
}
} // namespace

void TestNet::readerDrainsWhileGuiThreadIsBusy() {
    // The GUI thread handles nothing while a large network answers: the reader
    // takes every datagram off the socket, far more than the kernel would hold
    // for a normal user, and the GUI thread hands them on later in order.
    TNetFixture f;
    QVERIFY(f.start());
    QList<QByteArray> seen;
    QObject::connect(&f.endpoint, &TUdpEndpoint::datagramReceived, [&](const QByteArray& text) { seen << text; });
    constexpr int kCount = 6000;
    constexpr int kChunk = 100; // fits the smallest kernel buffer
    for (int i = 0; i < kCount; ++i) {
        f.peer.send("PC-" + QByteArray::number(i) + ":KVPALAVEROREFRESH:", f.port);
        if (i % kChunk == kChunk - 1)
            QVERIFY(waitUntilTaken(f.endpoint, i + 1));
    }
    QCOMPARE(seen.size(), 0);
    QCOMPARE(f.endpoint.queue().size(), kCount);
    QTRY_COMPARE(seen.size(), kCount);
    for (int i = 0; i < kCount; i += 997)
        QCOMPARE(seen.at(i), "PC-" + QByteArray::number(i) + ":KVPALAVEROREFRESH:");
    QCOMPARE(f.targets.count(), kCount);
    QCOMPARE(f.endpoint.queue().dropped(), 0u);
}

void TestNet::queueOverflowIsCountedAndLogged() {
    TNetFixture f;
    QVERIFY(f.start());
    const qsizetype each = 8000;
    const int fits = int(f.endpoint.queue().limit() / (each + TDatagramQueue::kOverhead));
    const int sent = fits + 50;
    for (int i = 0; i < sent; ++i) {
        f.peer.send("PC-04:KVPALAVERODATA:" + QByteArray(each - 21, char('a' + i % 26)), f.port);
        if (i % 20 == 19 || i == sent - 1)
            QVERIFY(waitUntilTaken(f.endpoint, i + 1));
    }
    QCOMPARE(f.endpoint.queue().size(), fits);
    QCOMPARE(f.endpoint.queue().dropped(), quint64(sent - fits));
    // Another computer's connect still finds room (the newest data gives way
    // where needed) and is handled first.
    f.peer.send("PC-06:KVPALAVEROCONNECT:", f.port);
    QVERIFY(waitUntilTaken(f.endpoint, sent + 1));
    const qsizetype queued = f.endpoint.queue().size();
    QCOMPARE(queued + qsizetype(f.endpoint.queue().dropped()), sent + 1);

    int handled = 0;
    QList<QByteArray> kinds;
    QObject::connect(&f.endpoint, &TUdpEndpoint::datagramReceived, [&](const QByteArray& text) {
        ++handled;
        if (kinds.size() < 2)
            kinds << text.left(text.indexOf(':', 6));
    });
    const quint64 dropped = f.endpoint.queue().dropped();
    QVERIFY(dropped == quint64(sent - fits) || dropped == quint64(sent - fits + 1));
    QTest::ignoreMessage(QtWarningMsg, QStringLiteral("receive queue full (32 MiB): %1 datagrams dropped, %1 in all")
                                           .arg(dropped).toUtf8().constData());
    QTRY_COMPARE(handled, queued);
    // The connect was handled first and answered.
    QCOMPARE(kinds, (QList<QByteArray>{"PC-06:KVPALAVEROCONNECT", "PC-04:KVPALAVERODATA"}));
    QVERIFY(f.targets.find("PC-06", Qt::CaseSensitive));
    // The queue takes datagrams again once there is room.
    QVERIFY(f.deliver("PC-05:KVPALAVEROREFRESH:"));
    QVERIFY(f.targets.find("PC-05", Qt::CaseSensitive));
}

void TestNet::closeInsideHandler() {
    TNetFixture f;
    QVERIFY(f.start());
    int handled = 0;
    QObject::connect(&f.endpoint, &TUdpEndpoint::datagramReceived, [&] {
        ++handled;
        f.endpoint.close();
    });
    f.peer.send("PC-04:KVPALAVERODATA:1", f.port);
    f.peer.send("PC-04:KVPALAVERODATA:2", f.port);
    QTRY_COMPARE(handled, 1);
    QTest::qWait(50);
    QCOMPARE(handled, 1);
    QVERIFY(!f.endpoint.isOpen());
    QVERIFY(f.endpoint.open());
    QVERIFY(f.deliver("PC-04:KVPALAVERODATA:3"));
}

// ---------------------------------------------------------------- target list

void TestNet::targetOrder_data() {
    QTest::addColumn<QList<QByteArray>>("added");
    QTest::addColumn<QList<QByteArray>>("order");
    QTest::newRow("case ignored") << QList<QByteArray>{"beta", "Alpha", "Charlie", "<Gruppe>"}
                                  << QList<QByteArray>{"<Gruppe>", "Alpha", "beta", "Charlie"};
    QTest::newRow("differing in case only")
        << QList<QByteArray>{"PC-04", "pc-04", "PC-03"} << QList<QByteArray>{"PC-03", "PC-04", "pc-04"};
    QTest::newRow("own name and repeats")
        << QList<QByteArray>{"PC-TEST", "b", "a", "b", "PC-TEST"} << QList<QByteArray>{"a", "b"};
    // As a German reader sorts: an umlaut with its vowel, not after "Z".
    QTest::newRow("umlaut") << QList<QByteArray>{"\xe4rger", "Zeta", "Buero", "\xc4rger", "Anton", "Aal"}
                            << QList<QByteArray>{"Aal", "Anton", "\xe4rger", "\xc4rger", "Buero", "Zeta"};
    QTest::newRow("sharp s and accents")
        << QList<QByteArray>{"Strasse", "Stra\xdf" "e", "Stre", "\xc9mile", "Emil", "Ende"}
        << QList<QByteArray>{"Emil", "\xc9mile", "Ende", "Strasse", "Stra\xdf" "e", "Stre"};
    QTest::newRow("digits") << QList<QByteArray>{"PC-10", "PC-2", "PC-1"}
                            << QList<QByteArray>{"PC-1", "PC-10", "PC-2"};
}

void TestNet::targetOrder() {
    QFETCH(QList<QByteArray>, added);
    QFETCH(QList<QByteArray>, order);
    TTargetList list("PC-TEST");
    for (const QByteArray& name : added)
        list.AddRemoteComputer(name, "10.0.0.1");
    QCOMPARE(list.texts(), order);
}

void TestNet::targetRules() {
    TTargetList list("PC-TEST");
    QVERIFY(!list.AddRemoteComputer("PC-TEST", "10.0.0.1"));
    QVERIFY(list.AddRemoteComputer("pc-test", "10.0.0.1")); // another computer: case counts
    QVERIFY(list.AddRemoteComputer("PC-04", "10.0.0.4"));
    QVERIFY(!list.AddRemoteComputer("PC-04", "10.0.0.99"));
    QCOMPARE(list.find("PC-04", Qt::CaseSensitive)->FIPAddress, QByteArray("10.0.0.4"));
    QVERIFY(!list.RemoveRemoteComputer("pc-04"));
    QVERIFY(!list.RemoveRemoteComputer("Unknown"));
    QCOMPARE(list.count(), 2);
    QVERIFY(list.RemoveRemoteComputer("PC-04"));
    QCOMPARE(list.texts(), QList<QByteArray>{"pc-test"});
    QVERIFY(list.AddRemoteComputer("PC-04", "10.0.0.99")); // removed, so added anew
    QCOMPARE(list.find("PC-04", Qt::CaseSensitive)->FIPAddress, QByteArray("10.0.0.99"));
    QVERIFY(list.AddRemoteComputer("<Team>", QByteArray()));
    QCOMPARE(list.find("<Team>", Qt::CaseSensitive)->FIPAddress, QByteArray());
    list.removeAt(0);
    QCOMPARE(list.texts(), (QList<QByteArray>{"PC-04", "pc-test"}));
}

void TestNet::targetLookup() {
    TTargetList list("ME");
    list.AddRemoteComputer("pc-04", "10.0.0.1");
    list.AddRemoteComputer("PC-04", "10.0.0.2");
    list.AddRemoteComputer("B\xfcro", "10.0.0.3");
    QCOMPARE(list.find("PC-04", Qt::CaseSensitive)->FIPAddress, QByteArray("10.0.0.2"));
    QCOMPARE(list.find("pc-04", Qt::CaseSensitive)->FIPAddress, QByteArray("10.0.0.1"));
    QCOMPARE(list.find("Pc-04", Qt::CaseInsensitive)->FIPAddress, QByteArray("10.0.0.1")); // first shown
    QCOMPARE(list.find("B\xdcRO", Qt::CaseInsensitive)->FIPAddress, QByteArray("10.0.0.3"));
    QVERIFY(!list.find("Pc-04", Qt::CaseSensitive));
    QVERIFY(!list.find("PC-05", Qt::CaseInsensitive));
    QVERIFY(!list.find("", Qt::CaseInsensitive));
    QCOMPARE(list.textAt(5), QByteArray());
    QVERIFY(!list.dataAt(-1));
}

void TestNet::targetModel() {
    TTargetList list("ME");
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    list.AddRemoteComputer("b", "1");
    list.AddRemoteComputer("B\xfcro", "2");
    list.AddRemoteComputer("a", "3");
    QCOMPARE(inserted.count(), 3);
    QCOMPARE(inserted.last().at(1).toInt(), 0); // "a" went to the top
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.data(list.index(2), Qt::DisplayRole).toString(), QStringLiteral("Büro"));
    QCOMPARE(list.data(list.index(2), Qt::EditRole).toString(), QStringLiteral("Büro"));
    QVERIFY(!list.data(list.index(2), Qt::DecorationRole).isValid());
    list.RemoveRemoteComputer("b");
    QCOMPARE(list.rowCount(), 2);
}

void TestNet::targetReplaceEntries_data() {
    QTest::addColumn<QList<QByteArray>>("listed");
    QTest::addColumn<QList<QByteArray>>("wanted");
    QTest::addColumn<QList<QByteArray>>("result");
    QTest::addColumn<bool>("reset");
    QTest::newRow("stale removed, new added")
        << QList<QByteArray>{"<Alt>", "PC1", "<Team>", "Vertrieb"} << QList<QByteArray>{"<Team>", "<Neu>"}
        << QList<QByteArray>{"<Neu>", "<Team>", "PC1", "Vertrieb"} << false;
    QTest::newRow("no groups left") << QList<QByteArray>{"<A>", "<B>", "PC1"} << QList<QByteArray>{}
                                    << QList<QByteArray>{"PC1"} << false;
    QTest::newRow("group and computer of one name")
        << QList<QByteArray>{"Vertrieb", "<Vertrieb>"} << QList<QByteArray>{"<Vertrieb>", "<vertrieb>"}
        << QList<QByteArray>{"<Vertrieb>", "<vertrieb>", "Vertrieb"} << false;
    QTest::newRow("own name and repeats") << QList<QByteArray>{"PC1"} << QList<QByteArray>{"<A>", "ME", "<A>"}
                                          << QList<QByteArray>{"<A>", "PC1"} << false;

    // Every other group goes and as many come: too many for row by row.
    QList<QByteArray> listed{"PC-0", "<0>", "PC-z"};
    QList<QByteArray> wanted;
    QList<QByteArray> result{"PC-0", "<0>", "PC-z"};
    for (int i = 1; i <= 40; ++i) {
        const QByteArray name = QByteArray::number(i);
        listed << '<' + name + '>';
        if (i % 2 == 0)
            wanted << '<' + name + '>';
        wanted << "<n" + name + '>';
    }
    result += wanted;
    wanted << "<0>";
    // The merged list is in the order of adding one by one ("<2>" before "<20>").
    QCollator german(QLocale(QLocale::German, QLocale::Germany));
    german.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(result.begin(), result.end(), [&german](const QByteArray& a, const QByteArray& b) {
        return german.compare(QString::fromLatin1(a), QString::fromLatin1(b)) < 0;
    });
    QTest::newRow("many changes at once") << listed << wanted << result << true;
}

void TestNet::targetReplaceEntries() {
    QFETCH(QList<QByteArray>, listed);
    QFETCH(QList<QByteArray>, wanted);
    QFETCH(QList<QByteArray>, result);
    QFETCH(bool, reset);
    const auto isGroup = [](const QByteArray& text) { return text.startsWith('<'); };
    TTargetList list("ME");
    for (const QByteArray& text : listed)
        list.AddRemoteComputer(text, isGroup(text) ? QByteArray() : "10.0.0." + QByteArray::number(text.size()));
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);

    list.replaceEntries(isGroup, wanted);
    QCOMPARE(list.texts(), result);
    QCOMPARE(resets.count(), reset ? 1 : 0);
    // Computers keep their records; groups have none; every text is found.
    for (const QByteArray& text : result) {
        const TPalaveroRemoteData* data = list.find(text, Qt::CaseSensitive);
        QVERIFY2(data, text.constData());
        QCOMPARE(data->FIPAddress,
                 isGroup(text) ? QByteArray() : "10.0.0." + QByteArray::number(text.size()));
    }
    // Again with the same texts: nothing changes.
    removed.clear();
    resets.clear();
    list.replaceEntries(isGroup, wanted);
    QCOMPARE(list.texts(), result);
    QCOMPARE(removed.count() + resets.count(), 0);
    // What was removed can be added again.
    if (list.RemoveRemoteComputer(result.first()))
        QVERIFY(list.AddRemoteComputer(result.first(), QByteArray()));
}

void TestNet::targetLogsRemoteAddress() {
    QLoggingCategory::setFilterRules(QStringLiteral("palavero.net.debug=true"));
    TTargetList list("ME");
    QTest::ignoreMessage(QtDebugMsg, "Remote IP: 10.0.0.7");
    list.AddRemoteComputer("PC-07", "10.0.0.7");
    QLoggingCategory::setFilterRules(QString());
}

// ---------------------------------------------------------------- presence

void TestNet::connectIsAnsweredWithOneRefresh() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-04:KVPALAVEROCONNECT:"));
    QCOMPARE(f.targets.texts(), QList<QByteArray>{"PC-04"});
    QCOMPARE(f.targets.find("PC-04", Qt::CaseSensitive)->FIPAddress, QByteArray("127.0.0.2"));
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROREFRESH:"});
    // A second connect from the same computer is answered again; the list stays.
    QVERIFY(f.deliver("PC-04:KVPALAVEROCONNECT:"));
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROREFRESH:"});
    QCOMPARE(f.targets.count(), 1);
}

// Many computers starting at once: the connects that wait together are answered
// with one look at the interfaces; a broadcast of the program's own looks afresh.
void TestNet::answersInOneRunShareOneLookAtTheInterfaces() {
    TNetFixture f;
    QVERIFY(f.start());
    QSignalSpy received(&f.endpoint, &TUdpEndpoint::datagramReceived);
    const QList<QByteArray> senders{"PC-01", "PC-02", "PC-03", "PC-04"};
    for (const QByteArray& sender : senders)
        f.peer.send(sender + ":KVPALAVEROCONNECT:", f.port);
    // All of them queued before the event loop hands the first one on.
    QDeadlineTimer deadline(5000);
    while (f.endpoint.queue().size() < senders.size() && !deadline.hasExpired())
        QThread::msleep(1);
    f.net.looks = 0;
    QTRY_COMPARE(received.count(), senders.size());
    QCOMPARE(f.targets.count(), senders.size());
    QCOMPARE(f.wire.take(), QList<QByteArray>(senders.size(), "PC-TEST:KVPALAVEROREFRESH:"));
    QVERIFY2(f.net.looks <= 1, qPrintable(QString::number(f.net.looks)));
    f.net.looks = 0;
    // Outside a run of received datagrams a changed network is seen at once.
    f.net.addresses = {iface("127.0.0.1", 16)};
    f.presence.AnnouncePresence(false);
    QCOMPARE(f.net.looks, 1);
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROREFRESH:"});
}

void TestNet::refreshIsNotAnswered() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));
    QCOMPARE(f.targets.texts(), QList<QByteArray>{"PC-04"});
    QVERIFY(f.wire.take().isEmpty());
}

void TestNet::ownConnectAddsNothingButIsAnswered() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-TEST:KVPALAVEROCONNECT:"));
    QCOMPARE(f.targets.count(), 0);
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROREFRESH:"});
}

void TestNet::disconnectRemovesSender() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));
    QVERIFY(f.deliver("pc-04:KVPALAVEROREFRESH:"));
    QVERIFY(f.deliver("PC-04:KVPALAVERODISCONNECT:"));
    QCOMPARE(f.targets.texts(), QList<QByteArray>{"pc-04"});
    QVERIFY(f.deliver("PC-09:KVPALAVERODISCONNECT:")); // unknown: nothing happens
    QCOMPARE(f.targets.texts(), QList<QByteArray>{"pc-04"});
    QVERIFY(f.wire.take().isEmpty());
}

void TestNet::addressFixedOnFirstSight() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));
    QUdpSocket elsewhere;
    QVERIFY(elsewhere.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
    QSignalSpy spy(&f.endpoint, &TUdpEndpoint::datagramReceived);
    elsewhere.writeDatagram("PC-04:KVPALAVEROCONNECT:", QHostAddress::LocalHost, f.port);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(f.endpoint.senderIP(), QByteArray("127.0.0.3"));
    QCOMPARE(f.targets.find("PC-04", Qt::CaseSensitive)->FIPAddress, QByteArray("127.0.0.2"));
}

void TestNet::startUdp() {
    TNetFixture f;
    QVERIFY(f.presence.TimerStartUdpTimer(f.port));
    QVERIFY(f.endpoint.isOpen());
    QCOMPARE(f.endpoint.port(), f.port);
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROCONNECT:"});
    QVERIFY(f.boxes.boxes.isEmpty());
    // Running it again closes and reopens on the same port.
    QVERIFY(f.presence.TimerStartUdpTimer(f.port));
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));
}

void TestNet::startUdpOnTakenPort() {
    TNetFixture f;
    auto blocker = std::make_unique<QUdpSocket>();
    QVERIFY(blocker->bind(QHostAddress::AnyIPv4, f.port, QAbstractSocket::DontShareAddress));
    QVERIFY(!f.presence.TimerStartUdpTimer(f.port));
    QVERIFY(!f.endpoint.isOpen());
    QCOMPARE(f.boxes.texts(),
             QStringList{
                 QStringLiteral("UDP-Verbindung auf Port %1 kann nicht eingerichtet werden.").arg(f.port)});
    QVERIFY(f.wire.take().isEmpty());
    // Later announcements fail silently, then open the endpoint once the port is free.
    f.presence.AnnouncePresence(true);
    QCOMPARE(f.boxes.boxes.size(), 1);
    blocker.reset();
    f.presence.AnnouncePresence(true);
    QVERIFY(f.endpoint.isOpen());
    QCOMPARE(f.endpoint.port(), f.port);
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROCONNECT:"});
    QCOMPARE(f.boxes.boxes.size(), 1);
}

void TestNet::anmelden() {
    TNetFixture f;
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));
    f.presence.Anmelden1Click();
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROCONNECT:"});
    QCOMPARE(f.targets.count(), 1); // nothing reset
}

void TestNet::loneliness() {
    TNetFixture f;
    QVERIFY(f.start());
    QCOMPARE(f.presence.lonelinessTimer().interval(), 10000);
    QVERIFY(!f.presence.lonelinessTimer().isActive());
    f.presence.startLonelinessTimer();
    QVERIFY(f.presence.lonelinessTimer().isActive());

    f.presence.TimerCheckLonelinessTimer();
    f.presence.TimerCheckLonelinessTimer();
    QCOMPARE(f.wire.take(), (QList<QByteArray>{"PC-TEST:KVPALAVEROCONNECT:", "PC-TEST:KVPALAVEROCONNECT:"}));
    QVERIFY(f.presence.lonelinessTimer().isActive());

    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));
    f.presence.TimerCheckLonelinessTimer();
    QVERIFY(!f.presence.lonelinessTimer().isActive());
    QVERIFY(f.wire.take().isEmpty());

    // Stopped for good, even when the peer leaves.
    QVERIFY(f.deliver("PC-04:KVPALAVERODISCONNECT:"));
    QCOMPARE(f.targets.count(), 0);
    f.presence.startLonelinessTimer();
    QVERIFY(!f.presence.lonelinessTimer().isActive());
    f.presence.TimerCheckLonelinessTimer();
    QVERIFY(f.wire.take().isEmpty());
}

void TestNet::lonelinessStopsForGroups() {
    TNetFixture f;
    QVERIFY(f.start());
    f.targets.AddRemoteComputer("<Team>", QByteArray());
    f.presence.startLonelinessTimer();
    emit f.presence.lonelinessTimer().timeout({}); // as the timer fires
    QVERIFY(!f.presence.lonelinessTimer().isActive());
    QVERIFY(f.wire.take().isEmpty());
}

void TestNet::networkWatchReportedChanges() {
    TFakeNetworkInfo net;
    TFakeNetworkChanges changes;
    TNetworkWatch watch(net);
    watch.setChangeSource(&changes);
    watch.setLookInterval(3600 * 1000); // only reports can find the network
    QSignalSpy appeared(&watch, &TNetworkWatch::appeared);
    // A program started with a network never listens.
    QVERIFY(!changes.listening);

    watch.start();
    QVERIFY(changes.listening);
    // A change that brings no network (an interface without IPv4 comes up).
    changes.report();
    QTest::qWait(TNetworkWatch::kSettleMs * 2);
    QCOMPARE(appeared.count(), 0);
    QVERIFY(watch.isActive());
    // The address is there, but nobody has said so yet.
    net.addresses = {iface("10.0.0.5", 24)};
    QTest::qWait(TNetworkWatch::kSettleMs * 2);
    QCOMPARE(appeared.count(), 0);
    // Reported: looked at once the reports pause.
    changes.report();
    changes.report();
    QCOMPARE(appeared.count(), 0);
    QTRY_COMPARE(appeared.count(), 1);
    QVERIFY(!watch.isActive());
    QVERIFY(!changes.listening);
    // A report that was on its way when the watch stopped changes nothing.
    Q_EMIT changes.changed();
    QTest::qWait(TNetworkWatch::kSettleMs * 2);
    QCOMPARE(appeared.count(), 1);

    // Started again (the network went away meanwhile), it reports again.
    net.addresses.clear();
    watch.start();
    QVERIFY(changes.listening);
    net.addresses = {iface("192.168.1.7", 24)};
    changes.report();
    QTRY_COMPARE(appeared.count(), 2);
    // Stopped while the reports settle: no look.
    net.addresses.clear();
    watch.start();
    net.addresses = {iface("192.168.1.7", 24)};
    changes.report();
    watch.stop();
    QTest::qWait(TNetworkWatch::kSettleMs * 2);
    QCOMPARE(appeared.count(), 2);
}

void TestNet::networkWatchLooksWithoutReports_data() {
    QTest::addColumn<bool>("withSource");
    QTest::newRow("no source of reports") << false;
    QTest::newRow("a system that reports nothing") << true;
}

void TestNet::networkWatchLooksWithoutReports() {
    QFETCH(bool, withSource);
    TFakeNetworkInfo net;
    TFakeNetworkChanges changes;
    changes.available = false;
    TNetworkWatch watch(net);
    if (withSource)
        watch.setChangeSource(&changes);
    watch.setLookInterval(10);
    QSignalSpy appeared(&watch, &TNetworkWatch::appeared);
    watch.start();
    QTest::qWait(50);
    QCOMPARE(appeared.count(), 0);
    QVERIFY(watch.isActive());
    net.addresses = {iface("10.0.0.5", 24)};
    QTRY_COMPARE(appeared.count(), 1);
    QVERIFY(!watch.isActive());
    QTest::qWait(50);
    QCOMPARE(appeared.count(), 1); // once
}

void TestNet::sessionLockAndUnlock_data() {
    QTest::addColumn<bool>("console");
    QTest::newRow("lock and unlock") << false;
    QTest::newRow("console disconnect and connect") << true;
}

void TestNet::sessionLockAndUnlock() {
    QFETCH(bool, console);
    TNetFixture f;
    TFakeSessionMonitor monitor;
    TFakeSystemInfo system;
    f.presence.attachSession(monitor, system);
    QVERIFY(f.start());
    QVERIFY(f.deliver("PC-04:KVPALAVEROREFRESH:"));

    console ? emit monitor.consoleDisconnected() : emit monitor.sessionLocked();
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVERODISCONNECT:"});
    QVERIFY(!f.endpoint.isOpen());
    // Already closed: nothing more to withdraw.
    console ? emit monitor.consoleDisconnected() : emit monitor.sessionLocked();
    QVERIFY(f.wire.take().isEmpty());
    QVERIFY(!f.endpoint.isOpen());

    console ? emit monitor.consoleConnected() : emit monitor.sessionUnlocked();
    QVERIFY(f.endpoint.isOpen());
    QCOMPARE(f.endpoint.port(), f.port);
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROCONNECT:"});
    QCOMPARE(f.targets.texts(), QList<QByteArray>{"PC-04"});
    QCOMPARE(f.presence.userName(), QStringLiteral("tester"));
    QVERIFY(f.deliver("PC-05:KVPALAVEROREFRESH:"));
}

void TestNet::suspendAndResume() {
    TNetFixture f;
    TFakeSessionMonitor monitor;
    TFakeSystemInfo system;
    f.presence.attachSession(monitor, system);
    QVERIFY(f.start());
    emit monitor.suspending();
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVERODISCONNECT:"});
    QVERIFY(f.endpoint.isOpen());
    emit monitor.resumed();
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVEROCONNECT:"});
    QVERIFY(f.endpoint.isOpen());
}

void TestNet::sessionEnding() {
    TNetFixture f;
    TFakeSessionMonitor monitor;
    TFakeSystemInfo system;
    f.presence.attachSession(monitor, system);
    QVERIFY(f.start());
    QStringList status;
    QObject::connect(&f.presence, &TPresence::statusText, [&](const QString& s) {
        status << s;
        QVERIFY(f.wire.take().isEmpty()); // the text comes before the datagram
    });
    emit monitor.sessionEnding();
    QCOMPARE(status, QStringList{"Sending Logout Message"});
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVERODISCONNECT:"});
}

void TestNet::userChange() {
    TNetFixture f;
    TFakeSessionMonitor monitor;
    TFakeSystemInfo system;
    f.presence.attachSession(monitor, system);
    QVERIFY(f.start());

    f.presence.CheckUserChange(QStringLiteral("tester"));
    QVERIFY(f.endpoint.isOpen());
    QVERIFY(f.wire.take().isEmpty());

    f.presence.CheckUserChange(QStringLiteral("Tester")); // compared exactly
    QVERIFY(!f.endpoint.isOpen());
    QCOMPARE(f.wire.take(), QList<QByteArray>{"PC-TEST:KVPALAVERODISCONNECT:"});
    QCOMPARE(f.presence.userName(), QStringLiteral("Tester"));

    // An unlock by another user while open: withdraw, close, reopen, announce.
    QVERIFY(f.endpoint.open());
    system.user = QStringLiteral("anna");
    emit monitor.sessionUnlocked();
    QCOMPARE(f.wire.take(),
             (QList<QByteArray>{"PC-TEST:KVPALAVERODISCONNECT:", "PC-TEST:KVPALAVEROCONNECT:"}));
    QVERIFY(f.endpoint.isOpen());
    QCOMPARE(f.presence.userName(), QStringLiteral("anna"));
}

// An IPv6 peer is answered at the address it is listed with, through the IPv6 socket.
void TestNet::unicastToIPv6Address() {
    QUdpSocket peer6;
    if (!peer6.bind(QHostAddress::LocalHostIPv6, 0))
        QSKIP("no IPv6 on this computer");
    TNetFixture f;
    f.endpoint.setDestinationPort(peer6.localPort());
    QVERIFY(f.start());
    QVERIFY(f.endpoint.SendDatagram("::1", "PC-TEST:KVPALAVERODATA:Hallo"));
    QTRY_VERIFY(peer6.hasPendingDatagrams());
    QByteArray got(int(peer6.pendingDatagramSize()), Qt::Uninitialized);
    QHostAddress from;
    peer6.readDatagram(got.data(), got.size(), &from);
    QCOMPARE(got, QByteArray("PC-TEST:KVPALAVERODATA:Hallo"));
    QCOMPARE(from, QHostAddress::LocalHostIPv6);
}

PALAVERO_TEST_GUILESS_MAIN(TestNet)
#include "tst_net.moc"
