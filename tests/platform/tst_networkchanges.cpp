// The system's reports of network changes, for real: the test runs in a network
// namespace of its own (it needs root; without it, it reports "skipped") and
// changes its links and addresses with ip(8). The watch looks only when told,
// so a network it finds was reported by the kernel.
#include "common/TestMain.h"

#include "net/NetworkWatch.h"
#include "platform/Platform.h"

#include <QProcess>
#include <QSignalSpy>

#include <cstdio>
#include <cstring>

#include <sched.h>
#include <unistd.h>

namespace {

constexpr int kSkipped = 77;

// Runs "ip <arguments>" for each line; false with the tool's message in error.
bool Ip(const QStringList& lines, QString& error) {
    for (const QString& line : lines) {
        QProcess ip;
        ip.start(QStringLiteral("ip"), line.split(QLatin1Char(' ')));
        if (!ip.waitForFinished(10000) || ip.exitStatus() != QProcess::NormalExit || ip.exitCode() != 0) {
            error = QStringLiteral("ip %1: %2").arg(line, QString::fromLocal8Bit(ip.readAllStandardError()));
            return false;
        }
    }
    return true;
}

} // namespace

class TestNetworkChanges : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void watchHearsOfChanges_data();
    void watchHearsOfChanges();
};

void TestNetworkChanges::init() {
    QString error;
    QVERIFY2(Ip({QStringLiteral("link add pv0 type veth peer name pv1"), QStringLiteral("link set pv1 up")}, error),
             qPrintable(error));
}

void TestNetworkChanges::cleanup() {
    QString error;
    Ip({QStringLiteral("link del pv0")}, error);
}

void TestNetworkChanges::watchHearsOfChanges_data() {
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("change");
    QTest::addColumn<bool>("appears");
    QTest::newRow("an address on a link that is up")
        << QStringList{QStringLiteral("link set pv0 up")} << QStringList{QStringLiteral("addr add 10.9.0.1/24 dev pv0")}
        << true;
    QTest::newRow("a link with an address comes up")
        << QStringList{QStringLiteral("addr add 10.9.0.1/24 dev pv0")} << QStringList{QStringLiteral("link set pv0 up")}
        << true;
    QTest::newRow("a link without IPv4 comes up")
        << QStringList() << QStringList{QStringLiteral("link set pv0 up")} << false;
}

void TestNetworkChanges::watchHearsOfChanges() {
    QFETCH(QStringList, before);
    QFETCH(QStringList, change);
    QFETCH(bool, appears);
    QString error;
    QVERIFY2(Ip(before, error), qPrintable(error));

    const std::unique_ptr<TPlatform> platform = CreatePlatform(TPlatformUse::Console);
    QVERIFY(platform->networkChanges);
    TNetworkWatch watch(*platform->networkInfo);
    watch.setChangeSource(platform->networkChanges.get());
    watch.setLookInterval(3600 * 1000);
    QSignalSpy reported(platform->networkChanges.get(), &TNetworkChanges::changed);
    QSignalSpy appeared(&watch, &TNetworkWatch::appeared);
    watch.start();
    QVERIFY(platform->networkInfo->localIPv4().isEmpty());

    QVERIFY2(Ip(change, error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(reported.count() > 0, 10000);
    if (appears) {
        QTRY_COMPARE_WITH_TIMEOUT(appeared.count(), 1, 10000);
        QVERIFY(!watch.isActive());
        // Stopped: what changes now is not heard of.
        reported.clear();
        QVERIFY2(Ip({QStringLiteral("addr add 10.9.1.1/24 dev pv0")}, error), qPrintable(error));
        QTest::qWait(200);
        QCOMPARE(reported.count(), 0);
    } else {
        QTest::qWait(100);
        QCOMPARE(appeared.count(), 0);
        QVERIFY(watch.isActive());
    }
}

int main(int argc, char** argv) {
    if (::geteuid() != 0) {
        std::puts("skipped: needs root for a network namespace of its own");
        return kSkipped;
    }
    if (::unshare(CLONE_NEWNET) != 0) {
        std::printf("skipped: no network namespace: %s\n", std::strerror(errno));
        return kSkipped;
    }
    TestSupport::isolateUserFolders();
    QCoreApplication app(argc, argv);
    TestNetworkChanges tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_networkchanges.moc"
