// The settings store on Windows: REG_SZ values under a registry key of the test's own.

#include "common/TestMain.h"

#include "platform/windows/WindowsRegistry.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QMap>

#include <windows.h>

namespace {

using TStored = QMap<QString, QString>;

// A registry key of this test run below HKEY_CURRENT_USER, removed again.
struct TTestKey {
    const QString path = QStringLiteral("Software\\Korvel\\PalaveroTest-%1").arg(QCoreApplication::applicationPid());
    TTestKey() { TRegistryKey::removeTree(path); }
    ~TTestKey() { TRegistryKey::removeTree(path); }
    QString settings() const { return path + QStringLiteral("\\Settings"); }
};

// The value as the registry holds it: its type and its text.
bool rawValue(const QString& key, const QString& name, DWORD* type, QString* text) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer;
    if (::RegGetValueW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(key.utf16()),
                       reinterpret_cast<const wchar_t*>(name.utf16()), RRF_RT_ANY, type, buffer, &bytes) != ERROR_SUCCESS)
        return false;
    *text = QString::fromWCharArray(buffer);
    return true;
}

} // namespace

class TestWindowsSettings : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void load_data();
    void load();
    void saveWritesStrings();
    void otherTypesReadAsMissing();
};

void TestWindowsSettings::load_data() {
    QTest::addColumn<TStored>("stored");
    QTest::addColumn<bool>("beep");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<QString>("soundFile");
    QTest::addColumn<bool>("history");
    QTest::addColumn<bool>("screenSaver");
    QTest::addColumn<int>("shortcut");
    QTest::newRow("nothing stored: the defaults") << TStored{} << true << false << QString() << false << false << 0;
    QTest::newRow("every value")
        << TStored{{"Sound", "0"}, {"Music", "1"}, {"SoundFileName", "C:\\Windows\\Media\\chimes.wav"},
                   {"SaveHistory", "1"}, {"UseScreenSaverShortcut", "1"}, {"ScreenSaverShortcutKey", "16506"}}
        << false << true << QStringLiteral("C:\\Windows\\Media\\chimes.wav") << true << true << 16506;
    // Texts that QSettings would take for its own encodings stay what they are.
    QTest::newRow("a file name as typed")
        << TStored{{"SoundFileName", "@Variant(\\0\\0\\0\\x7f)"}} << true << false
        << QStringLiteral("@Variant(\\0\\0\\0\\x7f)") << false << false << 0;
    QTest::newRow("malformed values fall back")
        << TStored{{"Sound", "ja"}, {"SaveHistory", ""}, {"ScreenSaverShortcutKey", "0x4000"}} << true << false
        << QString() << false << false << 0;
}

void TestWindowsSettings::load() {
    QFETCH(TStored, stored);
    const TTestKey key;
    if (!stored.isEmpty()) {
        TRegistryKey settings(key.settings(), TRegistryKey::Mode::Create);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QVERIFY(settings.setString(it.key(), it.value()));
    }
    TSettingsValues values;
    values.beep = !values.beep; // every value must be set by the load
    QVERIFY(TSettingsStore(key.path).load(values));
    QTEST(values.beep, "beep");
    QTEST(values.sound, "sound");
    QTEST(values.soundFile, "soundFile");
    QTEST(values.history, "history");
    QTEST(values.screenSaver, "screenSaver");
    QTEST(int(values.shortcut), "shortcut");
}

void TestWindowsSettings::saveWritesStrings() {
    const TTestKey key;
    TSettingsValues saved;
    saved.beep = false;
    saved.sound = true;
    saved.soundFile = QStringLiteral("@C:\\Klänge\\Glocke €.wav");
    saved.history = true;
    saved.screenSaver = true;
    saved.shortcut = 49235;
    QVERIFY(TSettingsStore(key.path).save(saved));
    const TStored expected{{"Sound", "0"},       {"Music", "1"},
                           {"SoundFileName", saved.soundFile}, {"SaveHistory", "1"},
                           {"UseScreenSaverShortcut", "1"},    {"ScreenSaverShortcutKey", "49235"}};
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        DWORD type = 0;
        QString text;
        QVERIFY2(rawValue(key.settings(), it.key(), &type, &text), qPrintable(it.key()));
        QCOMPARE(type, DWORD(REG_SZ));
        QCOMPARE(text, it.value());
    }
    TSettingsValues loaded;
    QVERIFY(TSettingsStore(key.path).load(loaded));
    QCOMPARE(loaded.soundFile, saved.soundFile);
    QCOMPARE(loaded.shortcut, saved.shortcut);
    QCOMPARE(loaded.beep, saved.beep);
}

void TestWindowsSettings::otherTypesReadAsMissing() {
    const TTestKey key;
    HKEY settings = nullptr;
    QCOMPARE(::RegCreateKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(key.settings().utf16()), 0,
                               nullptr, 0, KEY_WRITE, nullptr, &settings, nullptr),
             LSTATUS(ERROR_SUCCESS));
    const DWORD zero = 0;
    ::RegSetValueExW(settings, L"Sound", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
    ::RegCloseKey(settings);
    TSettingsValues values;
    QVERIFY(TSettingsStore(key.path).load(values));
    QCOMPARE(values.beep, true);
}

PALAVERO_TEST_GUILESS_MAIN(TestWindowsSettings)
#include "tst_windows_settings.moc"
