#include "common/Fakes.h"
#include "common/TestMain.h"

#include "core/Ansi.h"
#include "messages/LinkFinder.h"
#include "messages/MessageLog.h"
#include "messages/MessageReceiver.h"
#include "messages/MessageSender.h"
#include "messages/ScriptSend.h"
#include "messages/MessageState.h"
#include "messages/RichEditURL.h"
#include "messages/TargetFocusRule.h"
#include "settings/LiveSettings.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <csignal>
#include <memory>

#include <sys/resource.h>

namespace {

const QByteArray kStamp("10.12.2026 11:34:00");
const QByteArray kMe("PC-HOME");

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The main window as both the send and the receive code see it, recording what they do.
class TRecordingView : public ISendView, public IReceiveView {
  public:
    QByteArray message;
    QByteArray recipient;
    QString status;
    QByteArray pane;
    QStringList events;
    QList<QByteArray> appended; // every appendPaneText call
    int paneSets = 0;
    int headsReplaced = 0;
    int messageViews = 0;
    bool trayExists = true;
    QStringList balloons;
    QStringList firstLines;

    QByteArray messageText() const override { return message; }
    bool hasDraft() const override { return !message.isEmpty(); }
    QByteArray recipientText() const override { return recipient; }
    void focusEditor() override { events << QStringLiteral("focus"); }
    void setStatusText(const QString& text) override {
        status = text;
        events << QStringLiteral("status:") + text;
    }
    void clearEditor() override {
        message.clear();
        events << QStringLiteral("clear");
    }
    void hideToTray() override { events << QStringLiteral("hide"); }
    void setMessageText(const QByteArray& text) override { message = text; }
    void setRecipientText(const QByteArray& text) override { recipient = text; }
    void showWindow() override { events << QStringLiteral("show"); }

    void setPaneText(const QByteArray& all) override {
        pane = all;
        ++paneSets;
    }
    void appendPaneText(const QByteArray& added) override {
        pane += added;
        appended << added;
    }
    bool replacePaneHead(const QByteArray& oldHead, const QByteArray& newHead) override {
        if (!pane.startsWith(oldHead))
            return false;
        pane = newHead + pane.mid(oldHead.size());
        ++headsReplaced;
        return true;
    }
    void showMessageView() override { ++messageViews; }
    bool showBalloon(const QString& title, const QString& firstLine) override {
        if (!trayExists)
            return false;
        balloons << title;
        firstLines << firstLine;
        return true;
    }
};

// Puts the receive path's pane output into a real message pane.
class TPaneView : public TRecordingView {
  public:
    TRichEditURL* widget = nullptr;
    void setPaneText(const QByteArray& all) override {
        TRecordingView::setPaneText(all);
        widget->setAnsiText(all);
    }
    void appendPaneText(const QByteArray& added) override {
        TRecordingView::appendPaneText(added);
        widget->appendAnsiText(added);
    }
    bool replacePaneHead(const QByteArray& oldHead, const QByteArray& newHead) override {
        return widget->replaceAnsiHead(oldHead, newHead) && TRecordingView::replacePaneHead(oldHead, newHead);
    }
};

struct TSent {
    QByteArray host;
    QByteArray datagram;
};

// One main window's worth of message handling over fakes, with its log in a
// temporary data directory.
struct TRig {
    QTemporaryDir temp;
    QString dataDir = temp.path();
    TSettingsValues settings;
    TFakeMessageBoxes boxes;
    TFakeDesktop desktop;
    TFakeSound sound;
    TMessageState state;
    std::unique_ptr<TRecordingView> ownView;
    TRecordingView* view = nullptr;

    QMap<QByteArray, QByteArray> targets; // target list: entry text -> FIPAddress
    bool groupFileExists = true;
    QMap<QByteArray, QByteArray> groups; // group name -> "Members"
    QList<TSent> sent;
    QSet<QByteArray> unreachable;

    TMessageLog log;
    std::unique_ptr<TMessageSender> sender;
    std::unique_ptr<TMessageReceiver> receiver;

    explicit TRig(std::unique_ptr<TRecordingView> v = std::make_unique<TRecordingView>())
        : ownView(std::move(v)), view(ownView.get()),
          log(
              settings, boxes, desktop, [this] { return dataDir; }, state) {
        settings.history = true;
        settings.beep = false;
        log.setClock([] { return kStamp; });
        TSendServices services;
        services.computerName = kMe;
        services.snippetFile = [] { return QStringLiteral("/daten/PalaveroTB.ini"); };
        services.addressOf = [this](const QByteArray& name) -> std::optional<QByteArray> {
            for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
                if (QString::fromLatin1(it.key()).compare(QString::fromLatin1(name), Qt::CaseInsensitive) ==
                    0)
                    return it.value();
            }
            return std::nullopt;
        };
        services.isListedExact = [this](const QByteArray& name) { return targets.contains(name); };
        services.groupMembers = [this](const QByteArray& group) -> std::optional<QByteArray> {
            if (!groupFileExists)
                return std::nullopt;
            return groups.value(group);
        };
        // Stands in for the endpoint's SendDatagram, including its size limit.
        services.sendDatagram = [this](const QByteArray& host, const QByteArray& datagram) {
            sent.append({host, datagram});
            if (datagram.size() + 100 > 8192) {
                static_cast<IMessageBoxes&>(boxes).show(
                    QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!"));
                return false;
            }
            return !host.startsWith('<') && !unreachable.contains(host);
        };
        sender = std::make_unique<TMessageSender>(*view, services, log, boxes, state);
        receiver = std::make_unique<TMessageReceiver>(*view, settings, sound, log, state);
    }

    QByteArray logBytes() const { return readFile(log.LogFilePath()); }
    // Receives, then lets the event loop show and log what was gathered.
    void receive(const QByteArray& payload, const QByteArray& sender) {
        receiver->ShowReceivedMessage(payload, sender);
        QCoreApplication::processEvents();
    }
    QList<QByteArray> hosts() const {
        QList<QByteArray> out;
        for (const TSent& s : sent)
            out << s.host;
        return out;
    }
};

QList<QByteArray> bytesList(const QStringList& items) {
    QList<QByteArray> out;
    for (const QString& s : items)
        out << s.toLatin1();
    return out;
}

QString paneTextOf(const QByteArray& ansi) {
    QString s = Ansi::toUnicode(ansi);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // log and history
    void entries_data();
    void entries();
    void appendToLog_data();
    void appendToLog();
    void logOpenFailure();
    void logErrorBoxesDoNotPileUp();
    void logWriteFailureIsCutBack();
    void openHistory();
    void clearHistory_data();
    void clearHistory();

    // sending
    void sendDestinations_data();
    void sendDestinations();
    void sendOutcome_data();
    void sendOutcome();
    void sentEntryBeforeRecipient_data();
    void sentEntryBeforeRecipient();
    void infoWord();
    void emptyEditorStillSends();
    void resendAndSmallHandlers();
    void targetFocusRule_data();
    void targetFocusRule();
    void sendFromScript_data();
    void sendFromScript();

    // receiving
    void receiveMessages();
    void continuation_data();
    void continuation();
    void arrivalSignal_data();
    void arrivalSignal();
    void noBalloonWithoutTray();
    void paneUpdates_data();
    void paneUpdates();
    void receiveWhileLogBoxOpen();
    void receiveGathersPerTurn();
    void receiveFloodFlushesOncePerGap();
    void receiveIntoRealPane();
    void receivedTextIsBounded();

    // message pane
    void links_data();
    void links();
    void paneShowsPlainText();
    void paneAppendAcrossSeam_data();
    void paneAppendAcrossSeam();
    void paneLongLine();
    void paneHeadReplaced_data();
    void paneHeadReplaced();
    void paneClick();
};

// ---------------------------------------------------------------- log and history

void TestMessages::entries_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("sent") << TMessageLog::SentEntry("PC1, PC2", kStamp, "Hallo")
                          << QByteArray("*************************************\r\n"
                                        "Nachricht an PC1, PC2 (10.12.2026 11:34:00)\r\nHallo\r\n");
    QTest::newRow("sent keeps blanks and group")
        << TMessageLog::SentEntry("  <Team> ", kStamp, "a\r\nb")
        << QByteArray("*************************************\r\n"
                      "Nachricht an   <Team>  (10.12.2026 11:34:00)\r\n"
                      "a\r\nb\r\n");
    QTest::newRow("sent to nobody") << TMessageLog::SentEntry("", kStamp, "x")
                                    << QByteArray("*************************************\r\n"
                                                  "Nachricht an  (10.12.2026 11:34:00)\r\nx\r\n");
    QTest::newRow("received") << TMessageLog::ReceivedEntry("PC2", kStamp,
                                                            "Gr\xfc\xdf"
                                                            "e")
                              << QByteArray("_______________________________________\r\n"
                                            "Nachricht von PC2 (10.12.2026 11:34:00)\r\nGr\xfc\xdf"
                                            "e\r\n");
    QTest::newRow("continuation") << TMessageLog::ContinuationEntry("weiter\r\n") << QByteArray("weiter\r\n");
    QTest::newRow("message block") << TMessageLog::MessageBlock("PC2", kStamp, "x")
                                   << QByteArray("Nachricht von PC2 (10.12.2026 11:34:00)\r\nx");
}

