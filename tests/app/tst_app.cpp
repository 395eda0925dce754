#include "common/Fakes.h"
#include "common/TestMain.h"

#include "app/CommandLine.h"
#include "app/DataDirectory.h"
#include "app/DisplayPlatform.h"
#include "app/FirewallStep.h"
#include "core/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

class TestApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandLine_data();
    void commandLine();
    void commandLineModes_data();
    void commandLineModes();
    void toolkitOptions_data();
    void toolkitOptions();
    void dataDirectory_data();
    void dataDirectory();
    void firewallStep_data();
    void firewallStep();
    void displayPlatform_data();
    void displayPlatform();
};

void TestApp::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("fontSize");
    QTest::newRow("none") << QStringList{} << 3030 << 9;
    QTest::newRow("port") << QStringList{"-p3031"} << 3031 << 9;
    QTest::newRow("upper case") << QStringList{"-P3031"} << 3031 << 9;
    QTest::newRow("not a number") << QStringList{"-pabc"} << 3030 << 9;
    QTest::newRow("bare") << QStringList{"-p"} << 3030 << 9;
    QTest::newRow("five characters") << QStringList{"-p1234567"} << 12345 << 9;
    QTest::newRow("font") << QStringList{"-f12"} << 3030 << 12;
    QTest::newRow("font not a number") << QStringList{"-fx"} << 3030 << 9;
    QTest::newRow("font three characters") << QStringList{"-f12345"} << 3030 << 123;
    QTest::newRow("both") << QStringList{"-p3031", "-f12"} << 3031 << 12;
    QTest::newRow("others ignored") << QStringList{"--verbose", "x", "-q5"} << 3030 << 9;
    QTest::newRow("last wins") << QStringList{"-p4000", "-p5000"} << 5000 << 9;
}

void TestApp::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, port);
    QFETCH(int, fontSize);
    const TCommandLine cl = TCommandLine::parse(args);
    QCOMPARE(cl.port, port);
    QCOMPARE(cl.fontSize, fontSize);
}

void TestApp::commandLineModes_data() {
    using TMode = TCommandLine::TMode;
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("text"); // "<stdin>": none given
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("error"); // a part of the German error line; empty: none

    const QString in = QStringLiteral("<stdin>");
    QTest::newRow("window") << QStringList{"-p3031"} << int(TMode::Window) << QString() << in << 3031 << QString();
    QTest::newRow("words beside the window are ignored")
        << QStringList{"datei.txt"} << int(TMode::Window) << QString() << in << 3030 << QString();
    QTest::newRow("help") << QStringList{"--help"} << int(TMode::Help) << QString() << in << 3030 << QString();
    QTest::newRow("short help") << QStringList{"-h"} << int(TMode::Help) << QString() << in << 3030 << QString();
    QTest::newRow("help wins over a wrong option")
        << QStringList{"--bunt", "--help"} << int(TMode::Help) << QString() << in << 3030 << QString();
    QTest::newRow("version") << QStringList{"--version"} << int(TMode::Version) << QString() << in << 3030
                             << QString();
    QTest::newRow("send with text") << QStringList{"--send", "PC1", "Hallo Welt"} << int(TMode::Send) << "PC1"
                                    << "Hallo Welt" << 3030 << QString();
    QTest::newRow("send, text from standard input")
        << QStringList{"-p3031", "--send", "<Team>"} << int(TMode::Send) << "<Team>" << in << 3031 << QString();
    QTest::newRow("send, dash for standard input")
        << QStringList{"--send", "*", "-"} << int(TMode::Send) << "*" << in << 3030 << QString();
    QTest::newRow("port after the text") << QStringList{"--send", "PC1", "Hallo", "-P3032"} << int(TMode::Send)
                                         << "PC1" << "Hallo" << 3032 << QString();
    QTest::newRow("a text that begins with a dash follows --")
        << QStringList{"--send", "PC1", "--", "-5 Grad"} << int(TMode::Send) << "PC1" << "-5 Grad" << 3030
        << QString();
    QTest::newRow("listen") << QStringList{"--listen", "-p3031"} << int(TMode::Listen) << QString() << in
                            << 3031 << QString();
    QTest::newRow("unknown option") << QStringList{"--bunt"} << int(TMode::Window) << QString() << in << 3030
                                    << QStringLiteral("Unbekannte Option: --bunt");
    QTest::newRow("unknown short option") << QStringList{"--send", "PC1", "-x"} << int(TMode::Send) << QString()
                                          << in << 3030 << QStringLiteral("Unbekannte Option: -x");
    QTest::newRow("send without recipient") << QStringList{"--send"} << int(TMode::Send) << QString() << in
                                            << 3030 << QStringLiteral("fehlt der Empfänger");
    QTest::newRow("an unquoted text") << QStringList{"--send", "PC1", "Hallo", "Welt"} << int(TMode::Send)
                                      << "PC1" << "Hallo" << 3030 << QStringLiteral("Zu viele Argumente ab „Welt“");
    QTest::newRow("listen takes no words") << QStringList{"--listen", "PC1"} << int(TMode::Listen) << QString()
                                           << in << 3030 << QStringLiteral("Zu viele Argumente ab „PC1“");
    QTest::newRow("send and listen") << QStringList{"--send", "PC1", "x", "--listen"} << int(TMode::Listen)
                                     << QString() << in << 3030 << QStringLiteral("--listen");
}

