#include "common/Fakes.h"
#include "common/TestMain.h"

#include "app/CommandLine.h"
#include "cli/Listener.h"
#include "cli/OutputQueue.h"
#include "cli/ScriptText.h"
#include "cli/SendCommand.h"
#include "platform/linux/LocalSocketSingleInstance.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimeZone>
#include <QUdpSocket>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// A UDP port on the loopback interface that is free now.
quint16 FreePort() {
    QUdpSocket free;
    free.bind(QHostAddress::LocalHost, 0);
    return free.localPort();
}

// Reads what the pipe holds now, without waiting.
QByteArray ReadAvailable(int fd) {
    QByteArray all;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        all.append(buffer, qsizetype(n));
    return all;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The tests close pipes under a writer: that is no reason to end.
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }
    void scriptText_data();
    void scriptText();
    void jsonLine_data();
    void jsonLine();
    void listenerPrintsReceivedMessages();
    void outputQueueNeverWaitsForTheReader();
    void listenerGoesOnWhenItsOutputIsNotRead();
    void sendRefusesEndlessInput();
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
    const quint16 port = FreePort();

    QTemporaryDir dir;
    const QString outPath = dir.filePath(QStringLiteral("out.jsonl"));
    std::FILE* out = std::fopen(QFile::encodeName(outPath).constData(), "w");
    QVERIFY(out);
    TFakeNetworkInfo net;
    net.addresses = {{TIpAddress::parse("127.0.0.2"), 8}};
    TFakeMessageBoxes boxes;
    TListener listener("PC-L", net, boxes, out);
    listener.setClock([] { return QDateTime(QDate(2026, 12, 10), QTime(9, 15, 2), QTimeZone(3600)); });
    QVERIFY(listener.start(port));

    const auto written = [outPath] {
        QFile f(outPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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

// A pipe nobody reads: the writer fills it and waits, the queue takes what fits
// and drops the rest, and neither pushing nor ending waits for the reader.
void TestCli::outputQueueNeverWaitsForTheReader() {
    int fds[2];
    QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
    QCOMPARE(::fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    const int pipeSize = ::fcntl(fds[1], F_GETPIPE_SZ);
    constexpr qsizetype kLine = 16 * 1024;
    constexpr qsizetype kCapacity = 4 * kLine;
    const int lines = 2 * int(pipeSize / kLine + kCapacity / kLine) + 8;
    QElapsedTimer timer;
    timer.start();
    QByteArray accepted;
    {
        TOutputQueue queue(fds[1], kCapacity);
        for (int i = 0; i < lines; ++i) {
            const QByteArray line = QByteArray(kLine - 1, char('a' + i % 26)) + '\n';
            if (queue.push(line))
                accepted += line;
            QTest::qWait(2); // the writer takes what the pipe holds
        }
        QVERIFY(queue.dropped() > 0);
        QVERIFY(queue.dropped() <= quint64(lines - kCapacity / kLine));
        QVERIFY(!queue.drain(50));
        // A reader that comes back gets every line that was taken, whole and in order.
        QByteArray got;
        QTRY_VERIFY((got += ReadAvailable(fds[0]), got.size() == accepted.size()));
        QCOMPARE(got, accepted);
        QVERIFY(queue.drain(1000));
        // Full again: the end does not wait for the writer.
        while (queue.push(QByteArray(kLine, 'z')))
            QTest::qWait(2);
    }
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    ::close(fds[0]); // the blocked writer ends with the pipe (its write fails)
}

// --listen with an output nobody reads goes on answering and ends at once.
void TestCli::listenerGoesOnWhenItsOutputIsNotRead() {
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = FreePort();
    int fds[2];
    QCOMPARE(::pipe2(fds, O_CLOEXEC), 0);
    std::FILE* out = ::fdopen(fds[1], "w");
    TFakeNetworkInfo net;
    net.addresses = {{TIpAddress::parse("127.0.0.2"), 8}};
    TFakeMessageBoxes boxes;
    const QString lost = QStringLiteral("Die Ausgabe wird nicht gelesen: empfangene Nachrichten gehen verloren, "
                                        "bis sie wieder gelesen wird.");
    {
        TListener listener("PC-L", net, boxes, out);
        QVERIFY(listener.start(port));
        const QByteArray text(8000, 'x');
        const int messages = int((TListener::OutputCapacity + 256 * 1024) / text.size()) + 20;
        for (int i = 0; i < messages; ++i) {
            probe.writeDatagram("PC-B:KVPALAVERODATA:" + text, QHostAddress::LocalHost, port);
            QTest::qWait(1);
        }
        // Said once, while the listener still takes datagrams.
        QTRY_COMPARE(boxes.texts(), QStringList{lost});
        QElapsedTimer timer;
        timer.start();
        listener.stop();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(boxes.texts().size(), 2);
        QVERIFY2(boxes.texts().at(1).endsWith(
                     QStringLiteral(" empfangene Nachrichten nicht ausgegeben: die Ausgabe wurde nicht gelesen.")),
                 qPrintable(boxes.texts().at(1)));
    }
    ::close(fds[0]);
    std::fclose(out);
}

// Standard input that does not end (`yes | palavero --send …`) is refused as too
// long once it holds more than a message can, not read to its end.
void TestCli::sendRefusesEndlessInput() {
    TFakeSystemInfo system;
    TFakeNetworkInfo net;
    TFakeMessageBoxes boxes;
    QTemporaryDir dir;
    TLocalSocketSingleInstance nobody(dir.filePath(QStringLiteral("none.sock")));
    TSendCommand command(system, net, nobody, boxes);
    const TCommandLine commandLine = TCommandLine::parse({QStringLiteral("--send"), QStringLiteral("PC-B")});
    QCOMPARE(command.run(commandLine, [] { return std::nullopt; }), 1);
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!")});
}

PALAVERO_TEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