void TestMessages::entries() {
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built, expected);
}

void TestMessages::appendToLog_data() {
    QTest::addColumn<bool>("history");
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::newRow("two-line message keeps CR LF")
        << true << QList<QByteArray>{TMessageLog::SentEntry("PC1", kStamp, "eins\r\nzwei")};
    QTest::newRow("entries follow each other")
        << true
        << QList<QByteArray>{TMessageLog::ReceivedEntry("PC2", kStamp, "a"),
                             TMessageLog::ContinuationEntry("b"), TMessageLog::SentEntry("PC2", kStamp, "c")};
    QTest::newRow("history off") << false << QList<QByteArray>{TMessageLog::SentEntry("PC1", kStamp, "x")};
}

void TestMessages::appendToLog() {
    QFETCH(bool, history);
    QFETCH(QList<QByteArray>, entries);
    TRig rig;
    rig.settings.history = history;
    QCOMPARE(rig.log.LogFilePath(), rig.dataDir + QStringLiteral("/Palavero.Log"));
    for (const QByteArray& e : entries)
        rig.log.AppendToLog(e);
    if (!history) {
        QVERIFY(!QFile::exists(rig.log.LogFilePath()));
    } else {
        QCOMPARE(rig.logBytes(), entries.join());
        QVERIFY(!rig.logBytes().contains("\r\r\n"));
    }
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestMessages::logOpenFailure() {
    TRig rig;
    // The data directory's parent is a regular file, so the log cannot be created
    // (whoever runs the test).
    writeFile(rig.temp.filePath(QStringLiteral("plain")), "x");
    rig.dataDir = rig.temp.filePath(QStringLiteral("plain/Korvel"));
    // With a blank after the colon and the reason on a line of its own, as
    // every message of a file that failed.
    const QString expected = QStringLiteral("Fehler beim Öffnen der Log-Datei: ") + rig.dataDir +
                             QStringLiteral("/Palavero.Log\r\nEin Teil des Pfades ist kein Ordner.");

    rig.log.AppendToLog("eins");
    rig.log.AppendToLog("zwei");
    QCOMPARE(rig.boxes.texts(), (QStringList{expected, expected}));

    // Sending goes on after the box.
    rig.boxes.boxes.clear();
    rig.view->message = "Hallo";
    rig.view->recipient = "PC1";
    rig.sender->BitBtnSendClick();
    QCOMPARE(rig.boxes.texts(), QStringList{expected});
    QCOMPARE(rig.hosts(), QList<QByteArray>{"PC1"});
}

void TestMessages::logErrorBoxesDoNotPileUp() {
    TRig rig;
    writeFile(rig.temp.filePath(QStringLiteral("plain")), "x");
    rig.dataDir = rig.temp.filePath(QStringLiteral("plain/Korvel"));
    int inner = 0;
    rig.boxes.whileOpen = [&] {
        if (inner++ < 3)
            rig.log.AppendToLog("inside");
    };
    rig.log.AppendToLog("outside");
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(inner, 1);
    // Once the box is closed, the next failure is reported again.
    rig.boxes.whileOpen = nullptr;
    rig.log.AppendToLog("later");
    QCOMPARE(rig.boxes.boxes.size(), 2);
}

namespace {
// The file system refuses bytes beyond `limit` in any file while it lives (as a
// full disk does), with the signal of a too large file ignored.
class TFileSizeLimit {
  public:
    explicit TFileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &FSaved);
        FHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = FSaved;
        small.rlim_cur = limit;
        FOk = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FHandler);
    }
    bool ok() const { return FOk; }

  private:
    rlimit FSaved{};
    void (*FHandler)(int) = nullptr;
    bool FOk = false;
};
} // namespace

// An entry that the disk takes only in part is cut back, so that the next
// entry does not run on after half of it; the failure is told once.
void TestMessages::logWriteFailureIsCutBack() {
    TRig rig;
    const QByteArray old = TMessageLog::ReceivedEntry("PC1", kStamp, "alt");
    rig.log.AppendToLog(old);
    const QString path = rig.log.LogFilePath();
    const QByteArray entry = TMessageLog::ReceivedEntry("PC2", kStamp, QByteArray(300, 'x'));
    {
        TFileSizeLimit full(rlim_t(old.size() + 100));
        QVERIFY(full.ok());
        rig.log.AppendToLog(entry);
        rig.log.AppendToLog(entry);
        // The message itself is still shown.
        rig.receive("noch eine " + QByteArray(200, 'y'), "PC3");
    }
    QCOMPARE(readFile(path), old);
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.texts().first(), QStringLiteral("Fehler beim Schreiben der Log-Datei: ") + path +
                                            QStringLiteral("\r\nDie Datei ist zu groß für den Datenträger."));
    QVERIFY(rig.state.FPendingText.contains("noch eine"));

    // Room again: written whole; a later failure is told again.
    rig.log.AppendToLog(entry);
    QCOMPARE(readFile(path), old + entry);
    {
        TFileSizeLimit full(rlim_t(old.size() + entry.size() + 10));
        rig.log.AppendToLog(entry);
    }
    QCOMPARE(readFile(path), old + entry);
    QCOMPARE(rig.boxes.boxes.size(), 2);
}

