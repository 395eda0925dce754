#include "common/Fakes.h"
#include "common/TestMain.h"

#include "app/CommandLine.h"
#include "app/DataDirectory.h"
#include "app/FirewallStep.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TestApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandLine_data();
    void commandLine();
    void dataDirectory_data();
    void dataDirectory();
    void firewallStep_data();
    void firewallStep();
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

void TestApp::dataDirectory_data() {
    QTest::addColumn<QString>("setup"); // existing, missing, blocked
    QTest::addColumn<QString>("message");
    QTest::newRow("existing") << "existing" << QString();
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
    // The new files of replaces cut off by a kill; the stores themselves stay.
    const QStringList leftovers = {QStringLiteral("PalaveroGroups.ini.k9Xq2Z"), QStringLiteral("PalaveroTB.ini.000aaa")};
    const QStringList stores = {QStringLiteral("PalaveroGroups.ini"), QStringLiteral("PalaveroTB.ini"),
                                QStringLiteral("Palavero.Log")};
    if (setup == QLatin1String("existing")) {
        QVERIFY(QDir().mkpath(dir));
        for (const QString& name : leftovers + stores) {
            QFile f(dir + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
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
        if (setup == QLatin1String("existing")) {
            QStringList expected = stores;
            expected.sort();
            QCOMPARE(QDir(dir).entryList(QDir::Files, QDir::Name), expected);
        }
    } else {
        QCOMPARE(boxes.texts(), QStringList{message.arg(dir)});
    }
}

void TestApp::firewallStep_data() {
    QTest::addColumn<int>("probeResult");
    QTest::addColumn<bool>("probeThrows");
    QTest::addColumn<bool>("addThrows");
    QTest::addColumn<int>("adds");
    QTest::addColumn<bool>("message");
    QTest::newRow("probe succeeds") << 0 << false << false << 0 << false;
    QTest::newRow("no firewall") << int(IFirewall::kFail) << false << false << 1 << false;
    QTest::newRow("probe raises") << 0 << true << false << 0 << true;
    QTest::newRow("add raises") << int(IFirewall::kFail) << false << true << 1 << true;
}

void TestApp::firewallStep() {
    QFETCH(int, probeResult);
    QFETCH(bool, probeThrows);
    QFETCH(bool, addThrows);
    QFETCH(int, adds);
    QFETCH(bool, message);
    TFakeFirewall firewall;
    firewall.probeResult = probeResult;
    firewall.throwOnProbe = probeThrows;
    firewall.throwOnAdd = addThrows;
    TFakeMessageBoxes boxes;
    TFirewallStep::run(firewall, boxes);
    QCOMPARE(firewall.probes, 1);
    QCOMPARE(firewall.adds, adds);
    QCOMPARE(boxes.texts(), message ? QStringList{QStringLiteral("Probleme mit Lesen oder Setzen der Firewalleinstellungen.")}
                                    : QStringList{});
}

PALAVERO_TEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
