#include "common/Fakes.h"
#include "common/TestMain.h"

#include "cli/Listener.h"
#include "cli/ScriptText.h"

#include <QTemporaryFile>
#include <QTimeZone>
#include <QUdpSocket>

#include <cstdio>

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scriptText_data();
    void scriptText();
    void jsonLine_data();
    void jsonLine();
    void listenerPrintsReceivedMessages();
};

void TestCli::scriptText_data() {
    QTest::addColumn<bool>("fromInput");
    QTest::addColumn<QByteArray>("given"); // UTF-8
    QTest::addColumn<QByteArray>("message"); // Windows-1252
    QTest::newRow("argument") << false << QByteArray("Hallo") << QByteArray("Hallo");
    QTest::newRow("umlauts and the euro sign become Windows-1252")
        << false << QByteArray("Gr\xc3\xbc\xc3\x9f" "e 5 \xe2\x82\xac") << QByteArray("Gr\xfc\xdf" "e 5 \x80");
    QTest::newRow("a character the code page lacks") << false << QByteArray("\xe2\x9c\x93") << QByteArray("?");
    QTest::newRow("line breaks become CR LF") << false << QByteArray("a\nb\r\nc\rd")
                                              << QByteArray("a\r\nb\r\nc\r\nd");
    QTest::newRow("argument keeps its final line break") << false << QByteArray("a\n") << QByteArray("a\r\n");
    QTest::newRow("input loses its final line break") << true << QByteArray("a\nb\n") << QByteArray("a\r\nb");
    QTest::newRow("input loses only one") << true << QByteArray("a\n\n") << QByteArray("a\r\n");
    QTest::newRow("input with CR LF") << true << QByteArray("a\r\n") << QByteArray("a");
    QTest::newRow("empty input") << true << QByteArray() << QByteArray();
}

void TestCli::scriptText() {
    QFETCH(bool, fromInput);
    QFETCH(QByteArray, given);
    QFETCH(QByteArray, message);
    QCOMPARE(fromInput ? ScriptText::fromInput(given) : ScriptText::fromArgument(QString::fromUtf8(given)),
             message);
}

void TestCli::jsonLine_data() {
    QTest::addColumn<QByteArray>("sender");
    QTest::addColumn<QByteArray>("payload"); // Windows-1252
    QTest::addColumn<QByteArray>("line");
    const QByteArray head = "{\"from\": \"PC-B\", \"address\": \"10.77.0.2\", \"time\": \"2026-12-10T09:15:02+01:00\", ";
    QTest::newRow("plain") << QByteArray("PC-B") << QByteArray("Hallo") << head + "\"text\": \"Hallo\"}";
    QTest::newRow("umlauts as UTF-8") << QByteArray("PC-B") << QByteArray("Gr\xfc\xdf" "e \x80")
                                      << head + "\"text\": \"Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac\"}";
    QTest::newRow("quotes, backslashes, line breaks, control characters")
        << QByteArray("PC-B") << QByteArray("\"a\\b\"\r\n\tc\x01")
        << head + "\"text\": \"\\\"a\\\\b\\\"\\r\\n\\tc\\u0001\"}";
    QTest::newRow("sender with an umlaut")
        << QByteArray("PC-\xc4") << QByteArray("x")
        << QByteArray("{\"from\": \"PC-\xc3\x84\", \"address\": \"10.77.0.2\", \"time\": \"2026-12-10T09:15:02+01:00\", "
           "\"text\": \"x\"}");
    QTest::newRow("continuation") << QByteArray("PC-B") << QByteArray("KVPALAVEROPARTmehr")
                                  << head + "\"text\": \"mehr\", \"continuation\": true}";
}

void TestCli::jsonLine() {
    QFETCH(QByteArray, sender);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, line);
    const QDateTime time(QDate(2026, 12, 10), QTime(9, 15, 2), QTimeZone(3600));
    QCOMPARE(TListener::jsonLine(sender, "10.77.0.2", time, payload), line);
}

void TestCli::listenerPrintsReceivedMessages() {
    // A real port on the loopback interface. The listener's own address is
    // 127.0.0.2, so its broadcasts stay on the loopback network and the probe's
    // datagrams from 127.0.0.1 count as another computer's.
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    QUdpSocket free;
    QVERIFY(free.bind(QHostAddress::LocalHost, 0));
    const quint16 port = free.localPort();
    free.close();

    std::FILE* out = std::tmpfile();
    QVERIFY(out);
    TFakeNetworkInfo net;
    net.addresses = {{TIpAddress::parse("127.0.0.2"), 8}};
    TFakeMessageBoxes boxes;
    TListener listener("PC-L", net, boxes, out);
    listener.setClock([] { return QDateTime(QDate(2026, 12, 10), QTime(9, 15, 2), QTimeZone(3600)); });
    QVERIFY(listener.start(port));

    const auto written = [out] {
        std::fflush(out);
        std::rewind(out);
        QByteArray all;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
            all.append(buffer, qsizetype(n));
        std::fseek(out, 0, SEEK_END);
        return all;
    };
    probe.writeDatagram("PC-B:KVPALAVERODATA:", QHostAddress::LocalHost, port); // empty: nothing shown
    probe.writeDatagram("PC-B:KVPALAVERODATA:Hallo", QHostAddress::LocalHost, port);
    QTRY_VERIFY(!written().isEmpty());
    QCOMPARE(written(), QByteArray("{\"from\": \"PC-B\", \"address\": \"127.0.0.1\", \"time\": "
                                   "\"2026-12-10T09:15:02+01:00\", \"text\": \"Hallo\"}\n"));
    listener.stop();
    std::fclose(out);
    QCOMPARE(boxes.texts(), QStringList());
}

PALAVERO_TEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