void TestMessages::openHistory() {
    TRig rig;
    rig.log.OpenHistory();
    QVERIFY(rig.desktop.opened.isEmpty());
    rig.log.AppendToLog("x");
    rig.log.OpenHistory();
    QCOMPARE(rig.desktop.opened, QStringList{rig.log.LogFilePath()});
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestMessages::clearHistory_data() {
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("no to the first") << QList<bool>{false} << 1 << false;
    QTest::newRow("no to the second") << QList<bool>{true, false} << 2 << false;
    QTest::newRow("yes to both") << QList<bool>{true, true} << 2 << true;
}

void TestMessages::clearHistory() {
    QFETCH(QList<bool>, answers);
    QFETCH(int, questions);
    QFETCH(bool, cleared);
    TRig rig;
    rig.receive("Hallo", "PC2");
    const QByteArray received = rig.state.FReceivedText;
    const QByteArray pending = rig.state.FPendingText;
    QVERIFY(QFile::exists(rig.log.LogFilePath()));
    for (bool a : answers)
        rig.boxes.answers.enqueue(a);

    rig.log.ConfirmClearHistory();

    QCOMPARE(rig.boxes.boxes.size(), questions);
    QCOMPARE(rig.boxes.boxes.at(0).caption, QStringLiteral("History löschen"));
    QCOMPARE(rig.boxes.boxes.at(0).text, QStringLiteral("Alle History-Einträge wirklich löschen?"));
    QCOMPARE(rig.boxes.boxes.at(0).icon, IMessageBoxes::Icon::Question);
    QVERIFY(rig.boxes.boxes.at(0).question);
    if (questions > 1) {
        QCOMPARE(rig.boxes.boxes.at(1).caption, QStringLiteral("History löschen"));
        QCOMPARE(rig.boxes.boxes.at(1).text, QStringLiteral("Soll die History wirklich gelöscht werden?"));
        QCOMPARE(rig.boxes.boxes.at(1).icon, IMessageBoxes::Icon::Information);
    }
    QCOMPARE(QFile::exists(rig.log.LogFilePath()), !cleared);
    QCOMPARE(rig.state.FReceivedText, cleared ? QByteArray() : received);
    QCOMPARE(rig.state.FPendingText, pending);

    // Clearing without a file still empties the record, silently.
    rig.receive("Noch", "PC2");
    QFile::remove(rig.log.LogFilePath());
    rig.boxes.boxes.clear();
    rig.boxes.answers = QQueue<bool>({true});
    rig.log.ClearHistory();
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QVERIFY(rig.state.FReceivedText.isEmpty());
}

// ---------------------------------------------------------------- sending

void TestMessages::sendDestinations_data() {
    QTest::addColumn<QByteArray>("recipient");
    QTest::addColumn<QStringList>("targets"); // "name=address"
    QTest::addColumn<QStringList>("groups");  // "name=members"; empty list: no group file
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<QByteArray>("lastTarget");
    QTest::addColumn<bool>("noneReachableBox");

    const QStringList both{QStringLiteral("PC1=192.168.10.11"), QStringLiteral("PC2=192.168.10.12")};
    const QStringList team{QStringLiteral("Team=PC1, PC2, PC3")};

    QTest::newRow("two listed names in order")
        << QByteArray("PC1, PC2") << both << QStringList() << QStringList{"192.168.10.11", "192.168.10.12"}
        << QByteArray("PC1, PC2") << false;
    QTest::newRow("unlisted names are hosts") << QByteArray("PC1,PC2") << QStringList() << QStringList()
                                              << QStringList{"PC1", "PC2"} << QByteArray("PC1,PC2") << false;
    QTest::newRow("broadcast") << QByteArray("*") << both << QStringList() << QStringList{"*"}
                               << QByteArray("*") << false;
    QTest::newRow("name then broadcast") << QByteArray("PC1,*") << both << QStringList()
                                         << QStringList{"192.168.10.11", "*"} << QByteArray("PC1,*") << false;
    QTest::newRow("blanks trimmed, empty items skipped")
        << QByteArray("  PC1,,PC2  ") << QStringList() << QStringList() << QStringList{"PC1", "PC2"}
        << QByteArray("PC1,,PC2") << false;
    QTest::newRow("address lookup ignores case")
        << QByteArray("pc1") << both << QStringList() << QStringList{"192.168.10.11"} << QByteArray("pc1")
        << false;
    QTest::newRow("short address replaced by the name")
        << QByteArray("PC7") << QStringList{"PC7=1.2.3.4"} << QStringList() << QStringList{"PC7"}
        << QByteArray("PC7") << false;
    QTest::newRow("typed address") << QByteArray("192.168.10.50") << both << QStringList()
                                   << QStringList{"192.168.10.50"} << QByteArray("192.168.10.50") << false;
    QTest::newRow("group, some members reachable")
        << QByteArray("<Team>") << QStringList{"PC1=192.168.10.11", "PC3=192.168.10.13"} << team
        << QStringList{"192.168.10.11", "192.168.10.13"} << QByteArray("PC1, PC2, PC3") << false;
    QTest::newRow("group of one unlisted member") << QByteArray("<Solo>") << both << QStringList{"Solo=PC9"}
                                                  << QStringList{"PC9"} << QByteArray("PC9") << false;
    QTest::newRow("group, no member reachable") << QByteArray("<Team>") << QStringList() << team
                                                << QStringList() << QByteArray("PC1, PC2, PC3") << true;
    QTest::newRow("XPC1 does not make PC1 reachable")
        << QByteArray("<Duo>") << QStringList{"XPC1=192.168.10.21", "PC2=192.168.10.12"}
        << QStringList{"Duo=PC1, PC2"} << QStringList{"192.168.10.12"} << QByteArray("PC1, PC2") << false;
    QTest::newRow("pc1 is not PC1 when filtering")
        << QByteArray("<Duo>") << both << QStringList{"Duo=pc1, PC2"} << QStringList{"192.168.10.12"}
        << QByteArray("pc1, PC2") << false;
    QTest::newRow("group entry then a name: members only")
        << QByteArray("<Duo>, PC5")
        << QStringList{"PC1=192.168.10.11", "PC2=192.168.10.12", "PC5=192.168.10.15"}
        << QStringList{"Duo=PC1, PC2"} << QStringList{"192.168.10.11", "192.168.10.12"}
        << QByteArray("PC1, PC2") << false;
    QTest::newRow("name then a group entry: entry tried as host")
        << QByteArray("PC5, <Duo>") << QStringList{"PC5=192.168.10.15"} << QStringList{"Duo=PC1, PC2"}
        << QStringList{"192.168.10.15", "<Duo>"} << QByteArray("PC5, <Duo>") << false;
    QTest::newRow("no group file") << QByteArray("<Team>") << both << QStringList() << QStringList{"<Team>"}
                                   << QByteArray("<Team>") << false;
    QTest::newRow("group without members") << QByteArray("<Leer>") << both << QStringList{"Leer="}
                                           << QStringList{"<Leer>"} << QByteArray("<Leer>") << false;
    QTest::newRow("empty group name")
        << QByteArray("<>") << both << team << QStringList{"<>"} << QByteArray("<>") << false;
}

void TestMessages::sendDestinations() {
    QFETCH(QByteArray, recipient);
    QFETCH(QStringList, targets);
    QFETCH(QStringList, groups);
    QFETCH(QStringList, hosts);
    QFETCH(QByteArray, lastTarget);
    QFETCH(bool, noneReachableBox);

    TRig rig;
    for (const QString& t : targets)
        rig.targets.insert(t.section(QLatin1Char('='), 0, 0).toLatin1(),
                           t.section(QLatin1Char('='), 1).toLatin1());
    rig.groupFileExists = !groups.isEmpty();
    for (const QString& g : groups)
        rig.groups.insert(g.section(QLatin1Char('='), 0, 0).toLatin1(),
                          g.section(QLatin1Char('='), 1).toLatin1());
    rig.view->message = "Hallo";
    rig.view->recipient = recipient;

    rig.sender->BitBtnSendClick();

    QCOMPARE(rig.hosts(), bytesList(hosts));
    for (const TSent& s : rig.sent)
        QCOMPARE(s.datagram, QByteArray("PC-HOME:KVPALAVERODATA:Hallo"));
    QCOMPARE(rig.state.FLastMessage, QByteArray("Hallo"));
    QCOMPARE(rig.state.FLastTarget, lastTarget);
    QCOMPARE(rig.boxes.texts(),
             noneReachableBox ? QStringList{QStringLiteral(
                                    "Alle Computer der ausgewählten Gruppe sind derzeit nicht erreichbar.")}
                              : QStringList());
    QCOMPARE(rig.logBytes(), TMessageLog::SentEntry(recipient, kStamp, "Hallo"));
    if (noneReachableBox) {
        QCOMPARE(rig.view->message, QByteArray("Hallo"));
        QVERIFY(rig.view->status.isEmpty());
    }
}

void TestMessages::sendFromScript_data() {
    QTest::addColumn<QByteArray>("recipient");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("targets");     // "name=address"
    QTest::addColumn<QStringList>("unreachable"); // hosts whose send fails
    QTest::addColumn<QStringList>("hosts");       // sends tried
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QStringList>("errors");

    const QStringList both{QStringLiteral("PC1=192.168.10.11"), QStringLiteral("PC2=192.168.10.12")};
    const QByteArray longest(8092 - 23, 'x'); // "PC-HOME:KVPALAVERODATA:" is 23 bytes
    QTest::newRow("listed names by their addresses")
        << QByteArray("PC1, PC2") << QByteArray("Hallo") << both << QStringList()
        << QStringList{"192.168.10.11", "192.168.10.12"} << true << QStringList();
    QTest::newRow("broadcast") << QByteArray("*") << QByteArray("Hallo") << both << QStringList()
                               << QStringList{"*"} << true << QStringList();
    QTest::newRow("group, members in the target list")
        << QByteArray("<Team>") << QByteArray("Hallo") << QStringList{"PC1=192.168.10.11"} << QStringList()
        << QStringList{"192.168.10.11"} << true << QStringList();
    QTest::newRow("the largest datagram") << QByteArray("PC1") << longest << both << QStringList()
                                          << QStringList{"192.168.10.11"} << true << QStringList();
    QTest::newRow("one byte more is refused before sending")
        << QByteArray("PC1") << longest + 'x' << both << QStringList() << QStringList() << false
        << QStringList{QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!")};
    QTest::newRow("empty text") << QByteArray("PC1") << QByteArray() << both << QStringList() << QStringList()
                                << false << QStringList{QStringLiteral("Die Nachricht ist leer.")};
    QTest::newRow("no recipient") << QByteArray(" , ") << QByteArray("Hallo") << both << QStringList()
                                  << QStringList() << false
                                  << QStringList{QStringLiteral("Kein Empfänger ausgewählt.")};
    QTest::newRow("group with no member reachable")
        << QByteArray("<Team>") << QByteArray("Hallo") << QStringList() << QStringList() << QStringList()
        << false
        << QStringList{QStringLiteral("Alle Computer der ausgewählten Gruppe sind derzeit nicht erreichbar.")};
    QTest::newRow("a failed destination does not stop the others")
        << QByteArray("PC1, PC2") << QByteArray("Hallo") << both << QStringList{"192.168.10.11"}
        << QStringList{"192.168.10.11", "192.168.10.12"} << false
        << QStringList{QStringLiteral("Nachricht an 192.168.10.11 nicht gesendet: kein Netz erreichbar.")};
}

void TestMessages::sendFromScript() {
    QFETCH(QByteArray, recipient);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, targets);
    QFETCH(QStringList, unreachable);
    QFETCH(QStringList, hosts);
    QFETCH(bool, sent);
    QFETCH(QStringList, errors);

    TRig rig;
    for (const QString& t : targets)
        rig.targets.insert(t.section(QLatin1Char('='), 0, 0).toLatin1(),
                           t.section(QLatin1Char('='), 1).toLatin1());
    for (const QString& u : unreachable)
        rig.unreachable.insert(u.toLatin1());
    rig.groupFileExists = true;
    rig.groups.insert("Team", "PC1, PC2, PC3");
    rig.view->message = "im Editor";
    rig.view->recipient = "PC9";
    rig.state.FLastMessage = "zuletzt";

    const TScriptSendResult result = rig.sender->SendFromScript(recipient, text);

    QCOMPARE(result.sent, sent);
    QCOMPARE(result.errors, errors);
    QCOMPARE(rig.hosts(), bytesList(hosts));
    for (const TSent& s : rig.sent)
        QCOMPARE(s.datagram, "PC-HOME:KVPALAVERODATA:" + text);
    // No box, and the window is left as the user has it.
    QCOMPARE(rig.boxes.texts(), QStringList());
    QVERIFY(rig.view->events.isEmpty());
    QVERIFY(rig.view->status.isEmpty());
    QCOMPARE(rig.view->message, QByteArray("im Editor"));
    QCOMPARE(rig.view->recipient, QByteArray("PC9"));
    QCOMPARE(rig.state.FLastMessage, QByteArray("zuletzt"));
    // The log holds the message as the window would have logged it.
    QCOMPARE(rig.logBytes(), text.isEmpty() ? QByteArray() : TMessageLog::SentEntry(recipient, kStamp, text));
}

void TestMessages::sendOutcome_data() {
    QTest::addColumn<QByteArray>("recipient");
    QTest::addColumn<int>("textLength");
    QTest::addColumn<QStringList>("unreachable");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("emptied");
    QTest::addColumn<int>("sizeBoxes");

    // "PC-HOME:KVPALAVERODATA:" is 23 bytes.
    QTest::newRow("success") << QByteArray("PC1") << 5 << QStringList()
                             << QStringLiteral("Nachricht gesendet: 28 Bytes") << true << 0;
    QTest::newRow("8092 bytes are sent") << QByteArray("PC1") << 8069 << QStringList()
                                         << QStringLiteral("Nachricht gesendet: 8092 Bytes") << true << 0;
    QTest::newRow("8093 bytes are refused")
        << QByteArray("PC1") << 8070 << QStringList()
        << QStringLiteral("Nachricht nicht gesendet! 8093 Bytes") << false << 1;
    QTest::newRow("refused for every destination")
        << QByteArray("PC1, PC2") << 8070 << QStringList()
        << QStringLiteral("Nachricht nicht gesendet! 8093 Bytes") << false << 2;
    QTest::newRow("unreachable host") << QByteArray("PC1") << 5 << QStringList{"PC1"}
                                      << QStringLiteral("Nachricht nicht gesendet! 28 Bytes") << false << 0;
    QTest::newRow("last outcome shown, first success empties")
        << QByteArray("PC1, PC2") << 5 << QStringList{"PC2"}
        << QStringLiteral("Nachricht nicht gesendet! 28 Bytes") << true << 0;
    QTest::newRow("no recipient") << QByteArray(" \t ") << 5 << QStringList()
                                  << QStringLiteral("Kein Empfänger ausgewählt.") << false << 0;
}

void TestMessages::sendOutcome() {
    QFETCH(QByteArray, recipient);
    QFETCH(int, textLength);
    QFETCH(QStringList, unreachable);
    QFETCH(QString, status);
    QFETCH(bool, emptied);
    QFETCH(int, sizeBoxes);

    TRig rig;
    for (const QString& u : unreachable)
        rig.unreachable.insert(u.toLatin1());
    const QByteArray text(textLength, 'x');
    rig.view->message = text;
    rig.view->recipient = recipient;
    rig.state.FPendingText = "shown";
    rig.state.FLastTarget = "before";

    rig.sender->BitBtnSendClick();

    QCOMPARE(rig.view->events.value(0), QStringLiteral("focus"));
    QCOMPARE(rig.view->status, status);
    QCOMPARE(rig.view->message, emptied ? QByteArray() : text);
    QCOMPARE(rig.state.FPendingText, emptied ? QByteArray() : QByteArray("shown"));
    QCOMPARE(rig.view->events.count(QStringLiteral("hide")), emptied ? 1 : 0);
    QCOMPARE(rig.boxes.texts().count(QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!")),
             sizeBoxes);
    if (status == QStringLiteral("Kein Empfänger ausgewählt.")) {
        QVERIFY(rig.sent.isEmpty());
        QCOMPARE(rig.state.FLastTarget, QByteArray("before"));
    }
    if (emptied) {
        // success: status, then the editor, then the tray
        const qsizetype clear = rig.view->events.indexOf(QStringLiteral("clear"));
        QVERIFY(clear > 0);
        QVERIFY(rig.view->events.at(clear - 1).startsWith(QStringLiteral("status:Nachricht gesendet")));
        QCOMPARE(rig.view->events.at(clear + 1), QStringLiteral("hide"));
    }
}

void TestMessages::sentEntryBeforeRecipient_data() {
    QTest::addColumn<QByteArray>("recipient");
    QTest::addColumn<bool>("history");
    QTest::newRow("empty recipient") << QByteArray() << true;
    QTest::newRow("blanks kept") << QByteArray("  PC1  ") << true;
    QTest::newRow("group entry, not its members") << QByteArray("<Team>") << true;
    QTest::newRow("history off") << QByteArray("PC1") << false;
}

void TestMessages::sentEntryBeforeRecipient() {
    QFETCH(QByteArray, recipient);
    QFETCH(bool, history);
    TRig rig;
    rig.settings.history = history;
    rig.groups.insert("Team", "PC1, PC2");
    rig.view->message = "Hallo\r\nWelt";
    rig.view->recipient = recipient;
    rig.sender->BitBtnSendClick();
    if (history)
        QCOMPARE(rig.logBytes(), TMessageLog::SentEntry(recipient, kStamp, "Hallo\r\nWelt"));
    else
        QVERIFY(!QFile::exists(rig.log.LogFilePath()));
}

void TestMessages::infoWord() {
    TRig rig;
    rig.view->message = "PALAVEROINFO";
    rig.view->recipient = "PC1";
    bool loggedWhileBoxOpen = true;
    rig.boxes.whileOpen = [&] { loggedWhileBoxOpen = QFile::exists(rig.log.LogFilePath()); };

    rig.sender->BitBtnSendClick();

    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.boxes.at(0).text, QStringLiteral("Textbausteine: /daten/PalaveroTB.ini\r\nLog: ") +
                                             rig.log.LogFilePath() + QStringLiteral("\r\n"));
    QCOMPARE(rig.boxes.boxes.at(0).icon, IMessageBoxes::Icon::Information);
    QVERIFY(!loggedWhileBoxOpen);
    QCOMPARE(rig.logBytes(), TMessageLog::SentEntry("PC1", kStamp, "PALAVEROINFO"));
    QCOMPARE(rig.hosts(), QList<QByteArray>{"PC1"});
    QCOMPARE(rig.sent.at(0).datagram, QByteArray("PC-HOME:KVPALAVERODATA:PALAVEROINFO"));

    // Only the exact word.
    TRig other;
    other.view->message = "palaveroinfo";
    other.view->recipient = "PC1";
    other.sender->BitBtnSendClick();
    QVERIFY(other.boxes.boxes.isEmpty());
}

void TestMessages::emptyEditorStillSends() {
    TRig rig;
    rig.view->recipient = "PC1";
    rig.sender->BitBtnSendClick();
    QCOMPARE(rig.sent.size(), 1);
    QCOMPARE(rig.sent.at(0).datagram, QByteArray("PC-HOME:KVPALAVERODATA:"));
    QCOMPARE(rig.view->status, QStringLiteral("Nachricht gesendet: 23 Bytes"));
}

void TestMessages::resendAndSmallHandlers() {
    TRig rig;
    rig.view->message = "alt";
    rig.view->recipient = "PC5";
    // Before any send with a recipient, "Nachricht erneut senden" empties both.
    rig.sender->Nachrichterneutsenden1Click();
    QVERIFY(rig.view->message.isEmpty());
    QVERIFY(rig.view->recipient.isEmpty());
    QCOMPARE(rig.view->events.mid(rig.view->events.size() - 2), (QStringList{"show", "focus"}));

    rig.targets.insert("PC1", "192.168.10.11");
    rig.targets.insert("PC2", "192.168.10.12");
    rig.groups.insert("Duo", "PC1, PC2");
    rig.view->message = "Gruppe";
    rig.view->recipient = "<Duo>";
    rig.sender->BitBtnSendClick();
    QVERIFY(rig.view->message.isEmpty());
    rig.view->recipient = "PC9";
    rig.sender->Nachrichterneutsenden1Click();
    QCOMPARE(rig.view->message, QByteArray("Gruppe"));
    QCOMPARE(rig.view->recipient, QByteArray("PC1, PC2"));
    QCOMPARE(rig.sent.size(), 2);

    rig.sender->BitBtnSendToAllClick();
    QCOMPARE(rig.view->recipient, QByteArray("*"));
    QCOMPARE(rig.sent.size(), 2);

    QVERIFY(!rig.view->status.isEmpty());
    rig.sender->MemoSendChange();
    QVERIFY(rig.view->status.isEmpty());
}

void TestMessages::targetFocusRule_data() {
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("focused");
    QTest::newRow("mouse choice") << QStringLiteral("click select") << 1;
    QTest::newRow("key without click") << QStringLiteral("key select") << 0;
    QTest::newRow("key after the click") << QStringLiteral("click key select") << 0;
    QTest::newRow("click after the key") << QStringLiteral("key click select") << 1;
    QTest::newRow("mouse after keys") << QStringLiteral("key select click select") << 1;
    QTest::newRow("select alone at start") << QStringLiteral("select") << 0;
}

void TestMessages::targetFocusRule() {
    QFETCH(QString, events);
    QFETCH(int, focused);
    int focus = 0;
    TTargetFocusRule rule([&] { ++focus; });
    // The three handlers, fed in the order a combo box reports its notifications.
    for (const QString& e : events.split(QLatin1Char(' '))) {
        if (e == QLatin1String("click"))
            rule.ComboBoxTargetClick();
        else if (e == QLatin1String("key"))
            rule.ComboBoxTargetKeyDown();
        else
            rule.ComboBoxTargetSelect();
    }
    QCOMPARE(focus, focused);
}

// ---------------------------------------------------------------- receiving

void TestMessages::receiveMessages() {
    TRig rig;
    // A draft to a group keeps its recipient when a message arrives.
    rig.view->message = "Ich schreibe gerade";
    rig.view->recipient = "<B\xfcro>";

    rig.receive("Erste", "PC2");
    const QByteArray first("Nachricht von PC2 (10.12.2026 11:34:00)\r\nErste");
    QCOMPARE(rig.state.FPendingText, first);
    QCOMPARE(rig.view->pane, first);
    QCOMPARE(rig.view->recipient, QByteArray("<B\xfcro>"));
    QCOMPARE(rig.view->message, QByteArray("Ich schreibe gerade"));
    QCOMPARE(rig.view->messageViews, 1);
    QCOMPARE(rig.view->balloons, QStringList{QStringLiteral("Palavero von PC2")});

    // With an empty editor the sender is preset: the reply case.
    rig.view->message.clear();
    rig.receive("Zweite\r\nZeile", "B\xfcro");
    const QByteArray both = first + "\r\n_______________________________________\r\n"
                                    "Nachricht von B\xfcro (10.12.2026 11:34:00)\r\nZweite\r\nZeile";
    QCOMPARE(rig.state.FPendingText, both);
    QCOMPARE(rig.view->pane, both);
    QCOMPARE(rig.view->recipient, QByteArray("B\xfcro"));
    QCOMPARE(rig.view->balloons.last(), QStringLiteral("Palavero von Büro"));
    QCOMPARE(rig.view->firstLines, (QStringList{QStringLiteral("Erste"), QStringLiteral("Zweite")}));

    const QByteArray entries = TMessageLog::ReceivedEntry("PC2", kStamp, "Erste") +
                               TMessageLog::ReceivedEntry("B\xfcro", kStamp, "Zweite\r\nZeile");
    QCOMPARE(rig.state.FReceivedText, entries);
    QCOMPARE(rig.logBytes(), entries);

    // History off: the record still grows, the file stays untouched.
    TRig off;
    off.settings.history = false;
    off.receive("x", "PC2");
    QVERIFY(!off.state.FReceivedText.isEmpty());
    QVERIFY(!QFile::exists(off.log.LogFilePath()));
}

void TestMessages::continuation_data() {
    QTest::addColumn<bool>("afterMessage");
    QTest::addColumn<int>("partLength");
    QTest::addColumn<int>("added");
    QTest::newRow("500 characters add 300") << true << 500 << 300;
    QTest::newRow("short part added whole") << true << 12 << 12;
    QTest::newRow("into an empty pane") << false << 40 << 40;
    QTest::newRow("marker alone") << true << 0 << 0;
}

void TestMessages::continuation() {
    QFETCH(bool, afterMessage);
    QFETCH(int, partLength);
    QFETCH(int, added);
    TRig rig;
    rig.settings.beep = true;
    if (afterMessage)
        rig.receive("Anfang", "PC2");
    const QByteArray pendingBefore = rig.state.FPendingText;
    const QByteArray receivedBefore = rig.state.FReceivedText;
    const QByteArray logBefore = rig.logBytes();
    const int tonesBefore = rig.sound.toneCalls.size();
    rig.view->recipient = "PC7";
    const int viewsBefore = rig.view->messageViews;

    QByteArray part;
    for (int i = 0; i < partLength; ++i)
        part.append(char('a' + i % 26));
    rig.receive("KVPALAVEROPART" + part, "PC3");

    const QByteArray taken = part.left(added);
    QCOMPARE(rig.state.FPendingText, pendingBefore + taken);
    QCOMPARE(rig.state.FReceivedText, receivedBefore + taken);
    QCOMPARE(rig.view->pane, rig.state.FPendingText);
    QCOMPARE(rig.logBytes(), logBefore + taken);
    QCOMPARE(rig.view->recipient, QByteArray("PC7"));
    QCOMPARE(rig.sound.toneCalls.size(), tonesBefore);
    QCOMPARE(rig.view->messageViews, viewsBefore + 1);
    QCOMPARE(rig.view->balloons.last(), QStringLiteral("Palavero von PC3"));
}

void TestMessages::arrivalSignal_data() {
    QTest::addColumn<bool>("beep");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("stillPlaying");
    QTest::addColumn<int>("toneCalls");
    QTest::addColumn<int>("fileCalls");
    QTest::newRow("beep only") << true << false << true << false << 1 << 0;
    QTest::newRow("beep and sound") << true << true << true << false << 1 << 1;
    QTest::newRow("sound file missing: tones only") << true << true << false << false << 1 << 0;
    QTest::newRow("beep off: silent") << false << true << true << false << 0 << 0;
    QTest::newRow("still sounding: no second tones") << true << false << true << true << 0 << 0;
}

void TestMessages::arrivalSignal() {
    QFETCH(bool, beep);
    QFETCH(bool, sound);
    QFETCH(bool, fileExists);
    QFETCH(bool, stillPlaying);
    QFETCH(int, toneCalls);
    QFETCH(int, fileCalls);
    TRig rig;
    rig.settings.beep = beep;
    rig.settings.sound = sound;
    rig.settings.soundFile = rig.temp.filePath(QStringLiteral("ding.wav"));
    if (fileExists)
        writeFile(rig.settings.soundFile, "RIFF");
    rig.sound.playing = stillPlaying;

    rig.receive("Hallo", "PC2");

    QCOMPARE(rig.sound.toneCalls.size(), toneCalls);
    if (toneCalls) {
        const QList<TTone> tones = rig.sound.toneCalls.at(0);
        QCOMPARE(tones.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tones.at(i).frequencyHz, 400 + 30 * i);
            QCOMPARE(tones.at(i).durationMs, 25);
        }
    }
    QCOMPARE(rig.sound.files.size(), fileCalls);
    if (fileCalls)
        QCOMPARE(rig.sound.files.at(0), rig.settings.soundFile);
}

