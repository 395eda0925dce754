#include "common/TestMain.h"

#include "platform/DatagramQueue.h"
#include "platform/DatagramSocket.h"
#include "platform/HostLookup.h"
#include "platform/IpAddress.h"
#include "platform/linux/LinuxNetworkInfo.h"
#include "platform/linux/LinuxSystemInfo.h"

#include <QNetworkInterface>
#include <QUdpSocket>

#include <sys/utsname.h>

// Readable failures of QCOMPARE.
char* toString(const TIpAddress& address) {
    return qstrdup(address.isNull() ? "(null)" : address.toText().constData());
}

namespace {
constexpr auto IPv4 = TIpAddress::Family::IPv4;
constexpr auto IPv6 = TIpAddress::Family::IPv6;
constexpr auto None = TIpAddress::Family::None;
} // namespace

class TestAddresses : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void parseAndFormat_data();
    void parseAndFormat();
    void checks_data();
    void checks();
    void equality();
    void lookup_data();
    void lookup();
    void aceName_data();
    void aceName();
    void localIPv4LeavesOutLoopbackAndDownInterfaces();
    void computerNameIsTheNodeName();
    void datagramSocketOnIPv6_data();
    void datagramSocketOnIPv6();
};

void TestAddresses::parseAndFormat_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TIpAddress::Family>("family");
    QTest::addColumn<QByteArray>("shown"); // the address as text; empty for none

    QTest::newRow("dotted") << QByteArray("192.168.1.17") << IPv4 << QByteArray("192.168.1.17");
    QTest::newRow("short octets") << QByteArray("1.2.3.4") << IPv4 << QByteArray("1.2.3.4");
    QTest::newRow("zeros") << QByteArray("10.0.0.0") << IPv4 << QByteArray("10.0.0.0");
    QTest::newRow("three digits") << QByteArray("192.168.100.255") << IPv4 << QByteArray("192.168.100.255");
    QTest::newRow("all sizes") << QByteArray("100.20.3.199") << IPv4 << QByteArray("100.20.3.199");
    QTest::newRow("lowest") << QByteArray("0.0.0.0") << IPv4 << QByteArray("0.0.0.0");
    QTest::newRow("highest") << QByteArray("255.255.255.255") << IPv4 << QByteArray("255.255.255.255");
    QTest::newRow("octet 256") << QByteArray("192.168.1.256") << None << QByteArray();
    QTest::newRow("first octet 256") << QByteArray("256.1.1.1") << None << QByteArray();
    // The forms of inet_aton: octal, hex, fewer parts; blanks around are ignored.
    QTest::newRow("leading zero is octal") << QByteArray("010.0.0.1") << IPv4 << QByteArray("8.0.0.1");
    QTest::newRow("zero-padded octets")
        << QByteArray("192.168.001.017") << IPv4 << QByteArray("192.168.1.15");
    QTest::newRow("8 is no octal digit") << QByteArray("192.168.1.08") << None << QByteArray();
    QTest::newRow("hex octet") << QByteArray("0x0a.0.0.1") << IPv4 << QByteArray("10.0.0.1");
    QTest::newRow("three parts") << QByteArray("1.2.3") << IPv4 << QByteArray("1.2.0.3");
    QTest::newRow("two parts") << QByteArray("127.1") << IPv4 << QByteArray("127.0.0.1");
    QTest::newRow("one number") << QByteArray("3232235793") << IPv4 << QByteArray("192.168.1.17");
    QTest::newRow("one number too big") << QByteArray("4294967296") << None << QByteArray();
    QTest::newRow("blanks around") << QByteArray(" \t10.0.0.1 \r\n") << IPv4 << QByteArray("10.0.0.1");
    QTest::newRow("trailing dot") << QByteArray("1.2.3.4.") << None << QByteArray();
    QTest::newRow("five parts") << QByteArray("1.2.3.4.5") << None << QByteArray();
    QTest::newRow("empty part") << QByteArray("1..2.3") << None << QByteArray();
    QTest::newRow("negative") << QByteArray("-1.2.3.4") << None << QByteArray();
    QTest::newRow("letters after") << QByteArray("1.2.3.4x") << None << QByteArray();
    QTest::newRow("umlaut after") << QByteArray("1.2.3.4\xe4") << None << QByteArray();
    QTest::newRow("computer name") << QByteArray("PC-MUELLER") << None << QByteArray();
    QTest::newRow("empty") << QByteArray() << None << QByteArray();
    QTest::newRow("blanks only") << QByteArray("  ") << None << QByteArray();

    QTest::newRow("IPv6 any") << QByteArray("::") << IPv6 << QByteArray("::");
    QTest::newRow("IPv6 loopback") << QByteArray("::1") << IPv6 << QByteArray("::1");
    QTest::newRow("IPv6 in lower case") << QByteArray("FE80::ABCD") << IPv6 << QByteArray("fe80::abcd");
    QTest::newRow("IPv6 written out")
        << QByteArray("2001:0db8:0000:0000:0000:0000:0000:0001") << IPv6 << QByteArray("2001:db8::1");
    QTest::newRow("IPv6 first longest run shortened")
        << QByteArray("1:0:0:2:0:0:0:3") << IPv6 << QByteArray("1:0:0:2::3");
    QTest::newRow("IPv6 first of equal runs")
        << QByteArray("2001:db8:0:0:1:0:0:1") << IPv6 << QByteArray("2001:db8::1:0:0:1");
    QTest::newRow("IPv6 one zero group stays")
        << QByteArray("1:0:2:3:4:5:6:7") << IPv6 << QByteArray("1:0:2:3:4:5:6:7");
    QTest::newRow("IPv6 zero group at the end")
        << QByteArray("1:2:3:4:5:6:7::") << IPv6 << QByteArray("1:2:3:4:5:6:7:0");
    QTest::newRow("IPv6 run at the end") << QByteArray("fe80:1::") << IPv6 << QByteArray("fe80:1::");
    QTest::newRow("IPv4-mapped") << QByteArray("::ffff:1.2.3.4") << IPv6 << QByteArray("::ffff:1.2.3.4");
    QTest::newRow("IPv4-mapped in hex")
        << QByteArray("::FFFF:0102:0304") << IPv6 << QByteArray("::ffff:1.2.3.4");
    QTest::newRow("IPv4-compatible") << QByteArray("::1.2.3.4") << IPv6 << QByteArray("::1.2.3.4");
    QTest::newRow("IPv4-compatible, small: hex") << QByteArray("::0.0.1.2") << IPv6 << QByteArray("::102");
    QTest::newRow("IPv6 with its zone") << QByteArray("fe80::1%lo") << IPv6 << QByteArray("fe80::1%lo");
    QTest::newRow("IPv6 with a numbered zone") << QByteArray("fe80::1%2") << IPv6 << QByteArray("fe80::1%2");
    QTest::newRow("IPv6 with an empty zone") << QByteArray("fe80::1%") << IPv6 << QByteArray("fe80::1");
    QTest::newRow("IPv6 two runs") << QByteArray("1::2::3") << None << QByteArray();
    QTest::newRow("IPv6 nine groups") << QByteArray("1:2:3:4:5:6:7:8:9") << None << QByteArray();
    QTest::newRow("IPv6 group of five digits") << QByteArray("12345::") << None << QByteArray();
    QTest::newRow("IPv6 short embedded IPv4") << QByteArray("::ffff:1.2.3") << None << QByteArray();
    QTest::newRow("IPv6 embedded octal") << QByteArray("::ffff:01.2.3.4") << None << QByteArray();
    QTest::newRow("IPv6 in brackets") << QByteArray("[::1]") << None << QByteArray();
    QTest::newRow("IPv6 zone without address") << QByteArray("%eth0") << None << QByteArray();
}

