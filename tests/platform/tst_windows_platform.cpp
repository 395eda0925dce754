// The Windows desktop services through their interfaces: the Run key entry
// (under a key of the test's own), atoms and hot keys, the session and power
// messages of the hidden window, and the arrival signal that never queues.

#include "common/TestMain.h"

#include "platform/windows/WindowsAutostart.h"
#include "platform/windows/WindowsGlobalHotKey.h"
#include "platform/windows/WindowsMessages.h"
#include "platform/windows/WindowsRegistry.h"
#include "platform/windows/WindowsSessionMonitor.h"
#include "platform/windows/WindowsSound.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <memory>
#include <vector>

#include <windows.h>

namespace {

// A Run key of this test run below HKEY_CURRENT_USER, removed again.
struct TRunKey {
    const QString path = QStringLiteral("Software\\Korvel\\PalaveroTestRun-%1").arg(QCoreApplication::applicationPid());
    explicit TRunKey(bool exists) {
        TRegistryKey::removeTree(path);
        if (exists)
            TRegistryKey(path, TRegistryKey::Mode::Create);
    }
    ~TRunKey() { TRegistryKey::removeTree(path); }
};

} // namespace

class TestWindowsPlatform : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void autostart_data();
    void autostart();
    void autostartNeverCreatesTheRunKey();
    void atoms();
    void hotKeys();
    void sessionMessages_data();
    void sessionMessages();
    void tonesAreNotQueued();
};

void TestWindowsPlatform::initTestCase() {
    // Hot keys and session messages come through the hidden window.
    QVERIFY2(TWindowsMessages().window(), "no window can be made (under Wine: no X display)");
}

void TestWindowsPlatform::autostart_data() {
    QTest::addColumn<QStringList>("commands"); // written one after another
    QTest::addColumn<QString>("expected");
    const QString exe = QStringLiteral("C:\\Program Files\\Korvel\\Palavero\\palavero.exe");
    QTest::newRow("nothing written") << QStringList{} << QString();
    QTest::newRow("an entry") << QStringList{exe} << exe;
    QTest::newRow("removed") << QStringList{exe, QString()} << QString();
    QTest::newRow("replaced") << QStringList{QStringLiteral("D:\\alt\\palavero.exe"), exe} << exe;
}

void TestWindowsPlatform::autostart() {
    QFETCH(QStringList, commands);
    QFETCH(QString, expected);
    const TRunKey run(true);
    TWindowsAutostart autostart(run.path);
    const QString title = QStringLiteral("Palavero");
    for (const QString& command : std::as_const(commands))
        QVERIFY(autostart.write(title, command));
    QCOMPARE(autostart.read(title), expected);
    QCOMPARE(autostart.read(QStringLiteral("Netmsg")), QString());
    // The value is a REG_SZ; a removed entry keeps its value, empty.
    const TRegistryKey key(run.path, TRegistryKey::Mode::Read);
    QCOMPARE(key.string(title).has_value(), !commands.isEmpty());
}

void TestWindowsPlatform::autostartNeverCreatesTheRunKey() {
    const TRunKey run(false);
    TWindowsAutostart autostart(run.path);
    QVERIFY(!autostart.write(QStringLiteral("Palavero"), QStringLiteral("C:\\palavero.exe")));
    QCOMPARE(autostart.read(QStringLiteral("Palavero")), QString());
    QVERIFY(TRegistryKey(run.path, TRegistryKey::Mode::Read).isMissing());
}

void TestWindowsPlatform::atoms() {
    TWindowsMessages messages;
    TWindowsGlobalHotKey hotKey(messages);
    const QByteArray name = "PalaveroTestAtom-" + QByteArray::number(QCoreApplication::applicationPid());
    const quint16 atom = hotKey.addAtom(name);
    QVERIFY(atom >= 0xC000);
    QCOMPARE(hotKey.addAtom(name), atom); // one more use of the same atom
    hotKey.deleteAtom(atom);
    QCOMPARE(::GlobalFindAtomA(name.constData()), ATOM(atom));
    hotKey.deleteAtom(atom);
    QCOMPARE(::GlobalFindAtomA(name.constData()), ATOM(0));
}