void TestApp::commandLineModes() {
    QFETCH(QStringList, args);
    QFETCH(int, mode);
    QFETCH(QString, recipient);
    QFETCH(QString, text);
    QFETCH(int, port);
    QFETCH(QString, error);
    const TCommandLine cl = TCommandLine::parse(args);
    QCOMPARE(int(cl.mode), mode);
    QCOMPARE(cl.port, port);
    if (!error.isEmpty()) {
        QVERIFY2(cl.error.contains(error), qPrintable(cl.error));
        QVERIFY(!cl.error.contains(QLatin1Char('\n')));
        return;
    }
    QCOMPARE(cl.error, QString());
    QCOMPARE(cl.recipient, recipient);
    QCOMPARE(cl.text.value_or(QStringLiteral("<stdin>")), text);
}

void TestApp::toolkitOptions_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("toolkit");
    QTest::newRow("style") << "-style" << true;
    QTest::newRow("session of the session manager") << "-session" << true;
    QTest::newRow("two dashes with a value") << "--platform=offscreen" << true;
    QTest::newRow("ours is not") << "--send" << false;
    QTest::newRow("unknown") << "--bunt" << false;
    QTest::newRow("no option") << "style" << false;
}

void TestApp::toolkitOptions() {
    QFETCH(QString, option);
    QFETCH(bool, toolkit);
    QCOMPARE(TCommandLine::isToolkitOption(option), toolkit);
}

void TestApp::dataDirectory_data() {
    QTest::addColumn<QString>("setup"); // existing, missing, blocked, read-only, test folder left
    QTest::addColumn<QString>("message");
    QTest::newRow("existing") << "existing" << QString();
    QTest::newRow("test folder left by a killed start") << "test folder left" << QString();
    // The write test runs for a folder that exists too (root writes anywhere).
    if (::geteuid() != 0)
        QTest::newRow("existing, read-only")
            << "read-only" << QStringLiteral("Fehler: Das Verzeichnis benötigt Schreibrechte: %1\r\n\r\nBitte "
                                             "kontaktieren Sie den Systemadministrator.");
    QTest::newRow("missing is created") << "missing" << QString();
    QTest::newRow("cannot be created")
        << "blocked" << QStringLiteral("Fehler beim Anlegen des Verzeichnisses: %1\r\n\r\nBitte kontaktieren Sie den "
                                       "Systemadministrator.");
}