void TestAddresses::parseAndFormat() {
    QFETCH(QByteArray, text);
    QFETCH(TIpAddress::Family, family);
    QFETCH(QByteArray, shown);
    const TIpAddress address = TIpAddress::parse(text);
    QCOMPARE(address.family(), family);
    QCOMPARE(address.isNull(), family == None);
    QCOMPARE(address.toText(), shown);
    QCOMPARE(address.toString(), QString::fromLatin1(shown));
    // What is shown reads back as the same address.
    QCOMPARE(TIpAddress::parse(shown), address);
}

void TestAddresses::checks_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("loopback");
    QTest::addColumn<bool>("multicast");
    QTest::addColumn<bool>("anyIPv6");
    QTest::addColumn<bool>("hasIPv4"); // stands for an IPv4 address
    QTest::addColumn<quint32>("ipv4");

    QTest::newRow("private") << QByteArray("192.168.1.17") << false << false << false << true << 0xC0A80111u;
    QTest::newRow("loopback") << QByteArray("127.0.0.1") << true << false << false << true << 0x7F000001u;
    QTest::newRow("loopback network")
        << QByteArray("127.255.0.1") << true << false << false << true << 0x7FFF0001u;
    QTest::newRow("after loopback") << QByteArray("128.0.0.1") << false << false << false << true
                                    << 0x80000001u;
    QTest::newRow("multicast first") << QByteArray("224.0.0.1") << false << true << false << true
                                     << 0xE0000001u;
    QTest::newRow("multicast last") << QByteArray("239.255.255.255") << false << true << false << true
                                    << 0xEFFFFFFFu;
    QTest::newRow("below multicast") << QByteArray("223.255.255.255") << false << false << false << true
                                     << 0xDFFFFFFFu;
    QTest::newRow("above multicast") << QByteArray("240.0.0.0") << false << false << false << true
                                     << 0xF0000000u;
    QTest::newRow("IPv6 loopback") << QByteArray("::1") << true << false << false << false << 0u;
    QTest::newRow("IPv6 multicast") << QByteArray("ff02::1") << false << true << false << false << 0u;
    QTest::newRow("IPv6 link-local") << QByteArray("fe80::1%lo") << false << false << false << false << 0u;
    QTest::newRow("IPv6 any") << QByteArray("::") << false << false << true << true << 0u;
    QTest::newRow("IPv4-mapped") << QByteArray("::ffff:1.2.3.4") << false << false << false << true
                                 << 0x01020304u;
    QTest::newRow("IPv4-mapped loopback")
        << QByteArray("::ffff:127.0.0.1") << true << false << false << true << 0x7F000001u;
    QTest::newRow("IPv4-mapped multicast")
        << QByteArray("::ffff:224.0.0.1") << false << true << false << true << 0xE0000001u;
    QTest::newRow("IPv4-compatible") << QByteArray("::1.2.3.4") << false << false << false << false << 0u;
    QTest::newRow("none") << QByteArray() << false << false << false << false << 0u;
}

