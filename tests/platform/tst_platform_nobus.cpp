#include "common/TestMain.h"

#include "platform/linux/LogindSessionMonitor.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

// Without a system bus the session monitor reports that it is not available,
// emits nothing and does not wait for anything.
class TestPlatformNoBus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void unavailableWithoutSystemBus();

private:
    QTemporaryDir FDir;
};

void TestPlatformNoBus::initTestCase() {
    QVERIFY(FDir.isValid());
    // The system bus is fixed at its first use in a process: point it nowhere first.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QDir(FDir.path()).filePath("no-bus-here").toUtf8());
}

void TestPlatformNoBus::unavailableWithoutSystemBus() {
    TLogindSessionMonitor monitor;
    QSignalSpy locked(&monitor, &TSessionMonitor::sessionLocked);
    QSignalSpy suspending(&monitor, &TSessionMonitor::suspending);
    QSignalSpy ending(&monitor, &TSessionMonitor::sessionEnding);
    QVERIFY(!monitor.isAvailable());
    QVERIFY(monitor.isLookupFinished());
    QVERIFY(!monitor.hasSession());
    QCoreApplication::processEvents();
    QCOMPARE(locked.count() + suspending.count() + ending.count(), 0);

    // A second monitor on the same missing bus behaves the same.
    TLogindSessionMonitor again;
    QVERIFY(!again.isAvailable());
}

PALAVERO_TEST_GUILESS_MAIN(TestPlatformNoBus)
#include "tst_platform_nobus.moc"