void TestApp::dataDirectory() {
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    QString root = tmp.filePath(QStringLiteral("share"));
    const QString dir = TDataDirectory::pathFor(root);
    // The new files of replaces cut off by a kill before this start; the stores
    // themselves and the user's files that only look alike stay.
    const QStringList leftovers = {QStringLiteral("PalaveroGroups.ini.k9Xq2Z.palavero-neu"),
                                   QStringLiteral("PalaveroTB.ini.000aaa.palavero-neu")};
    const QStringList stores = {QStringLiteral("PalaveroGroups.ini"), QStringLiteral("PalaveroTB.ini"),
                                QStringLiteral("Palavero.Log"), QStringLiteral("PalaveroTB.ini.backup"),
                                QStringLiteral("PalaveroGroups.ini.sicher")};
    if (setup != QLatin1String("missing") && setup != QLatin1String("blocked")) {
        QVERIFY(QDir().mkpath(dir));
        for (const QString& name : leftovers + stores) {
            QFile f(dir + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.setFileTime(FileReplace::programStart().addSecs(-60), QFileDevice::FileModificationTime));
        }
    }
    if (setup == QLatin1String("test folder left"))
        QVERIFY(QDir(dir).mkdir(QStringLiteral("testwol")));
    if (setup == QLatin1String("read-only"))
        QVERIFY(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    if (setup == QLatin1String("blocked")) {
        // A regular file where a parent folder should be: no folder can be made below it.
        QFile f(root);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    TFakeMessageBoxes boxes;
    QCOMPARE(TDataDirectory::prepare(root, boxes), dir);
    if (message.isEmpty()) {
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.texts().join('|')));
        QVERIFY(QFileInfo(dir).isDir());
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("/testwol")));
        if (setup != QLatin1String("missing")) {
            QStringList expected = stores;
            expected.sort();
            QCOMPARE(QDir(dir).entryList(QDir::Files, QDir::Name), expected);
        }
    } else {
        QCOMPARE(boxes.texts(), QStringList{message.arg(dir)});
    }
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestApp::firewallStep_data() {
    QTest::addColumn<int>("probeResult");
    QTest::addColumn<QString>("probeMessage");
    QTest::addColumn<bool>("probeThrows");
    QTest::addColumn<bool>("addThrows");
    QTest::addColumn<int>("adds");
    QTest::addColumn<QStringList>("messages");
    const QString raised = QStringLiteral("Probleme mit Lesen oder Setzen der Firewalleinstellungen.");
    const QString noEnumerator = QStringLiteral("Failed to get enumerator for Authorized Applications ");
    QTest::newRow("probe succeeds") << 0 << QString() << false << false << 0 << QStringList{};
    QTest::newRow("no firewall") << int(IFirewall::kFail) << QString() << false << false << 1 << QStringList{};
    QTest::newRow("probe raises") << 0 << QString() << true << false << 0 << QStringList{raised};
    QTest::newRow("add raises") << int(IFirewall::kFail) << QString() << false << true << 1 << QStringList{raised};
    // E_NOTIMPL: the firewall tells the user, then the program is added.
    QTest::newRow("no enumerator") << int(0x80004001u) << noEnumerator << false << false << 1
                                   << QStringList{noEnumerator};
}

void TestApp::firewallStep() {
    QFETCH(int, probeResult);
    QFETCH(QString, probeMessage);
    QFETCH(bool, probeThrows);
    QFETCH(bool, addThrows);
    QFETCH(int, adds);
    QFETCH(QStringList, messages);
    TFakeFirewall firewall;
    firewall.probeResult = probeResult;
    firewall.probeMessage = probeMessage;
    firewall.throwOnProbe = probeThrows;
    firewall.throwOnAdd = addThrows;
    TFakeMessageBoxes boxes;
    TFirewallStep::run(firewall, boxes);
    QCOMPARE(firewall.probes, 1);
    QCOMPARE(firewall.adds, adds);
    QCOMPARE(boxes.texts(), messages);
}

PALAVERO_TEST_GUILESS_MAIN(TestApp)
void TestApp::displayPlatform_data() {
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QByteArray>("chosen");
    QTest::newRow("X11 session") << QStringList{"DISPLAY=:0"} << QByteArray("xcb");
    QTest::newRow("Wayland with Xwayland") << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0",
                                                          "XDG_SESSION_TYPE=wayland"}
                                           << QByteArray("xcb");
    QTest::newRow("the user's choice stays") << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0",
                                                            "QT_QPA_PLATFORM=wayland"}
                                             << QByteArray();
    QTest::newRow("Wayland without X") << QStringList{"WAYLAND_DISPLAY=wayland-0", "XDG_SESSION_TYPE=wayland"}
                                       << QByteArray();
    QTest::newRow("an empty DISPLAY") << QStringList{"DISPLAY="} << QByteArray();
    QTest::newRow("no display") << QStringList() << QByteArray();
}

// Where an X display exists the program runs on xcb (window on top, showing
// without activation, global hot key), unless QT_QPA_PLATFORM says otherwise.
void TestApp::displayPlatform() {
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, chosen);
    QProcessEnvironment env;
    for (const QString& entry : std::as_const(environment))
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    QCOMPARE(DisplayPlatform::preferred(env), chosen);
    QCOMPARE(DisplayPlatform::isWayland(QStringLiteral("wayland-egl")), true);
    QCOMPARE(DisplayPlatform::isWayland(QStringLiteral("xcb")), false);
}

#include "tst_app.moc"