void TestWindowsPlatform::hotKeys() {
    TWindowsMessages messages;
    TWindowsGlobalHotKey hotKey(messages);
    QSignalSpy pressed(&hotKey, &TGlobalHotKey::hotKeyPressed);
    const quint16 id = hotKey.addAtom("HotKeyScreenSaver");
    const quint16 modifiers = TGlobalHotKey::kModControl | TGlobalHotKey::kModAlt | TGlobalHotKey::kModShift;
    QVERIFY(hotKey.registerHotKey(id, modifiers, VK_F11));
    // One combination, one hot key.
    QVERIFY(!hotKey.registerHotKey(quint16(id + 1), modifiers, VK_F11));
    ::PostMessageW(messages.window(), WM_HOTKEY, id, 0);
    QTRY_COMPARE(pressed.size(), 1);
    QCOMPARE(pressed.first().first().value<quint16>(), id);
    QVERIFY(hotKey.unregisterHotKey(id));
    QVERIFY(!hotKey.unregisterHotKey(id));
    // Free again for another registration.
    QVERIFY(hotKey.registerHotKey(quint16(id + 1), modifiers, VK_F11));
    hotKey.deleteAtom(id);
}

namespace {
using TSessionSignal = void (TSessionMonitor::*)();
const TSessionSignal kSessionSignals[] = {
    &TSessionMonitor::sessionLocked, &TSessionMonitor::sessionUnlocked, &TSessionMonitor::consoleDisconnected,
    &TSessionMonitor::consoleConnected, &TSessionMonitor::suspending, &TSessionMonitor::resumed,
    &TSessionMonitor::sessionEnding};
enum { Locked, Unlocked, Disconnected, Connected, Suspending, Resumed, Ending, None = -1 };
} // namespace

void TestWindowsPlatform::sessionMessages_data() {
    QTest::addColumn<uint>("message");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("signal");    // index in kSessionSignals, None: no signal
    QTest::addColumn<bool>("answered"); // answered TRUE by the monitor
    QTest::newRow("console connect") << 0x02B1u << 1 << int(Connected) << false;
    QTest::newRow("console disconnect") << 0x02B1u << 2 << int(Disconnected) << false;
    QTest::newRow("lock") << 0x02B1u << 7 << int(Locked) << false;
    QTest::newRow("unlock") << 0x02B1u << 8 << int(Unlocked) << false;
    QTest::newRow("remote connect") << 0x02B1u << 3 << int(None) << false;
    QTest::newRow("suspend") << 0x0218u << 4 << int(Suspending) << true;
    QTest::newRow("resume") << 0x0218u << 7 << int(Resumed) << true;
    QTest::newRow("suspend refused") << 0x0218u << 2 << int(Resumed) << true;
    QTest::newRow("power status") << 0x0218u << 10 << int(None) << true;
    QTest::newRow("may the session end") << 0x0011u << 0 << int(Ending) << true;
}

void TestWindowsPlatform::sessionMessages() {
    QFETCH(uint, message);
    QFETCH(int, code);
    QFETCH(int, signal);
    QFETCH(bool, answered);
    TWindowsMessages messages;
    TWindowsSessionMonitor monitor(messages);
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const TSessionSignal s : kSessionSignals)
        spies.push_back(std::make_unique<QSignalSpy>(&monitor, s));
    const LRESULT result = ::SendMessageW(messages.window(), message, WPARAM(code), 0);
    for (int i = 0; i < int(spies.size()); ++i)
        QVERIFY2(spies[i]->size() == (i == signal ? 1 : 0), qPrintable(QString::number(i)));
    if (answered)
        QCOMPARE(result, LRESULT(TRUE));
}

void TestWindowsPlatform::tonesAreNotQueued() {
    TWindowsSound sound;
    QVERIFY(!sound.isPlaying());
    QElapsedTimer timer;
    timer.start();
    sound.playTones({{400, 150}, {0, 150}, {460, 150}});
    sound.playTones({{400, 2000}}); // still sounding: dropped
    QVERIFY(timer.elapsed() < 100); // nothing waited for the tones
    QVERIFY(sound.isPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(!sound.isPlaying(), 2000);
    // The pause alone lasts its 150 ms, also where Beep returns at once (Wine).
    QVERIFY(timer.elapsed() >= 150);
    QVERIFY(timer.elapsed() < 1500); // the dropped signal did not sound afterwards
}

PALAVERO_TEST_GUILESS_MAIN(TestWindowsPlatform)
#include "tst_windows_platform.moc"