void TestAddresses::checks() {
    QFETCH(QByteArray, text);
    QFETCH(bool, loopback);
    QFETCH(bool, multicast);
    QFETCH(bool, anyIPv6);
    QFETCH(bool, hasIPv4);
    QFETCH(quint32, ipv4);
    const TIpAddress address = TIpAddress::parse(text);
    QCOMPARE(address.isLoopback(), loopback);
    QCOMPARE(address.isMulticast(), multicast);
    QCOMPARE(address.isAnyIPv6(), anyIPv6);
    quint32 got = 0xDEADBEEF;
    QCOMPARE(address.toIPv4(got), hasIPv4);
    if (hasIPv4)
        QCOMPARE(got, ipv4);
    QCOMPARE(address.toIPv4(), address.isIPv4() ? ipv4 : 0u);
}

void TestAddresses::equality() {
    QCOMPARE(TIpAddress::parse("10.0.0.1"), TIpAddress(quint32(0x0A000001)));
    QCOMPARE(TIpAddress::parse("127.0.0.1"), TIpAddress::localhost());
    QCOMPARE(TIpAddress::parse("::"), TIpAddress::anyIPv6());
    QCOMPARE(TIpAddress(), TIpAddress::parse("garbage"));
    // An IPv4 address and its IPv4-mapped IPv6 form are different addresses.
    QVERIFY(TIpAddress::parse("1.2.3.4") != TIpAddress::parse("::ffff:1.2.3.4"));
    // The zone counts: the same link-local address on two interfaces is two peers.
    QVERIFY(TIpAddress::parse("fe80::1%eth0") != TIpAddress::parse("fe80::1%eth1"));
    QVERIFY(TIpAddress::parse("fe80::1%eth0") != TIpAddress::parse("fe80::1"));
    QVERIFY(TIpAddress() != TIpAddress(quint32(0)));
}

void TestAddresses::lookup_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("expected"); // empty: no IPv4 address

    QTest::newRow("localhost") << QStringLiteral("localhost") << QByteArray("127.0.0.1");
    QTest::newRow("letter case ignored") << QStringLiteral("LocalHost") << QByteArray("127.0.0.1");
    QTest::newRow("dotted address, no lookup") << QStringLiteral("10.1.2.3") << QByteArray("10.1.2.3");
    QTest::newRow("short address form") << QStringLiteral("10.1") << QByteArray("10.0.0.1");
    QTest::newRow("IPv6 address has no IPv4") << QStringLiteral("::1") << QByteArray();
    QTest::newRow("IPv4-mapped is IPv6") << QStringLiteral("::ffff:10.1.2.3") << QByteArray();
    QTest::newRow("unknown name") << QStringLiteral("no-such-computer.invalid") << QByteArray();
    QTest::newRow("unknown international name") << QStringLiteral("müller-pc.invalid") << QByteArray();
    QTest::newRow("group entry") << QStringLiteral("<Gruppe>") << QByteArray();
    QTest::newRow("blank inside") << QStringLiteral("pc 01") << QByteArray();
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestAddresses::lookup() {
    QFETCH(QString, host);
    QFETCH(QByteArray, expected);
    const TIpAddress address = HostLookup::firstIPv4(host);
    QCOMPARE(address.toText(), expected);
    QCOMPARE(address.isNull(), expected.isEmpty());
}