void TestMessages::noBalloonWithoutTray() {
    TRig rig;
    rig.view->trayExists = false;
    rig.receive("Hallo", "PC2");
    QVERIFY(rig.view->balloons.isEmpty());
    QCOMPARE(rig.view->messageViews, 1);
    QCOMPARE(rig.view->pane, rig.state.FPendingText);
    rig.view->trayExists = true;
    rig.receive("Hallo", "PC2");
    QCOMPARE(rig.view->balloons, QStringList{QStringLiteral("Palavero von PC2")});
}

void TestMessages::paneUpdates_data() {
    QTest::addColumn<QString>("between"); // what happens between the two messages
    QTest::addColumn<bool>("appends");
    QTest::newRow("second message appends") << QString() << true;
    QTest::newRow("continuation appends") << QStringLiteral("part") << true;
    QTest::newRow("window put away") << QStringLiteral("hide") << false;
    QTest::newRow("successful send") << QStringLiteral("send") << false;
    QTest::newRow("pane set elsewhere") << QStringLiteral("other") << false;
}

void TestMessages::paneUpdates() {
    QFETCH(QString, between);
    QFETCH(bool, appends);
    TRig rig;
    rig.receive("Erste", "PC2");
    QCOMPARE(rig.view->paneSets, 1);
    QVERIFY(rig.view->appended.isEmpty());

    if (between == QLatin1String("part")) {
        rig.receive("KVPALAVEROPART mehr", "PC2");
    } else if (between == QLatin1String("hide")) {
        rig.state.FPendingText.clear();
    } else if (between == QLatin1String("send")) {
        rig.view->recipient = "PC1";
        rig.sender->BitBtnSendClick();
    } else if (between == QLatin1String("other")) {
        rig.view->pane = rig.state.FReceivedText;
        rig.receiver->paneChanged();
    }
    const QByteArray before = rig.state.FPendingText;
    const int setsBefore = rig.view->paneSets;
    rig.receive("Zweite", "PC3");

    QCOMPARE(rig.view->pane, rig.state.FPendingText);
    if (appends) {
        QCOMPARE(rig.view->paneSets, setsBefore);
        QCOMPARE(rig.view->appended.last(), rig.state.FPendingText.mid(before.size()));
    } else {
        QCOMPARE(rig.view->paneSets, setsBefore + 1);
    }
}

