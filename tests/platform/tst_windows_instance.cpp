#include "common/TestMain.h"

#include "platform/windows/WindowsMessages.h"
#include "platform/windows/WindowsSingleInstance.h"
#include "platform/windows/WindowsTerminationSignals.h"

#include <csignal>
#include <future>
#include <thread>

using TMessageReply = TSingleInstance::TMessageReply;
Q_DECLARE_METATYPE(TMessageReply)

namespace {
// The primary instance, with the window that a second start finds.
struct TPrimary {
    TPrimary() { QVERIFY(instance.tryBecomePrimary()); }
    TWindowsMessages messages;
    TWindowsSingleInstance instance{messages};
};

// Hands a message over from a thread of its own, as a script in another
// process does, while this thread's event loop serves the primary instance.
std::optional<TMessageReply> handOverFromScript(const QByteArray& recipient, const QByteArray& text) {
    std::packaged_task<std::optional<TMessageReply>()> task([&] {
        TWindowsMessages messages;
        return TWindowsSingleInstance(messages).handOverMessage(recipient, text);
    });
    std::future<std::optional<TMessageReply>> reply = task.get_future();
    std::thread script(std::move(task));
    while (reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    script.join();
    return reply.get();
}
} // namespace

class TestWindowsInstance : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void secondStartAsksTheFirstToShow();
    void handOver_data();
    void handOver();
    void consoleRequests_data();
    void consoleRequests();
};

void TestWindowsInstance::secondStartAsksTheFirstToShow() {
    TWindowsMessages messages;
    TWindowsSingleInstance second(messages);
    {
        TPrimary first;
        QVERIFY(first.instance.isPrimary());
        QVERIFY(!first.instance.otherInstanceRuns());
        QSignalSpy shown(&first.instance, &TSingleInstance::showRequested);

        QVERIFY(!second.tryBecomePrimary());
        QVERIFY(!second.isPrimary());
        QVERIFY(second.otherInstanceRuns());
        QVERIFY(second.sendShowRequest());
        QTRY_COMPARE(shown.count(), 1);
    }
    // The mutex and the window went with the first instance.
    QVERIFY(!second.otherInstanceRuns());
    QVERIFY(!second.sendShowRequest());
    QVERIFY(!second.handOverMessage("pc-04", "Hallo"));
    QVERIFY(second.tryBecomePrimary());
}

void TestWindowsInstance::handOver_data() {
    QTest::addColumn<bool>("withHandler");
    QTest::addColumn<QByteArray>("recipient");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TMessageReply>("answer");  // the handler's
    QTest::addColumn<TMessageReply>("expected"); // the script's
    QTest::addColumn<bool>("delivered");
    const QByteArray umlauts = "Gr\xfc\xdf" "e, 5 \x80\r\n";
    QTest::newRow("sent, Windows-1252 intact")
        << true << QByteArray("B\xfcro") << umlauts << TMessageReply{true, {}} << TMessageReply{true, {}} << true;
    const QString reasons = QStringLiteral("Empfänger unbekannt: pc-04\nNetzwerk nicht erreichbar");
    QTest::newRow("not sent, with the reasons")
        << true << QByteArray("pc-04") << QByteArray("Hallo") << TMessageReply{false, reasons}
        << TMessageReply{false, reasons} << true;
    QTest::newRow("empty text") << true << QByteArray("pc-04") << QByteArray() << TMessageReply{true, {}}
                                << TMessageReply{true, {}} << true;
    QTest::newRow("no handler") << false << QByteArray("pc-04") << QByteArray("Hallo") << TMessageReply{}
                                << TMessageReply{false, QStringLiteral("Die laufende Instanz nimmt keine Nachrichten an.")}
                                << false;
    QTest::newRow("the largest text") << true << QByteArray("pc-04") << QByteArray(64 * 1024, 'x')
                                      << TMessageReply{true, {}} << TMessageReply{true, {}} << true;
    QTest::newRow("too long a text")
        << true << QByteArray("pc-04") << QByteArray(64 * 1024 + 1, 'x') << TMessageReply{true, {}}
        << TMessageReply{false, QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!")} << false;
}

// A script hands its message to the primary instance, which sends it and answers.
void TestWindowsInstance::handOver() {
    QFETCH(bool, withHandler);
    QFETCH(QByteArray, recipient);
    QFETCH(QByteArray, text);
    QFETCH(TMessageReply, answer);
    QFETCH(TMessageReply, expected);
    QFETCH(bool, delivered);
    TPrimary primary;
    QList<QByteArrayList> received;
    if (withHandler)
        primary.instance.setMessageHandler([&](const QByteArray& r, const QByteArray& t) {
            received.append({r, t});
            return answer;
        });
    const std::optional<TMessageReply> reply = handOverFromScript(recipient, text);
    QVERIFY(reply);
    QCOMPARE(reply->sent, expected.sent);
    QCOMPARE(reply->error, expected.error);
    QList<QByteArrayList> handled;
    if (delivered)
        handled.append({recipient, text});
    QCOMPARE(received, handled);
}

void TestWindowsInstance::consoleRequests_data() {
    QTest::addColumn<uint>("event");
    QTest::addColumn<int>("signo");
    QTest::newRow("Ctrl+C") << uint(CTRL_C_EVENT) << SIGINT;
    QTest::newRow("Ctrl+Break") << uint(CTRL_BREAK_EVENT) << SIGBREAK;
}

// A request at the console arrives as a signal on the object's thread, and the
// process goes on.
void TestWindowsInstance::consoleRequests() {
    QFETCH(uint, event);
    QFETCH(int, signo);
    // A console of this process's own, so that the request reaches no other process.
    ::FreeConsole();
    if (!::AllocConsole())
        QSKIP("no console of its own");
    ::SetConsoleCtrlHandler(nullptr, FALSE); // Ctrl+C is not ignored
    TWindowsTerminationSignals requests;
    QVERIFY(requests.isActive());
    QSignalSpy requested(&requests, &TTerminationSignals::terminationRequested);
    if (!::GenerateConsoleCtrlEvent(event, 0))
        QSKIP("the console does not make this request (Wine makes only Ctrl+C)");
    QTRY_COMPARE(requested.count(), 1);
    QCOMPARE(requested.first().first().toInt(), signo);
    ::FreeConsole();
}

PALAVERO_TEST_GUILESS_MAIN(TestWindowsInstance)
#include "tst_windows_instance.moc"