void TestAddresses::aceName_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ASCII") << QStringLiteral("PC-01") << QByteArray("pc-01");
    QTest::newRow("umlaut") << QStringLiteral("Müller-PC") << QByteArray("xn--mller-pc-65a");
    QTest::newRow("umlauts in one label")
        << QStringLiteral("ÄÖÜ.example") << QByteArray("xn--4ca0bs.example");
    QTest::newRow("underscore kept") << QStringLiteral("pc_01") << QByteArray("pc_01");
    QTest::newRow("blank") << QStringLiteral("pc 01") << QByteArray();
    QTest::newRow("angle brackets") << QStringLiteral("<Gruppe>") << QByteArray();
    QTest::newRow("empty label") << QStringLiteral("a..b") << QByteArray();
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestAddresses::aceName() {
    QFETCH(QString, host);
    QFETCH(QByteArray, expected);
    QCOMPARE(HostLookup::aceName(host), expected);
}

// The addresses of the interfaces that are up, as the system lists them.
void TestAddresses::localIPv4LeavesOutLoopbackAndDownInterfaces() {
    QList<TInterfaceAddress> expected;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (!(iface.flags() & QNetworkInterface::IsUp) || (iface.flags() & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && !entry.ip().isLoopback())
                expected.append({TIpAddress(entry.ip().toIPv4Address()), entry.prefixLength()});
        }
    }
    const QList<TInterfaceAddress> local = TLinuxNetworkInfo().localIPv4();
    QCOMPARE(local, expected);
    for (const TInterfaceAddress& entry : local) {
        QVERIFY(entry.address.isIPv4());
        QVERIFY(!entry.address.isLoopback());
        QVERIFY(entry.prefixLength >= 0 && entry.prefixLength <= 32);
    }
}

void TestAddresses::computerNameIsTheNodeName() {
    utsname names;
    QCOMPARE(::uname(&names), 0);
    const QString node = QString::fromLocal8Bit(names.nodename);
    QCOMPARE(TLinuxSystemInfo().computerName(), node.section(QLatin1Char('.'), 0, 0));
}

namespace {
// A link-local IPv6 address of this computer with its zone ("fe80::…%eth0"); null without one.
QHostAddress linkLocalIPv6() {
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (!(iface.flags() & QNetworkInterface::IsUp))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv6Protocol && entry.ip().isLinkLocal()) {
                QHostAddress address = entry.ip();
                address.setScopeId(iface.name());
                return address;
            }
        }
    }
    return {};
}
} // namespace

void TestAddresses::datagramSocketOnIPv6_data() {
    QTest::addColumn<bool>("linkLocal");
    QTest::newRow("loopback") << false;
    QTest::newRow("link-local, with its zone") << true;
}

// The IPv6 socket tells the sender as an IPv6 address, with the interface of a
// link-local one, and answers it there.
void TestAddresses::datagramSocketOnIPv6() {
    QFETCH(bool, linkLocal);
    const QHostAddress peerAddress = linkLocal ? linkLocalIPv6() : QHostAddress(QHostAddress::LocalHostIPv6);
    QUdpSocket peer;
    if (peerAddress.isNull() || !peer.bind(peerAddress, 0))
        QSKIP("no such IPv6 address on this computer");
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::AnyIPv6, 0, QAbstractSocket::DontShareAddress));
    TDatagramSocketOptions options;
    options.family = IPv6;
    options.port = probe.localPort();
    probe.close();
    TDatagramQueue queue;
    std::unique_ptr<IDatagramSocket> socket = OpenDatagramSocket(options, queue);
    QVERIFY(socket);

    QCOMPARE(peer.writeDatagram("hello", peerAddress, options.port), 5);
    QTRY_COMPARE(queue.size(), 1);
    TReceivedDatagram got;
    QVERIFY(queue.take(got));
    QCOMPARE(got.bytes, QByteArray("hello"));
    QCOMPARE(got.sender.toString(), peerAddress.toString());
    QCOMPARE(got.sender.zone().isEmpty(), !linkLocal);

    QCOMPARE(socket->send("back", got.sender, peer.localPort()), IDatagramSocket::SendResult::Sent);
    QTRY_VERIFY(peer.hasPendingDatagrams());
    QByteArray answer(int(peer.pendingDatagramSize()), Qt::Uninitialized);
    peer.readDatagram(answer.data(), answer.size());
    QCOMPARE(answer, QByteArray("back"));
    // Nothing goes to no address.
    QCOMPARE(socket->send("x", TIpAddress(), peer.localPort()), IDatagramSocket::SendResult::Failed);
}

PALAVERO_TEST_GUILESS_MAIN(TestAddresses)
#include "tst_addresses.moc"
