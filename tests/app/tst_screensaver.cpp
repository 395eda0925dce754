#include "common/TestMain.h"

#include "app/ScreenSaverShortcut.h"
#include "common/Fakes.h"
#include "settings/FormOptions.h"
#include "settings/HotKeyEdit.h"
#include "settings/LiveSettings.h"

#include <QCheckBox>
#include <QTemporaryDir>

namespace {

using TRegistration = TFakeGlobalHotKey::Registration;

constexpr quint16 kCtrlAltS = 49235;
constexpr quint16 kCtrlF11 = 16506;
constexpr quint16 kModAlt = TGlobalHotKey::kModAlt;
constexpr quint16 kModControl = TGlobalHotKey::kModControl;
constexpr quint16 kModShift = TGlobalHotKey::kModShift;

// The shortcut on plain settings values and fake services.
struct Fixture {
    TSettingsValues settings;
    TFakeGlobalHotKey hotKey;
    TFakeScreenSaver screenSaver;
    TScreenSaverShortcut shortcut{settings, hotKey, screenSaver};

    Fixture(bool enabled = true, quint16 code = kCtrlAltS) {
        settings.screenSaver = enabled;
        settings.shortcut = code;
    }
    // The user presses a combination somewhere on the desktop.
    int pressStartsScreenSaver(quint16 modifiers, quint8 virtualKey) {
        const int before = screenSaver.activations;
        hotKey.press(modifiers, virtualKey);
        return screenSaver.activations - before;
    }
    bool atomInUse() const { return hotKey.atoms.contains(shortcut.hotKeyAtom()); }
};

} // namespace

class TestScreenSaverShortcut : public QObject {
    Q_OBJECT
private slots:
    void registersTheSettings_data();
    void registersTheSettings();
    void optionTickedOff();
    void changeThenOk();
    void changeThenCancelThenOk();
    void failingUnregisterKeepsTheOldCombination();
    void combinationHeldByAnotherProgram();
    void unregisterAtExit();
    void anyHotKeyStartsTheScreenSaver();
    void extendedKeyTypedAndLoadedAlike();
};

void TestScreenSaverShortcut::registersTheSettings_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("registered");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("virtualKey");
    QTest::newRow("Ctrl+Alt+S") << true << int(kCtrlAltS) << true << 0x0003 << 0x53;
    QTest::newRow("Ctrl+F11") << true << int(kCtrlF11) << true << 0x0002 << 0x7A;
    QTest::newRow("Ctrl+Shift+Alt+Z") << true << 0xE05A << true << 0x0007 << 0x5A;
    QTest::newRow("Ctrl+Insert") << true << 0x402D << true << 0x0002 << 0x2D;
    QTest::newRow("Ctrl+Ü") << true << 0x40BA << true << 0x0002 << 0xBA;
    QTest::newRow("volume mute alone") << true << 0x00AD << true << 0x0000 << 0xAD;
    QTest::newRow("option off") << false << int(kCtrlAltS) << false << 0 << 0;
    QTest::newRow("option on without a key") << true << 0 << false << 0 << 0;
}

void TestScreenSaverShortcut::registersTheSettings() {
    QFETCH(bool, enabled);
    QFETCH(int, code);
    QFETCH(bool, registered);
    QFETCH(int, modifiers);
    QFETCH(int, virtualKey);
    Fixture f(enabled, quint16(code));
    f.shortcut.RegisterScreenSaverHotKey();

    QCOMPARE(f.shortcut.isRegistered(), registered);
    if (!registered) {
        QVERIFY(f.hotKey.registered.isEmpty());
        QCOMPARE(f.hotKey.registerCalls, enabled ? 1 : 0);
        QVERIFY(!f.atomInUse()); // a failed registration leaves no use of the atom behind
        return;
    }
    QVERIFY(f.shortcut.hotKeyAtom() != 0);
    QVERIFY(f.atomInUse());
    QCOMPARE(f.hotKey.registered,
             QList<TRegistration>({{f.shortcut.hotKeyAtom(), quint16(modifiers), quint8(virtualKey)}}));
    QCOMPARE(f.pressStartsScreenSaver(quint16(modifiers), quint8(virtualKey)), 1);
}