void TestMessages::receiveWhileLogBoxOpen() {
    TRig rig;
    writeFile(rig.temp.filePath(QStringLiteral("plain")), "x");
    rig.dataDir = rig.temp.filePath(QStringLiteral("plain/Korvel"));
    rig.receive("Erste", "PC1");
    QCOMPARE(rig.boxes.boxes.size(), 1);
    rig.boxes.boxes.clear();

    // A datagram handled inside the log error box (its modal loop runs the
    // event loop): one box, both messages in order.
    bool once = false;
    rig.boxes.whileOpen = [&] {
        if (!once) {
            once = true;
            rig.receive("Innen", "PC3");
        }
    };
    rig.receive("Aussen", "PC2");
    QTRY_COMPARE(rig.view->pane, rig.state.FPendingText);
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QVERIFY(rig.state.FPendingText.indexOf("Aussen") < rig.state.FPendingText.indexOf("Innen"));
    // The newest message presets the recipient and has the last notice.
    QCOMPARE(rig.view->recipient, QByteArray("PC3"));
    QCOMPARE(rig.view->balloons.last(), QStringLiteral("Palavero von PC3"));
    QCOMPARE(rig.state.FReceivedText, TMessageLog::ReceivedEntry("PC1", kStamp, "Erste") +
                                          TMessageLog::ReceivedEntry("PC2", kStamp, "Aussen") +
                                          TMessageLog::ReceivedEntry("PC3", kStamp, "Innen"));
}