void TestScreenSaverShortcut::optionTickedOff() {
    Fixture f;
    f.shortcut.RegisterScreenSaverHotKey();
    const quint16 atom = f.shortcut.hotKeyAtom();
    f.settings.screenSaver = false;
    f.shortcut.RegisterScreenSaverHotKey();
    QVERIFY(!f.shortcut.isRegistered());
    QVERIFY(f.hotKey.registered.isEmpty());
    QVERIFY(!f.hotKey.atoms.contains(atom));
    QCOMPARE(f.pressStartsScreenSaver(kModControl | kModAlt, 0x53), 0);
    // Off again: nothing left to remove.
    f.shortcut.RegisterScreenSaverHotKey();
    QCOMPARE(f.hotKey.unregisterCalls, 1);
}

void TestScreenSaverShortcut::changeThenOk() {
    Fixture f;
    f.shortcut.RegisterScreenSaverHotKey();
    f.settings.shortcut = kCtrlF11;
    f.shortcut.RegisterScreenSaverHotKey();
    QVERIFY(f.shortcut.isRegistered());
    QCOMPARE(f.hotKey.registered, QList<TRegistration>({{f.shortcut.hotKeyAtom(), kModControl, 0x7A}}));
    QCOMPARE(f.pressStartsScreenSaver(kModControl | kModAlt, 0x53), 0);
    QCOMPARE(f.pressStartsScreenSaver(kModControl, 0x7A), 1);
    QVERIFY(f.atomInUse());
}

void TestScreenSaverShortcut::changeThenCancelThenOk() {
    // Cancel keeps the changed controls but registers nothing anew.
    Fixture f;
    f.shortcut.RegisterScreenSaverHotKey();
    f.settings.shortcut = quint16(0x2000 | 0x70); // Shift+F1, then Cancel
    QCOMPARE(f.pressStartsScreenSaver(kModControl | kModAlt, 0x53), 1);
    QCOMPARE(f.pressStartsScreenSaver(kModShift, 0x70), 0);
    // A later OK without further changes registers what the controls hold.
    f.shortcut.RegisterScreenSaverHotKey();
    QCOMPARE(f.pressStartsScreenSaver(kModControl | kModAlt, 0x53), 0);
    QCOMPARE(f.pressStartsScreenSaver(kModShift, 0x70), 1);
}

void TestScreenSaverShortcut::failingUnregisterKeepsTheOldCombination() {
    Fixture f;
    f.shortcut.RegisterScreenSaverHotKey();
    const quint16 atom = f.shortcut.hotKeyAtom();
    f.hotKey.failUnregister = true;

    f.settings.shortcut = kCtrlF11;
    f.shortcut.RegisterScreenSaverHotKey();
    QVERIFY(f.shortcut.isRegistered());
    QCOMPARE(f.shortcut.hotKeyAtom(), atom);
    QCOMPARE(f.hotKey.registerCalls, 1); // the new combination was not tried
    QCOMPARE(f.pressStartsScreenSaver(kModControl | kModAlt, 0x53), 1);
    QCOMPARE(f.pressStartsScreenSaver(kModControl, 0x7A), 0);

    // Ticked off: the removal fails again and both fields keep their values.
    f.settings.screenSaver = false;
    f.shortcut.RegisterScreenSaverHotKey();
    QVERIFY(f.shortcut.isRegistered());
    QVERIFY(f.hotKey.atoms.contains(atom));

    // Once the removal works, the next OK goes through.
    f.hotKey.failUnregister = false;
    f.settings.screenSaver = true;
    f.shortcut.RegisterScreenSaverHotKey();
    QCOMPARE(f.hotKey.registered, QList<TRegistration>({{f.shortcut.hotKeyAtom(), kModControl, 0x7A}}));
}