// Messages received in one event-loop turn: the texts and the recipient at
// once; the pane, the window, the notice and the log once, afterwards, in order.
void TestMessages::receiveGathersPerTurn() {
    TRig rig;
    rig.receiver->ShowReceivedMessage("Erste", "PC1");
    rig.receiver->ShowReceivedMessage("KVPALAVEROPART dazu", "PC1");
    rig.receiver->ShowReceivedMessage("Zweite\r\nZeile", "PC2");
    const QByteArray entries = TMessageLog::ReceivedEntry("PC1", kStamp, "Erste") +
                               TMessageLog::ContinuationEntry(" dazu") +
                               TMessageLog::ReceivedEntry("PC2", kStamp, "Zweite\r\nZeile");
    QCOMPARE(rig.state.FReceivedText, entries);
    QVERIFY(rig.state.FPendingText.endsWith("\r\nZweite\r\nZeile"));
    QCOMPARE(rig.view->recipient, QByteArray("PC2"));
    QCOMPARE(rig.view->paneSets, 0);
    QCOMPARE(rig.view->messageViews, 0);

    // A sent entry written before the turn ends comes after the received ones.
    const QByteArray sent = TMessageLog::SentEntry("PC2", kStamp, "Antwort");
    rig.log.AppendToLog(sent);
    QCOMPARE(rig.logBytes(), entries + sent);

    QCoreApplication::processEvents();
    QCOMPARE(rig.view->pane, rig.state.FPendingText);
    QCOMPARE(rig.view->paneSets + rig.view->appended.size(), 1);
    QCOMPARE(rig.view->messageViews, 1);
    QCOMPARE(rig.view->balloons, QStringList{QStringLiteral("Palavero von PC2")});
    QCOMPARE(rig.view->firstLines, QStringList{QStringLiteral("Zweite")});

    // The next turn appends only what is new, and the log gets it once.
    rig.receiver->ShowReceivedMessage("Dritte", "PC3");
    rig.receiver->ShowReceivedMessage("Vierte", "PC3");
    QCoreApplication::processEvents();
    QCOMPARE(rig.view->pane, rig.state.FPendingText);
    QCOMPARE(rig.view->paneSets, 1);
    QCOMPARE(rig.view->appended.size(), 1);
    QCOMPARE(rig.logBytes(), entries + sent + TMessageLog::ReceivedEntry("PC3", kStamp, "Dritte") +
                                 TMessageLog::ReceivedEntry("PC3", kStamp, "Vierte"));
}

// A stream of messages keeps the pending and the received text bounded: the
// oldest whole messages go, a marker line says so, the log keeps everything.
// The pane only loses its oldest lines; it is not filled anew.
// While datagrams flood in, messages are shown and logged together once the
// flush gap has passed; the first after a flush-free time at once, and every
// message at once when there is no flood.
void TestMessages::receiveFloodFlushesOncePerGap() {
    TRig rig;
    bool flood = false;
    rig.receiver->setLoadTest([&flood] { return flood; });
    rig.receiver->setFlushGap(1000);
    rig.receive("Null", "PC0");
    rig.receive("Eins", "PC0");
    QCOMPARE(rig.view->messageViews, 2);
    const QByteArray quiet = TMessageLog::ReceivedEntry("PC0", kStamp, "Null") + TMessageLog::ReceivedEntry("PC0", kStamp, "Eins");
    QCOMPARE(rig.logBytes(), quiet);

    flood = true;
    QTest::qWait(1100);
    rig.receive("Erste", "PC1");
    QCOMPARE(rig.view->messageViews, 3);
    QCOMPARE(rig.logBytes(), quiet + TMessageLog::ReceivedEntry("PC1", kStamp, "Erste"));

    rig.receive("Zweite", "PC2");
    rig.receive("Dritte", "PC3");
    QCOMPARE(rig.view->messageViews, 3);
    QVERIFY(!rig.view->pane.contains("Zweite"));
    QCOMPARE(rig.logBytes(), quiet + TMessageLog::ReceivedEntry("PC1", kStamp, "Erste"));

    // The first message after the flood is done in its own turn, with those gathered.
    flood = false;
    rig.receive("Vierte", "PC4");
    QCOMPARE(rig.view->messageViews, 4);
    QCOMPARE(rig.view->pane, rig.state.FPendingText);
    QCOMPARE(rig.logBytes(), quiet + TMessageLog::ReceivedEntry("PC1", kStamp, "Erste") +
                                 TMessageLog::ReceivedEntry("PC2", kStamp, "Zweite") +
                                 TMessageLog::ReceivedEntry("PC3", kStamp, "Dritte") +
                                 TMessageLog::ReceivedEntry("PC4", kStamp, "Vierte"));
    QCOMPARE(rig.view->balloons.last(), QStringLiteral("Palavero von PC4"));

    // Under a flood, the gathered messages are done once the gap has passed.
    flood = true;
    rig.receive("Fuenfte", "PC5");
    QTest::qWait(50);
    rig.receive("Sechste", "PC6");
    QCOMPARE(rig.view->messageViews, 4);
    QTRY_COMPARE_WITH_TIMEOUT(rig.view->messageViews, 5, 5000);
    QCOMPARE(rig.view->pane, rig.state.FPendingText);
}

void TestMessages::receivedTextIsBounded() {
    auto paneView = std::make_unique<TPaneView>();
    TRichEditURL pane;
    paneView->widget = &pane;
    TRig rig(std::move(paneView));
    const int count = 400; // 400 messages of 8 000 bytes: three times the bound
    auto payload = [](int i) { return "Nr. " + QByteArray::number(i) + ' ' + QByteArray(7990, char('a' + i % 26)); };
    for (int i = 0; i < count; ++i) {
        rig.receive(payload(i), "PC2");
        QVERIFY(rig.state.FPendingText.size() <= TMessageReceiver::kMaxKeptText);
        QVERIFY(rig.state.FReceivedText.size() <= TMessageReceiver::kMaxKeptText);
    }
    const QByteArray marker = TMessageReceiver::OlderDroppedLine() + "\r\n";
    const QByteArray sep = TMessageLog::SeparatorLine();
    for (const QByteArray* text : {&rig.state.FPendingText, &rig.state.FReceivedText}) {
        QVERIFY(text->startsWith(marker + sep + "\r\nNachricht von PC2 ("));
        QVERIFY(text->size() > TMessageReceiver::kKeptAfterCut / 2);
        // Whole messages, the newest last, none lost in between.
        const QByteArray boundary = sep + "\r\nNachricht von PC2 (" + kStamp + ")\r\n";
        const QList<QByteArray> pieces = text->mid(marker.size()).split('_');
        QByteArrayList messages;
        for (const QByteArray& piece : pieces) {
            if (piece.startsWith("\r\nNachricht von "))
                messages << piece.mid(piece.indexOf(")\r\n") + 3).trimmed();
        }
        QVERIFY(messages.size() > 10);
        const int oldest = count - int(messages.size());
        QVERIFY(oldest > 0);
        for (int i = 0; i < messages.size(); ++i)
            QVERIFY2(messages.at(i) == payload(oldest + i), qPrintable(QString::number(i)));
        QVERIFY(text->startsWith(marker + boundary));
    }
    QVERIFY(rig.state.FReceivedText.endsWith(payload(count - 1) + "\r\n"));
    // The pane shows the bounded pending text.
    QCOMPARE(pane.shownText(), paneTextOf(rig.state.FPendingText));
    QCOMPARE(rig.view->paneSets, 1);
    QVERIFY(rig.view->headsReplaced >= 2);
    // The log has every message.
    QFile log(rig.log.LogFilePath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    QCOMPARE(logged.count("Nachricht von PC2"), count);
    QVERIFY(!logged.contains(TMessageReceiver::OlderDroppedLine()));

    // One message that grows past the bound by continuations keeps its newest part.
    rig.state.FPendingText.clear();
    rig.receiver->paneChanged();
    rig.receive("Anfang", "PC3");
    for (int i = 0; i < 4000; ++i)
        rig.receive("KVPALAVEROPART" + QByteArray(299, 'x') + '\n', "PC3");
    QVERIFY(rig.state.FPendingText.size() <= TMessageReceiver::kMaxKeptText);
    QVERIFY(rig.state.FPendingText.startsWith(marker + "xxx"));
    QCOMPARE(pane.shownText(), paneTextOf(rig.state.FPendingText));
    QCOMPARE(rig.view->paneSets, 2);
}

void TestMessages::receiveIntoRealPane() {
    auto paneView = std::make_unique<TPaneView>();
    TRichEditURL pane;
    paneView->widget = &pane;
    TRig rig(std::move(paneView));

    rig.receive("<b>fett</b> file:///etc/passwd", "PC2");
    rig.receive("siehe http://example.org/a und www.example.com.", "PC3");
    rig.receive("KVPALAVEROPART und https://x.ch", "PC3");

    QCOMPARE(pane.shownText(), paneTextOf(rig.state.FPendingText));
    QCOMPARE(pane.toPlainText(), paneTextOf(rig.state.FPendingText));
    QVERIFY(pane.toPlainText().contains(QStringLiteral("<b>fett</b> file:///etc/passwd")));
    QStringList linkTexts;
    for (const LinkFinder::TLink& l : pane.links())
        linkTexts << pane.shownText().mid(l.start, l.length);
    QCOMPARE(linkTexts, (QStringList{"http://example.org/a", "www.example.com", "https://x.ch"}));
    QCOMPARE(rig.view->appended.size(), 2);
}

// ---------------------------------------------------------------- message pane

void TestMessages::links_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("links");
    QTest::newRow("http") << QStringLiteral("siehe http://example.org/x?a=1 bitte")
                          << QStringList{"http://example.org/x?a=1"};
    QTest::newRow("https, ftp, mailto") << QStringLiteral("https://a.ch ftp://b.de mailto:c@d.ch")
                                        << QStringList{"https://a.ch", "ftp://b.de", "mailto:c@d.ch"};
    QTest::newRow("www") << QStringLiteral("www.example.com") << QStringList{"www.example.com"};
    QTest::newRow("letter case") << QStringLiteral("HTTP://EXAMPLE.ORG WWW.X.DE")
                                 << QStringList{"HTTP://EXAMPLE.ORG", "WWW.X.DE"};
    QTest::newRow("closing punctuation")
        << QStringLiteral("(auf www.x.ch), oder http://y.de/a.") << QStringList{"www.x.ch", "http://y.de/a"};
    QTest::newRow("balanced parenthesis")
        << QStringLiteral("http://w.org/F_(b)") << QStringList{"http://w.org/F_(b)"};
    QTest::newRow("line breaks end links")
        << QStringLiteral("http://a.de\nwww.b.de") << QStringList{"http://a.de", "www.b.de"};
    QTest::newRow("markup quotes end links")
        << QStringLiteral("<a href=\"http://a.de\">x</a>") << QStringList{"http://a.de"};
    QTest::newRow("other schemes stay text")
        << QStringLiteral("file:///etc/passwd javascript:alert(1) data:text/html,x smb://srv/a news:x")
        << QStringList();
    QTest::newRow("no link inside a word or another address")
        << QStringLiteral("xhttp://a.de file://www.x.de a.www.b.de") << QStringList();
    QTest::newRow("prefix alone") << QStringLiteral("http:// www. mailto:") << QStringList();
}

void TestMessages::links() {
    QFETCH(QString, text);
    QFETCH(QStringList, links);
    QStringList found;
    for (const LinkFinder::TLink& l : LinkFinder::find(text))
        found << text.mid(l.start, l.length);
    QCOMPARE(found, links);
    QCOMPARE(LinkFinder::urlForOpening(QStringLiteral("www.x.ch")), QStringLiteral("http://www.x.ch"));
    QCOMPARE(LinkFinder::urlForOpening(QStringLiteral("mailto:a@b.ch")), QStringLiteral("mailto:a@b.ch"));
}