void TestScreenSaverShortcut::combinationHeldByAnotherProgram() {
    Fixture f;
    f.hotKey.taken = {{quint16(kModControl | kModAlt), quint8(0x53)}};
    f.shortcut.RegisterScreenSaverHotKey();
    QVERIFY(!f.shortcut.isRegistered());
    QVERIFY(f.hotKey.registered.isEmpty());
    QVERIFY(!f.atomInUse());
    QCOMPARE(f.pressStartsScreenSaver(kModControl | kModAlt, 0x53), 0);

    // Nothing to remove on the next OK, which registers a free combination.
    f.settings.shortcut = kCtrlF11;
    f.shortcut.RegisterScreenSaverHotKey();
    QCOMPARE(f.hotKey.unregisterCalls, 0);
    QVERIFY(f.shortcut.isRegistered());
    QCOMPARE(f.pressStartsScreenSaver(kModControl, 0x7A), 1);

    // The taken combination again: the old one is removed first, the new one fails.
    f.settings.shortcut = kCtrlAltS;
    f.shortcut.RegisterScreenSaverHotKey();
    QVERIFY(!f.shortcut.isRegistered());
    QVERIFY(f.hotKey.registered.isEmpty());
    QCOMPARE(f.pressStartsScreenSaver(kModControl, 0x7A), 0);
}

void TestScreenSaverShortcut::unregisterAtExit() {
    Fixture f;
    f.shortcut.RegisterScreenSaverHotKey();
    f.shortcut.UnregisterScreenSaverHotKey();
    QVERIFY(!f.shortcut.isRegistered());
    QVERIFY(f.hotKey.registered.isEmpty());
    QVERIFY(!f.atomInUse());
    f.shortcut.UnregisterScreenSaverHotKey(); // nothing registered: nothing to do
    QCOMPARE(f.hotKey.unregisterCalls, 1);
}

void TestScreenSaverShortcut::anyHotKeyStartsTheScreenSaver() {
    // The identifier of the hot key is not examined.
    Fixture f;
    Q_EMIT f.hotKey.hotKeyPressed(0x1234);
    QCOMPARE(f.screenSaver.activations, 1);
}

void TestScreenSaverShortcut::extendedKeyTypedAndLoadedAlike() {
    // Ctrl+Insert typed into the dialog and confirmed, and the same stored code
    // loaded at the next start, are both registered as Ctrl+Insert.
    QTemporaryDir dir;
    const QString settingsFile = dir.filePath(QStringLiteral("Palavero.conf"));
    TFakeAutostart autostart;
    TFakeMessageBoxes boxes;
    const auto registrationOf = [&](TFormOptions& options) {
        TFakeGlobalHotKey hotKey;
        TFakeScreenSaver screenSaver;
        TScreenSaverShortcut shortcut(options, hotKey, screenSaver);
        shortcut.RegisterScreenSaverHotKey();
        return hotKey.registered.value(0);
    };

    TFormOptions typed(autostart, boxes, QStringLiteral("/opt/palavero/palavero"), nullptr, settingsFile);
    typed.CheckBoxScreensaver->setChecked(true);
    QTest::keyClick(typed.HotKeyScreensaver, Qt::Key_Insert, Qt::ControlModifier);
    const TRegistration first = registrationOf(typed);
    QCOMPARE(first.modifiers, kModControl);
    QCOMPARE(first.virtualKey, quint8(0x2D));
    typed.BitBtnOkClick();

    TFormOptions loaded(autostart, boxes, QStringLiteral("/opt/palavero/palavero"), nullptr, settingsFile);
    loaded.LoadSettings();
    const TRegistration second = registrationOf(loaded);
    QCOMPARE(second.modifiers, first.modifiers);
    QCOMPARE(second.virtualKey, first.virtualKey);
    QVERIFY(boxes.boxes.isEmpty());
}

PALAVERO_TEST_MAIN(TestScreenSaverShortcut)
#include "tst_screensaver.moc"