void TestMessages::paneShowsPlainText() {
    TRichEditURL pane;
    QVERIFY(pane.isReadOnly());
    QVERIFY(!pane.openLinks());
    QVERIFY(!pane.openExternalLinks());
    QCOMPARE(pane.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    pane.setAnsiText("<b>x</b>\r\n<img src=\"a.png\"> &amp; file:///etc/passwd \xe4");
    QCOMPARE(pane.toPlainText(), QStringLiteral("<b>x</b>\n<img src=\"a.png\"> &amp; file:///etc/passwd ä"));
    QVERIFY(pane.links().isEmpty());
    QVERIFY(!pane.toHtml().contains(QStringLiteral("<b>x")));
    pane.setAnsiText("neu");
    QCOMPARE(pane.toPlainText(), QStringLiteral("neu"));
}

void TestMessages::paneAppendAcrossSeam_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QList<QByteArray>>("appends");
    QTest::addColumn<QStringList>("links");
    QTest::newRow("link completed by the next piece")
        << QByteArray("siehe www.exa") << QList<QByteArray>{"mple.com jetzt"}
        << QStringList{"www.example.com"};
    QTest::newRow("link started by the next piece")
        << QByteArray("mail ") << QList<QByteArray>{"mailto:a@b.ch", "x"} << QStringList{"mailto:a@b.chx"};
    QTest::newRow("word becomes a scheme")
        << QByteArray("http") << QList<QByteArray>{"://a.de"} << QStringList{"http://a.de"};
    QTest::newRow("CR LF split over pieces")
        << QByteArray("a\r") << QList<QByteArray>{"\nhttp://b.de\r\n", "c"} << QStringList{"http://b.de"};
    QTest::newRow("earlier links kept") << QByteArray("www.a.ch und ") << QList<QByteArray>{"www.b.ch"}
                                        << QStringList{"www.a.ch", "www.b.ch"};
}

void TestMessages::paneAppendAcrossSeam() {
    QFETCH(QByteArray, first);
    QFETCH(QList<QByteArray>, appends);
    QFETCH(QStringList, links);
    TRichEditURL pane;
    pane.setAnsiText(first);
    QByteArray all = first;
    for (const QByteArray& a : appends) {
        pane.appendAnsiText(a);
        all += a;
    }
    TRichEditURL whole;
    whole.setAnsiText(all);
    QCOMPARE(pane.toPlainText(), whole.toPlainText());
    QCOMPARE(pane.links(), whole.links());
    QStringList found;
    for (const LinkFinder::TLink& l : pane.links())
        found << pane.shownText().mid(l.start, l.length);
    QCOMPARE(found, links);
    // The document carries the links too.
    for (const LinkFinder::TLink& l : pane.links()) {
        QTextCursor c(pane.document());
        c.setPosition(int(l.start + 1));
        QVERIFY(c.charFormat().isAnchor());
        QCOMPARE(c.charFormat().anchorHref(), pane.shownText().mid(l.start, l.length));
    }
}

// A line that grows by continuations without end is laid out in paragraphs of
// bounded length; the shown text, the links and what is copied are unchanged.
void TestMessages::paneLongLine() {
    QByteArray first = "Nachricht von PC2 (24.11.2014 09:15:02)\r\nAnfang ";
    QList<QByteArray> appends;
    for (int i = 0; i < 40; ++i)
        appends << QByteArray(299, char('a' + i % 26)) + ' ';
    // A long address without a blank, added in pieces: broken inside.
    appends << "www.example.com/" + QByteArray(150, 'p') << QByteArray(300, 'q') << QByteArray(300, 'r')
            << QByteArray(300, 's') << " Ende\r\nneue Zeile";
    TRichEditURL pane;
    pane.setAnsiText(first);
    QByteArray all = first;
    for (const QByteArray& a : appends) {
        pane.appendAnsiText(a);
        all += a;
    }
    TRichEditURL whole;
    whole.setAnsiText(all);
    const QString shown = paneTextOf(all);
    QCOMPARE(pane.shownText(), shown);
    QCOMPARE(whole.shownText(), shown);
    QCOMPARE(pane.links(), whole.links());
    QCOMPARE(pane.softBreaks(), whole.softBreaks());
    QVERIFY(pane.softBreaks().size() >= 10);
    QCOMPARE(pane.toPlainText().size(), shown.size() + pane.softBreaks().size());
    for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next())
        QVERIFY(b.length() <= TRichEditURL::kMaxBlock + TRichEditURL::kBreakSearch + 1);

    // The address keeps its whole target on both sides of the break inside it.
    QCOMPARE(pane.links().size(), 1);
    const LinkFinder::TLink l = pane.links().first();
    const QString address = shown.mid(l.start, l.length);
    QVERIFY(address.startsWith(QLatin1String("www.example.com/pp")) && address.endsWith(QLatin1String("ss")));
    int anchored = 0;
    for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor()) {
                QCOMPARE(it.fragment().charFormat().anchorHref(), address);
                anchored += it.fragment().length();
            }
        }
    }
    QCOMPARE(anchored, int(l.length));

    // Copying gives the shown text, without the pane's breaks.
    pane.selectAll();
    pane.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);
}

void TestMessages::paneHeadReplaced_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("oldHead");
    QTest::addColumn<QByteArray>("newHead");
    QTest::addColumn<bool>("replaced");
    const QByteArray head = "siehe www.alt.example/a\r\n" + QByteArray(1500, 'x') + " y\r\n";
    const QByteArray tail = "Rest mit http://neu.example/b und " + QByteArray(2500, 'z') + " www.ende.example\r\nletzte";
    const QByteArray marker = TMessageReceiver::OlderDroppedLine() + "\r\n";
    QTest::newRow("links and breaks in both parts") << head + tail << head << marker << true;
    QTest::newRow("everything but the last line") << head + tail << head + tail.left(tail.indexOf('\n') + 1) << marker
                                                  << true;
    QTest::newRow("lone CR line ends") << QByteArray("eins\rzwei\rdrei") << QByteArray("eins\r") << marker << true;
    QTest::newRow("not the beginning") << head + tail << QByteArray("siehe www.anders/a\r\n") << marker << false;
    QTest::newRow("head ends inside a line") << head + tail << head.left(10) << marker << false;
    QTest::newRow("new head without line end") << head + tail << head << QByteArray("Marke") << false;
    QTest::newRow("new head with a link") << head + tail << head << QByteArray("www.x.example\r\n") << false;
}

// Dropping the oldest lines of the pane leaves it as if the rest had been set
// anew: the same text, links and breaks.
void TestMessages::paneHeadReplaced() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, oldHead);
    QFETCH(QByteArray, newHead);
    QFETCH(bool, replaced);
    TRichEditURL pane;
    pane.setAnsiText(text.left(text.size() / 2));
    pane.appendAnsiText(text.mid(text.size() / 2));
    const QString before = pane.toPlainText();
    QCOMPARE(pane.replaceAnsiHead(oldHead, newHead), replaced);
    if (!replaced) {
        QCOMPARE(pane.toPlainText(), before);
        return;
    }
    TRichEditURL whole;
    whole.setAnsiText(newHead + text.mid(oldHead.size()));
    QCOMPARE(pane.shownText(), whole.shownText());
    QCOMPARE(pane.links(), whole.links());
    QCOMPARE(pane.softBreaks(), whole.softBreaks());
    // Each paragraph with its runs of text and their link targets.
    auto runs = [](const QTextDocument* document) {
        QStringList result;
        for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
            result << QStringLiteral("|");
            for (auto it = b.begin(); !it.atEnd(); ++it)
                result << it.fragment().text() + QStringLiteral(" -> ") + it.fragment().charFormat().anchorHref();
        }
        return result;
    };
    QCOMPARE(runs(pane.document()), runs(whole.document()));
}

void TestMessages::paneClick() {
    TRichEditURL pane;
    pane.resize(400, 200);
    pane.setAnsiText("Hallo, siehe http://example.org/seite heute");
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QSignalSpy spy(&pane, &TRichEditURL::OnURLClick);

    const LinkFinder::TLink link = pane.links().value(0);
    QTextCursor atLink(pane.document());
    atLink.setPosition(int(link.start + 5));
    const QPoint onLink = pane.cursorRect(atLink).center() + QPoint(2, 0);
    QTextCursor atText(pane.document());
    atText.setPosition(2);
    const QPoint onText = pane.cursorRect(atText).center() + QPoint(2, 0);

    QTest::mousePress(pane.viewport(), Qt::RightButton, {}, onLink);
    QTest::mouseRelease(pane.viewport(), Qt::RightButton, {}, onLink);
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, onText);
    QCOMPARE(spy.count(), 0);

    QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, onLink);
    QCOMPARE(spy.count(), 1); // on the press, not the release
    QCOMPARE(spy.at(0).at(0).value<QObject*>(), &pane);
    QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("http://example.org/seite"));
    QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, onLink);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(pane.textCursor().selectedText(), QStringLiteral("http://example.org/seite"));
    // The pane stays where it is: nothing was loaded.
    QCOMPARE(pane.toPlainText(), QStringLiteral("Hallo, siehe http://example.org/seite heute"));
}

PALAVERO_TEST_MAIN(TestMessages)
#include "tst_messages.moc"
