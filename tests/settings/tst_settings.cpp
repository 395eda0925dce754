#include "common/TestMain.h"

#include "common/BadFiles.h"
#include "common/Fakes.h"
#include "core/FileReplace.h"
#include "platform/linux/XdgAutostart.h"
#include "settings/AutostartRule.h"
#include "settings/FormOptions.h"
#include "settings/HotKeyEdit.h"
#include "settings/SettingsStore.h"
#include "settings/ShortcutCode.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <memory>

namespace {

const QString kExe = QStringLiteral("/opt/Palavero/palavero");
const QString kTitle = QStringLiteral("palavero"); // first letter as in the file name

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// One options dialog with fake platform services and its own settings file.
struct TOptionsFixture {
    QTemporaryDir dir;
    TFakeAutostart autostart;
    TFakeMessageBoxes boxes;
    std::unique_ptr<TFormOptions> form;

    TOptionsFixture() { form = makeForm(); }
    QString settingsPath() const { return dir.filePath(QStringLiteral("Korvel/Palavero.conf")); }
    std::unique_ptr<TFormOptions> makeForm() {
        return std::make_unique<TFormOptions>(autostart, boxes, kExe, nullptr, settingsPath());
    }
    void showAndHide() {
        form->show();
        form->hide();
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void soundFileFolder_data();
    void soundFileFolder();
    // Shortcut code
    void shortcutCode_data();
    void shortcutCode();
    void shortcutCodeTableIsConsistent();
    void hotKeyModifiers_data();
    void hotKeyModifiers();
    void shortcutCodeOfUnknownVirtualKey();
    void hotKeyFieldTyping_data();
    void hotKeyFieldTyping();
    void hotKeyFieldKeepsOneCombination();

    // Store
    void defaultFilePath();
    void readingRules_data();
    void readingRules();
    void loadFailureKeepsDesignContents_data();
    void loadFailureKeepsDesignContents();
    void saveWritesStrings();
    void saveReplacesFileAndKeepsOtherGroups();
    void saveFailureIsSilent();
    void saveKeepsLinesItCannotRead();
    void loadSaveRoundTrip();

    // Dialog
    void dialogLayout_data();
    void dialogLayout();
    void controlsAreLiveSettings();
    void cancelKeepsControlsWithoutWriting();
    void okWritesAndAccepts();
    void selectSoundFile();

    // Autostart
    void autostartShown_data();
    void autostartShown();
    void loadLeavesBoxWhenNoEntry();
    void autostartOnOk_data();
    void autostartOnOk();
    void removedEntryShowsUnticked();
    void autostartWriteFailureIsReported_data();
    void autostartWriteFailureIsReported();
    void xdgAutostartFile();
    void xdgAutostartExecQuoting_data();
    void xdgAutostartExecQuoting();
    void xdgAutostartReadsForeignFiles_data();
    void xdgAutostartReadsForeignFiles();
    void dialogWithRealAutostart();
};

// ---------------------------------------------------------------- shortcut code

void TestSettings::shortcutCode_data() {
    QTest::addColumn<QKeyCombination>("keys");
    QTest::addColumn<int>("code");
    QTest::addColumn<QKeyCombination>("back"); // what the code maps back to

    const auto row = [](const char* name, QKeyCombination keys, int code, QKeyCombination back) {
        QTest::newRow(name) << keys << code << back;
    };
    const auto same = [&](const char* name, QKeyCombination keys, int code) { row(name, keys, code, keys); };
    const QKeyCombination none(Qt::Key(0));

    same("Ctrl+Alt+S", Qt::CTRL | Qt::ALT | Qt::Key_S, 49235);
    same("Ctrl+F11", Qt::CTRL | Qt::Key_F11, 16506);
    same("Shift+F1", Qt::SHIFT | Qt::Key_F1, 0x2000 + 0x70);
    same("F24", QKeyCombination(Qt::Key_F24), 0x87);
    same("Ctrl+Shift+Alt+Z", Qt::CTRL | Qt::SHIFT | Qt::ALT | Qt::Key_Z, 0xE05A);
    same("Alt+7", Qt::ALT | Qt::Key_7, 0x8037);
    same("numpad 7", Qt::KeypadModifier | Qt::Key_7, 0x67);
    same("Ctrl+numpad plus", Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus, 0x406B);
    same("numpad divide", Qt::KeypadModifier | Qt::Key_Slash, 0x6F);
    same("Ctrl+Insert has no Windows-key bit", Qt::CTRL | Qt::Key_Insert, 0x402D);
    same("Alt+Shift+Delete", Qt::ALT | Qt::SHIFT | Qt::Key_Delete, 0xA02E);
    same("Ctrl+Left", Qt::CTRL | Qt::Key_Left, 0x4025);
    same("Ctrl+PageDown", Qt::CTRL | Qt::Key_PageDown, 0x4022);
    same("Ctrl+Space", Qt::CTRL | Qt::Key_Space, 0x4020);
    same("Ctrl+Escape", Qt::CTRL | Qt::Key_Escape, 0x401B);
    same("Ctrl+Backspace", Qt::CTRL | Qt::Key_Backspace, 0x4008);
    same("Pause", QKeyCombination(Qt::Key_Pause), 0x13);
    same("Ctrl+Print", Qt::CTRL | Qt::Key_Print, 0x402C);
    same("Ctrl+comma", Qt::CTRL | Qt::Key_Comma, 0x40BC);
    same("Ctrl+minus", Qt::CTRL | Qt::Key_Minus, 0x40BD);
    same("Ctrl+plus", Qt::CTRL | Qt::Key_Plus, 0x40BB);
    same("Ctrl+less (102nd key)", Qt::CTRL | Qt::Key_Less, 0x40E2);
    // The keys that differ between layouts map to the codes of the German layout
    // (VK_OEM_*); the US key at the same place has the same code.
    same("Ctrl+Ü", Qt::CTRL | Qt::Key_Udiaeresis, 0x40BA);
    same("Ctrl+Ö", Qt::CTRL | Qt::Key_Odiaeresis, 0x40C0);
    same("Ctrl+Ä", Qt::CTRL | Qt::Key_Adiaeresis, 0x40DE);
    same("Ctrl+ß", Qt::CTRL | Qt::Key_ssharp, 0x40DB);
    same("Ctrl+#", Qt::CTRL | Qt::Key_NumberSign, 0x40BF);
    same("Ctrl+^", Qt::CTRL | Qt::Key_AsciiCircum, 0x40DC);
    same("Ctrl+´", Qt::CTRL | Qt::Key_acute, 0x40DD);
    same("Alt+<", Qt::ALT | Qt::Key_Less, 0x80E2);
    same("Ctrl+Shift+Ü", Qt::CTRL | Qt::SHIFT | Qt::Key_Udiaeresis, 0x60BA);
    row("Ctrl+dead ^ is ^", Qt::CTRL | Qt::Key_Dead_Circumflex, 0x40DC, Qt::CTRL | Qt::Key_AsciiCircum);
    row("Ctrl+dead ´ is ´", Qt::CTRL | Qt::Key_Dead_Acute, 0x40DD, Qt::CTRL | Qt::Key_acute);
    row("Ctrl+semicolon (US) is the Ü key", Qt::CTRL | Qt::Key_Semicolon, 0x40BA, Qt::CTRL | Qt::Key_Udiaeresis);
    row("Ctrl+apostrophe (US) is the Ä key", Qt::CTRL | Qt::Key_Apostrophe, 0x40DE,
        Qt::CTRL | Qt::Key_Adiaeresis);
    row("Ctrl+slash (US) is the # key", Qt::CTRL | Qt::Key_Slash, 0x40BF, Qt::CTRL | Qt::Key_NumberSign);
    row("Ctrl+grave (US) is the Ö key", Qt::CTRL | Qt::Key_QuoteLeft, 0x40C0, Qt::CTRL | Qt::Key_Odiaeresis);
    row("Ctrl+[ (US) is the ß key", Qt::CTRL | Qt::Key_BracketLeft, 0x40DB, Qt::CTRL | Qt::Key_ssharp);
    row("Ctrl+backslash (US) is the ^ key", Qt::CTRL | Qt::Key_Backslash, 0x40DC,
        Qt::CTRL | Qt::Key_AsciiCircum);
    row("Ctrl+] (US) is the ´ key", Qt::CTRL | Qt::Key_BracketRight, 0x40DD, Qt::CTRL | Qt::Key_acute);
    // Volume, media, browser and launch keys.
    same("volume mute", QKeyCombination(Qt::Key_VolumeMute), 0xAD);
    same("Ctrl+volume down", Qt::CTRL | Qt::Key_VolumeDown, 0x40AE);
    same("volume up", QKeyCombination(Qt::Key_VolumeUp), 0xAF);
    same("next track", QKeyCombination(Qt::Key_MediaNext), 0xB0);
    same("previous track", QKeyCombination(Qt::Key_MediaPrevious), 0xB1);
    same("media stop", QKeyCombination(Qt::Key_MediaStop), 0xB2);
    same("Ctrl+play", Qt::CTRL | Qt::Key_MediaPlay, 0x40B3);
    row("play/pause is play", QKeyCombination(Qt::Key_MediaTogglePlayPause), 0xB3,
        QKeyCombination(Qt::Key_MediaPlay));
    same("browser back", QKeyCombination(Qt::Key_Back), 0xA6);
    same("browser home", QKeyCombination(Qt::Key_HomePage), 0xAC);
    same("mail", QKeyCombination(Qt::Key_LaunchMail), 0xB4);
    same("calculator", QKeyCombination(Qt::Key_Calculator), 0xB7);
    same("sleep", QKeyCombination(Qt::Key_Sleep), 0x5F);
    row("Ctrl+equal is the plus key", Qt::CTRL | Qt::Key_Equal, 0x40BB, Qt::CTRL | Qt::Key_Plus);
    row("Ctrl+keypad Enter is Enter", Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Enter, 0x400D,
        Qt::CTRL | Qt::Key_Return);
    row("keypad Home (NumLock off) is Home", Qt::KeypadModifier | Qt::Key_Home, 0x24,
        QKeyCombination(Qt::Key_Home));
    row("Meta has no bit", Qt::META | Qt::CTRL | Qt::Key_A, 0x4041, Qt::CTRL | Qt::Key_A);
    row("Shift+Tab typed as Backtab", Qt::SHIFT | Qt::Key_Backtab, 0x2009, Qt::SHIFT | Qt::Key_Tab);
    row("empty", none, 0, none);
    row("key without a virtual-key code", Qt::CTRL | Qt::Key_Eject, 0, none);
    row("letter of another layout", Qt::CTRL | Qt::Key_Ccedilla, 0, none);
    row("modifier alone", Qt::CTRL | Qt::Key_Control, 0, none);
}

void TestSettings::shortcutCode() {
    QFETCH(QKeyCombination, keys);
    QFETCH(int, code);
    QFETCH(QKeyCombination, back);
    QCOMPARE(int(ShortcutCode::fromKeyCombination(keys)), code);
    QCOMPARE(ShortcutCode::toKeyCombination(quint16(code)), back);
}

void TestSettings::shortcutCodeTableIsConsistent() {
    // Every virtual-key code the program knows maps to a key that maps back to
    // the same code, with every set of modifiers.
    int known = 0;
    for (int vk = 1; vk < 256; ++vk) {
        for (const quint16 mods : {quint16(0), ShortcutCode::kShift, ShortcutCode::kCtrl, ShortcutCode::kAlt,
                                   quint16(ShortcutCode::kModifierMask)}) {
            const quint16 code = quint16(vk | mods);
            const QKeyCombination keys = ShortcutCode::toKeyCombination(code);
            if (keys.key() == Qt::Key(0))
                continue;
            ++known;
            QVERIFY2(ShortcutCode::fromKeyCombination(keys) == code, qPrintable(QString::number(code, 16)));
        }
    }
    QVERIFY(known > 0);
}

void TestSettings::hotKeyModifiers_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("modifiers"); // MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4
    QTest::newRow("Ctrl+Alt+S") << 49235 << 0x0003;
    QTest::newRow("Ctrl+F11") << 16506 << 0x0002;
    QTest::newRow("Shift+F1") << 0x2070 << 0x0004;
    QTest::newRow("Ctrl+Shift+Alt+Z") << 0xE05A << 0x0007;
    QTest::newRow("Ctrl+Insert, an extended key, has no Windows-key modifier") << 0x402D << 0x0002;
    QTest::newRow("Alt+Shift+Delete") << 0xA02E << 0x0005;
    QTest::newRow("Ctrl+Right") << 0x4027 << 0x0002;
    QTest::newRow("volume mute alone") << 0x00AD << 0x0000;
}

void TestSettings::hotKeyModifiers() {
    QFETCH(int, code);
    QFETCH(int, modifiers);
    QCOMPARE(int(ShortcutCode::hotKeyModifiers(quint16(code))), modifiers);
}

void TestSettings::shortcutCodeOfUnknownVirtualKey() {
    QCOMPARE(ShortcutCode::toKeyCombination(0x4000 | 0xFF).key(), Qt::Key(0)); // no such key
    QCOMPARE(ShortcutCode::toKeyCombination(0x4000).key(), Qt::Key(0));        // modifiers without a key
    QCOMPARE(ShortcutCode::virtualKeyOf(49235), quint8(0x53));
    QCOMPARE(ShortcutCode::virtualKeyOf(16506), quint8(0x7A));
}

void TestSettings::hotKeyFieldTyping_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("code");
    QTest::newRow("Ctrl+Alt+S") << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::AltModifier) << 49235;
    QTest::newRow("Ctrl+F11") << int(Qt::Key_F11) << int(Qt::ControlModifier) << 16506;
    QTest::newRow("Shift+F1") << int(Qt::Key_F1) << int(Qt::ShiftModifier) << 0x2070;
    QTest::newRow("Ctrl+Insert") << int(Qt::Key_Insert) << int(Qt::ControlModifier) << 0x402D;
    QTest::newRow("Ctrl+numpad 5") << int(Qt::Key_5) << int(Qt::ControlModifier | Qt::KeypadModifier)
                                   << 0x4065;
    QTest::newRow("Ctrl+5") << int(Qt::Key_5) << int(Qt::ControlModifier) << 0x4035;
    QTest::newRow("Meta+Ctrl+A") << int(Qt::Key_A) << int(Qt::MetaModifier | Qt::ControlModifier) << 0x4041;
    QTest::newRow("Ctrl+Ü") << int(Qt::Key_Udiaeresis) << int(Qt::ControlModifier) << 0x40BA;
    QTest::newRow("Ctrl+Alt+ß") << int(Qt::Key_ssharp) << int(Qt::ControlModifier | Qt::AltModifier) << 0xC0DB;
    QTest::newRow("Ctrl+dead ^") << int(Qt::Key_Dead_Circumflex) << int(Qt::ControlModifier) << 0x40DC;
    QTest::newRow("Ctrl+#") << int(Qt::Key_NumberSign) << int(Qt::ControlModifier) << 0x40BF;
    QTest::newRow("volume mute") << int(Qt::Key_VolumeMute) << 0 << 0xAD;
    QTest::newRow("Ctrl+play") << int(Qt::Key_MediaPlay) << int(Qt::ControlModifier) << 0x40B3;
    // Keys the field cannot show leave it as it was (Ctrl+F11).
    QTest::newRow("key without a code") << int(Qt::Key_Eject) << int(Qt::ControlModifier) << 16506;
    QTest::newRow("Windows key alone") << int(Qt::Key_Meta) << int(Qt::MetaModifier) << 16506;
    QTest::newRow("Shift alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << 16506;
    QTest::newRow("unknown key") << int(Qt::Key_unknown) << 0 << 16506;
}

void TestSettings::hotKeyFieldTyping() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, code);
    THotKeyEdit edit;
    edit.setShortcutCode(16506);
    // Sent as events: QTest's key clicks refuse dead keys.
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QKeyEvent release(QEvent::KeyRelease, key, Qt::KeyboardModifiers(modifiers));
    QApplication::sendEvent(&edit, &press);
    QApplication::sendEvent(&edit, &release);
    QCOMPARE(int(edit.shortcutCode()), code);
    // What the field shows is what the code means.
    const QKeyCombination back = ShortcutCode::toKeyCombination(quint16(code));
    QCOMPARE(edit.keySequence(), back.key() == Qt::Key(0) ? QKeySequence() : QKeySequence(back));
}

void TestSettings::hotKeyFieldKeepsOneCombination() {
    THotKeyEdit edit;
    QSignalSpy finished(&edit, &QKeySequenceEdit::editingFinished);
    QTest::keyClick(&edit, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&edit, Qt::Key_F2, Qt::ShiftModifier);
    QCOMPARE(edit.keySequence().count(), 1);
    QCOMPARE(int(edit.shortcutCode()), 0x2071);
    QCOMPARE(finished.count(), 2);
    // The Windows key pressed and let go alone keeps it; a combination after it counts.
    QTest::keyClick(&edit, Qt::Key_Meta, Qt::MetaModifier);
    QCOMPARE(int(edit.shortcutCode()), 0x2071);
    QTest::keyClick(&edit, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(int(edit.shortcutCode()), 49235);
    edit.setShortcutCode(0);
    QVERIFY(edit.keySequence().isEmpty());
    QCOMPARE(int(edit.shortcutCode()), 0);
}

// ---------------------------------------------------------------- store

void TestSettings::defaultFilePath() {
    QCOMPARE(TSettingsStore::defaultFilePath(),
             qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Korvel/Palavero.conf"));
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(TSettingsStore::defaultFilePath(),
             QDir::homePath() + QStringLiteral("/.config/Korvel/Palavero.conf"));
    qputenv("XDG_CONFIG_HOME", saved);
}

void TestSettings::readingRules_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("beep");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<QString>("soundFile");
    QTest::addColumn<bool>("history");
    QTest::addColumn<bool>("screenSaver");
    QTest::addColumn<int>("code");

    QTest::newRow("missing file gives the defaults")
        << false << QByteArray() << true << false << QString() << false << false << 0;
    QTest::newRow("empty group gives the defaults")
        << true << QByteArray("[Settings]\n") << true << false << QString() << false << false << 0;
    QTest::newRow("all set") << true
                             << QByteArray(
                                    "[Settings]\nSound=0\nMusic=1\nSoundFileName=/usr/share/sounds/ding.wav\n"
                                    "SaveHistory=1\nUseScreenSaverShortcut=1\nScreenSaverShortcutKey=49235\n")
                             << false << true << QStringLiteral("/usr/share/sounds/ding.wav") << true << true
                             << 49235;
    QTest::newRow("2 reads as on") << true << QByteArray("[Settings]\nMusic=2\nSaveHistory=2\nSound=2\n")
                                   << true << true << QString() << true << false << 0;
    QTest::newRow("negative reads as on") << true << QByteArray("[Settings]\nUseScreenSaverShortcut=-1\n")
                                          << true << false << QString() << false << true << 0;
    QTest::newRow("ja reads as the default")
        << true << QByteArray("[Settings]\nSound=ja\nMusic=ja\nSaveHistory=ja\nUseScreenSaverShortcut=ja\n")
        << true << false << QString() << false << false << 0;
    QTest::newRow("0 reads as off") << true << QByteArray("[Settings]\nSound=0\n") << false << false
                                    << QString() << false << false << 0;
    QTest::newRow("hex is not decimal")
        << true << QByteArray("[Settings]\nSound=0x0\nScreenSaverShortcutKey=0x407A\n") << true << false
        << QString() << false << false << 0;
    QTest::newRow("non-numeric code reads as 0")
        << true << QByteArray("[Settings]\nScreenSaverShortcutKey=Strg+F11\n") << true << false << QString()
        << false << false << 0;
    QTest::newRow("empty values")
        << true << QByteArray("[Settings]\nSound=\nMusic=\nSoundFileName=\nScreenSaverShortcutKey=\n") << true
        << false << QString() << false << false << 0;
    QTest::newRow("code keeps its low 16 bits")
        << true << QByteArray("[Settings]\nScreenSaverShortcutKey=82042\n") << true << false << QString()
        << false << false << 16506;
    QTest::newRow("file name kept as written")
        << true << QByteArray("[Settings]\nSoundFileName=C:\\\\windows\\\\Media\\\\chimes.wav\n") << true
        << false << QStringLiteral("C:\\windows\\Media\\chimes.wav") << false << false << 0;
    QTest::newRow("file name with blanks and umlauts")
        << true << QByteArray("[Settings]\nSoundFileName=/home/j\xc3\xb6rg/Kl\xc3\xa4nge/ding dong.wav\n")
        << true << false << QStringLiteral("/home/jörg/Klänge/ding dong.wav") << false << false << 0;
    QTest::newRow("hand-written comma in file name")
        << true << QByteArray("[Settings]\nSoundFileName=/tmp/a, b.wav\n") << true << false
        << QStringLiteral("/tmp/a, b.wav") << false << false << 0;
    QTest::newRow("values of another group do not count")
        << true << QByteArray("[General]\nSound=0\nMusic=1\n[Settings]\nSaveHistory=1\n") << true << false
        << QString() << true << false << 0;
    QTest::newRow("broken lines cost no other value")
        << true
        << QByteArray("[Settings]\nSound=0\nthis line is broken\n=1\n\"unclosed\nMusic=1\n\x01\xff\xfe\n"
                      "SaveHistory=1\n")
        << false << true << QString() << true << false << 0;
    QTest::newRow("escapes and quotes as the INI writer makes them")
        << true << QByteArray("[Settings]\nSoundFileName=\"  a\\tb \\\"c\\\" \\x263a;\" \n") << true << false
        << QStringLiteral("  a\tb \"c\" \u263a;") << false << false << 0;
    QTest::newRow("CR LF lines") << true
                                 << QByteArray("[Settings]\r\nSound=0\r\nScreenSaverShortcutKey=16506\r\n")
                                 << false << false << QString() << false << false << 16506;
}

void TestSettings::readingRules() {
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, ini);
    QFETCH(bool, beep);
    QFETCH(bool, sound);
    QFETCH(QString, soundFile);
    QFETCH(bool, history);
    QFETCH(bool, screenSaver);
    QFETCH(int, code);

    TOptionsFixture f;
    if (fileExists)
        QVERIFY(writeBytes(f.settingsPath(), ini));

    // The store on its own, starting from values unlike every expected one.
    TSettingsValues values;
    values.beep = !beep;
    values.sound = !sound;
    values.soundFile = QStringLiteral("unchanged");
    values.history = !history;
    values.screenSaver = !screenSaver;
    values.shortcut = quint16(code + 1);
    QVERIFY(TSettingsStore(f.settingsPath()).load(values));
    QCOMPARE(values.beep, beep);
    QCOMPARE(values.sound, sound);
    QCOMPARE(values.soundFile, soundFile);
    QCOMPARE(values.history, history);
    QCOMPARE(values.screenSaver, screenSaver);
    QCOMPARE(int(values.shortcut), code);

    // The dialog's load replaces the design-time contents of the controls.
    f.form->LoadSettings();
    QCOMPARE(f.form->CheckBoxBeep->isChecked(), beep);
    QCOMPARE(f.form->CheckBoxSound->isChecked(), sound);
    QCOMPARE(f.form->EditFileNameSound->text(), soundFile);
    QCOMPARE(f.form->CheckBoxHistory->isChecked(), history);
    QCOMPARE(f.form->CheckBoxScreensaver->isChecked(), screenSaver);
    QCOMPARE(int(f.form->screenSaverShortcut()), code);
    QVERIFY(f.boxes.boxes.isEmpty());
    // Loading writes nothing.
    QCOMPARE(QFileInfo::exists(f.settingsPath()), fileExists);
}

void TestSettings::loadFailureKeepsDesignContents_data() {
    BadFiles::addRows(TSettingsStore::kMaxFileSize);
}

// A file that cannot be read as settings (no regular file, or too large) is
// not read at all: the start neither waits nor grows, and the reason is logged.
void TestSettings::loadFailureKeepsDesignContents() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TOptionsFixture f;
    QVERIFY(QDir().mkpath(QFileInfo(f.settingsPath()).path()));
    QVERIFY(BadFiles::make(kind, f.settingsPath(), TSettingsStore::kMaxFileSize));
    const QRegularExpression warning(QStringLiteral("cannot read .* ") + QRegularExpression::escape(reason));
    QTest::ignoreMessage(QtWarningMsg, warning);
    f.form->LoadSettings();
    QVERIFY(!f.form->CheckBoxBeep->isChecked());
    QCOMPARE(f.form->EditFileNameSound->text(), QStringLiteral("C:\\windows\\Media\\chimes.wav"));
    QCOMPARE(int(f.form->screenSaverShortcut()), 16506);
    QVERIFY(f.boxes.boxes.isEmpty());

    TSettingsValues values;
    values.soundFile = QStringLiteral("kept");
    QTest::ignoreMessage(QtWarningMsg, warning);
    QVERIFY(!TSettingsStore(f.settingsPath()).load(values));
    QCOMPARE(values.soundFile, QStringLiteral("kept"));
    // Nor is it replaced by a save.
    QTest::ignoreMessage(QtWarningMsg, warning);
    f.form->SaveSettings();
    QCOMPARE(QFileInfo(f.settingsPath()).isFile() && !QFileInfo(f.settingsPath()).isSymLink(), kind == "huge");
}

void TestSettings::saveWritesStrings() {
    TOptionsFixture f;
    f.form->CheckBoxBeep->setChecked(false);
    f.form->CheckBoxSound->setChecked(true);
    f.form->EditFileNameSound->setText(QStringLiteral("/home/jörg/Klänge/ding dong.wav"));
    f.form->CheckBoxHistory->setChecked(true);
    f.form->CheckBoxScreensaver->setChecked(true);
    f.form->HotKeyScreensaver->setShortcutCode(49235);
    f.form->SaveSettings();
    QCOMPARE(readBytes(f.settingsPath()),
             QByteArray("[Settings]\n"
                        "Music=1\n"
                        "SaveHistory=1\n"
                        "ScreenSaverShortcutKey=49235\n"
                        "Sound=0\n"
                        "SoundFileName=/home/j\xc3\xb6rg/Kl\xc3\xa4nge/ding dong.wav\n"
                        "UseScreenSaverShortcut=1\n"));

    // The design-time contents, written as they stand.
    TOptionsFixture design;
    design.form->SaveSettings();
    QCOMPARE(readBytes(design.settingsPath()),
             QByteArray("[Settings]\n"
                        "Music=0\n"
                        "SaveHistory=0\n"
                        "ScreenSaverShortcutKey=16506\n"
                        "Sound=0\n"
                        "SoundFileName=C:\\\\windows\\\\Media\\\\chimes.wav\n"
                        "UseScreenSaverShortcut=0\n"));
}

void TestSettings::saveReplacesFileAndKeepsOtherGroups() {
    TOptionsFixture f;
    QVERIFY(writeBytes(f.settingsPath(), "[Other]\nkeep=yes\n\n[Settings]\nSound=1\n"));
    const ino_t before = inodeOf(f.settingsPath());
    f.form->LoadSettings();
    f.form->CheckBoxBeep->setChecked(false);
    f.form->SaveSettings();
    // A new file renamed over the old one, not the old one rewritten in place.
    QVERIFY(inodeOf(f.settingsPath()) != before);
    QCOMPARE(QDir(QFileInfo(f.settingsPath()).absolutePath()).entryList(QDir::Files),
             QStringList{QStringLiteral("Palavero.conf")});
    const QByteArray bytes = readBytes(f.settingsPath());
    QVERIFY(bytes.startsWith("[Other]\nkeep=yes\n\n[Settings]\n"));
    QVERIFY(bytes.contains("\nSound=0\n"));
}

void TestSettings::saveFailureIsSilent() {
    TOptionsFixture f;
    // The settings folder cannot be made: a file stands where it should be.
    QVERIFY(writeBytes(f.dir.filePath(QStringLiteral("Korvel")), "not a folder"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot create the folder")));
    QVERIFY(!TSettingsStore(f.settingsPath()).save(TSettingsValues()));
    f.form->CheckBoxRun->setChecked(true);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot create the folder")));
    f.form->BitBtnOkClick();
    // Nothing is said; the autostart step still runs and the dialog closes with OK.
    QVERIFY(f.boxes.boxes.isEmpty());
    QCOMPARE(f.autostart.entries.value(kTitle), kExe);
    QCOMPARE(f.form->result(), int(QDialog::Accepted));
}

// A broken line and a foreign group stay as they stand when the dialog
// writes; a new file left by a killed write is removed when the settings load,
// a file of the user's that only looks alike is not.
void TestSettings::saveKeepsLinesItCannotRead() {
    TOptionsFixture f;
    QVERIFY(writeBytes(f.settingsPath(), "[Settings]\nSound=0\nthis line is broken\nMusic=1\n\n[Other]\nkeep=yes\n"));
    const QString leftover = f.settingsPath() + QStringLiteral(".aB3dE9.palavero-neu");
    const QString backup = f.settingsPath() + QStringLiteral(".backup");
    for (const QString& path : {leftover, backup}) {
        QVERIFY(writeBytes(path, "[Settings]\n"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(FileReplace::programStart().addSecs(-60), QFileDevice::FileModificationTime));
    }
    f.form->LoadSettings();
    QVERIFY(!QFileInfo::exists(leftover));
    QCOMPARE(readBytes(backup), QByteArray("[Settings]\n"));
    QVERIFY(!f.form->CheckBoxBeep->isChecked());
    QVERIFY(f.form->CheckBoxSound->isChecked());
    f.form->CheckBoxHistory->setChecked(true);
    f.form->SaveSettings();
    QCOMPARE(readBytes(f.settingsPath()), QByteArray("[Settings]\nSound=0\nthis line is broken\nMusic=1\n"
                                                     "SaveHistory=1\nScreenSaverShortcutKey=0\n"
                                                     "SoundFileName=\nUseScreenSaverShortcut=0\n\n[Other]\nkeep=yes\n"));
}

void TestSettings::loadSaveRoundTrip() {
    TOptionsFixture f;
    QVERIFY(writeBytes(f.settingsPath(),
                       "[Settings]\nSound=ja\nMusic=2\nSoundFileName=\"C:\\\\Media\\\\a, b.wav\"\n"
                       "SaveHistory=7\nUseScreenSaverShortcut=0\nScreenSaverShortcutKey=x\n"));
    f.form->LoadSettings();
    f.form->SaveSettings();
    const QByteArray first = readBytes(f.settingsPath());
    // Each value is written where its line stood.
    QCOMPARE(first, QByteArray("[Settings]\n"
                               "Sound=1\n"
                               "Music=1\n"
                               "SoundFileName=\"C:\\\\Media\\\\a, b.wav\"\n"
                               "SaveHistory=1\n"
                               "UseScreenSaverShortcut=0\n"
                               "ScreenSaverShortcutKey=0\n"));

    // A second dialog loads what the first wrote, and writes it unchanged.
    auto second = f.makeForm();
    second->LoadSettings();
    QCOMPARE(second->soundFileName(), QStringLiteral("C:\\Media\\a, b.wav"));
    QVERIFY(second->beepEnabled());
    QVERIFY(second->soundEnabled());
    QVERIFY(second->historyEnabled());
    second->SaveSettings();
    QCOMPARE(readBytes(f.settingsPath()), first);

    // A file name with a character beyond the BMP survives the trip whole.
    const QString emoji = QStringLiteral("/home/j\u00f6rg/T\u00f6ne/\U0001F514 Glocke.wav");
    second->EditFileNameSound->setText(emoji);
    second->SaveSettings();
    QVERIFY(readBytes(f.settingsPath()).contains(emoji.toUtf8()));
    auto again = f.makeForm();
    again->LoadSettings();
    QCOMPARE(again->soundFileName(), emoji);

    // Every hot key survives the trip.
    for (const quint16 code :
         {quint16(49235), quint16(16506), quint16(0x2070), quint16(0x4065), quint16(0x40BA), quint16(0xC0DB),
          quint16(0x40DC), quint16(0x00AD), quint16(0x40B3), quint16(0)}) {
        second->HotKeyScreensaver->setShortcutCode(code);
        second->SaveSettings();
        auto third = f.makeForm();
        third->LoadSettings();
        QCOMPARE(third->screenSaverShortcut(), code);
    }
}

// ---------------------------------------------------------------- dialog

void TestSettings::dialogLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("run") << "CheckBoxRun"
                         << "Programm beim Start von Windows aktivieren";
    QTest::newRow("beep") << "CheckBoxBeep"
                          << "Ton bei Nachrichteneingang ausgeben";
    QTest::newRow("sound") << "CheckBoxSound"
                           << "Sound bei Nachrichteneingang abspielen";
    QTest::newRow("file") << "EditFileNameSound"
                          << "C:\\windows\\Media\\chimes.wav";
    QTest::newRow("select") << "BitBtnSelectSound"
                            << "...";
    QTest::newRow("history") << "CheckBoxHistory"
                             << "History speichern";
    QTest::newRow("screensaver") << "CheckBoxScreensaver"
                                 << "Shortcut für Bildschirmschoner verwenden";
    QTest::newRow("ok") << "BitBtnOk"
                        << "OK";
    QTest::newRow("cancel") << "BitBtn1"
                            << "Abbrechen";
}

void TestSettings::dialogLayout() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    TOptionsFixture f;
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Einstellungen"));
    QCOMPARE(f.form->size(), QSize(321, 255));
    QCOMPARE(f.form->minimumSize(), f.form->maximumSize());
    QWidget* control = f.form->findChild<QWidget*>(name);
    QVERIFY(control);
    QVERIFY(f.form->GroupBoxOptions->isAncestorOf(control) || name.startsWith(QLatin1String("BitBtn1")) ||
            name == QLatin1String("BitBtnOk"));
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QCOMPARE(button->text(), text);
        if (auto* box = qobject_cast<QCheckBox*>(control))
            QVERIFY(!box->isChecked());
    } else {
        QCOMPARE(qobject_cast<QLineEdit*>(control)->text(), text);
    }
    QCOMPARE(int(f.form->screenSaverShortcut()), 16506);
    QCOMPARE(f.form->applicationTitle(), kTitle);
}

void TestSettings::controlsAreLiveSettings() {
    TOptionsFixture f;
    f.form->LoadSettings();
    const ILiveSettings& live = *f.form;
    QVERIFY(live.beepEnabled());
    f.form->CheckBoxBeep->setChecked(false);
    QVERIFY(!live.beepEnabled());
    f.form->CheckBoxSound->setChecked(true);
    QVERIFY(live.soundEnabled());
    f.form->EditFileNameSound->setText(QStringLiteral("/tmp/x.wav"));
    QCOMPARE(live.soundFileName(), QStringLiteral("/tmp/x.wav"));
    f.form->CheckBoxHistory->setChecked(true);
    QVERIFY(live.historyEnabled());
    f.form->CheckBoxScreensaver->setChecked(true);
    QVERIFY(live.screenSaverEnabled());
    QTest::keyClick(f.form->HotKeyScreensaver, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(int(live.screenSaverShortcut()), 49235);
}

void TestSettings::cancelKeepsControlsWithoutWriting() {
    TOptionsFixture f;
    QVERIFY(writeBytes(f.settingsPath(), "[Settings]\nSound=1\nScreenSaverShortcutKey=16506\n"));
    const QByteArray stored = readBytes(f.settingsPath());
    f.form->LoadSettings();
    f.form->open();
    QVERIFY(f.form->isVisible());
    f.form->CheckBoxBeep->setChecked(false);
    f.form->CheckBoxRun->setChecked(true);
    QTest::keyClick(f.form->HotKeyScreensaver, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    QTest::mouseClick(f.form->BitBtn1, Qt::LeftButton);
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.form->result(), int(QDialog::Rejected));
    // The change stays in force for this run ...
    QVERIFY(!f.form->beepEnabled());
    QCOMPARE(int(f.form->screenSaverShortcut()), 49235);
    // ... but nothing was written ...
    QCOMPARE(readBytes(f.settingsPath()), stored);
    QVERIFY(f.autostart.entries.isEmpty());
    // ... so the next start gives the tone again.
    auto next = f.makeForm();
    next->LoadSettings();
    QVERIFY(next->beepEnabled());
    QCOMPARE(int(next->screenSaverShortcut()), 16506);
}

void TestSettings::okWritesAndAccepts() {
    TOptionsFixture f;
    f.form->LoadSettings();
    f.form->open();
    f.form->CheckBoxHistory->setChecked(true);
    QSignalSpy accepted(f.form.get(), &QDialog::accepted);
    QTest::mouseClick(f.form->BitBtnOk, Qt::LeftButton);
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(f.form->result(), int(QDialog::Accepted));
    QVERIFY(!f.form->isVisible());
    QVERIFY(readBytes(f.settingsPath()).contains("\nSaveHistory=1\n"));
    // Box off and no entry: the autostart list is left alone.
    QVERIFY(f.autostart.entries.isEmpty());
    QVERIFY(f.boxes.boxes.isEmpty());
}

void TestSettings::selectSoundFile() {
    TOptionsFixture f;
    QString offered;
    QString answer = QStringLiteral("/usr/share/sounds/ding.wav");
    f.form->setSoundFileChooser([&](QWidget* parent, const QString& current) {
        [&] { QCOMPARE(parent, static_cast<QWidget*>(f.form.get())); }();
        offered = current;
        return answer;
    });
    QTest::mouseClick(f.form->BitBtnSelectSound, Qt::LeftButton);
    QCOMPARE(offered, QStringLiteral("C:\\windows\\Media\\chimes.wav"));
    QCOMPARE(f.form->soundFileName(), answer);
    // Cancelled: the field keeps its text. Nothing is written either way.
    answer.clear();
    f.form->BitBtnSelectSoundClick();
    QCOMPARE(offered, QStringLiteral("/usr/share/sounds/ding.wav"));
    QCOMPARE(f.form->soundFileName(), QStringLiteral("/usr/share/sounds/ding.wav"));
    QVERIFY(!QFileInfo::exists(f.settingsPath()));
}

// ---------------------------------------------------------------- autostart

void TestSettings::autostartShown_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("exact path") << kExe << true;
    QTest::newRow("path in other letter case") << "/OPT/palavero/PALAVERO" << true;
    QTest::newRow("path and an argument") << kExe + " -p 3031" << true;
    QTest::newRow("other case and an argument") << "/opt/palavero/Palavero -f 12" << true;
    QTest::newRow("another path") << "/usr/bin/palavero" << false;
    QTest::newRow("shorter text") << "/opt/Palavero/palaver" << false;
    QTest::newRow("path inside another text") << "env " + kExe << false;
}

void TestSettings::autostartShown() {
    QFETCH(QString, stored);
    QFETCH(bool, ticked);
    QCOMPARE(AutostartRule::showsTicked(stored, kExe), ticked);

    TOptionsFixture f;
    f.autostart.entries[kTitle] = stored;
    f.form->CheckBoxRun->setChecked(!ticked);
    f.form->LoadSettings();
    QCOMPARE(f.form->CheckBoxRun->isChecked(), ticked);
    // Each showing reads the entry again, whatever the box was left at.
    f.form->CheckBoxRun->setChecked(!ticked);
    f.showAndHide();
    QCOMPARE(f.form->CheckBoxRun->isChecked(), ticked);
    QVERIFY(f.boxes.boxes.isEmpty());
    QCOMPARE(f.autostart.entries.value(kTitle), stored);
}

void TestSettings::loadLeavesBoxWhenNoEntry() {
    for (const bool ticked : {false, true}) {
        TOptionsFixture f;
        f.autostart.entries[kTitle] = QString(); // present but empty
        f.form->CheckBoxRun->setChecked(ticked);
        f.form->LoadSettings();
        QCOMPARE(f.form->CheckBoxRun->isChecked(), ticked); // the load leaves it alone
        f.showAndHide();
        QVERIFY(!f.form->CheckBoxRun->isChecked()); // a showing turns it off
    }
}

void TestSettings::autostartOnOk_data() {
    QTest::addColumn<bool>("hasEntry");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("after");

    const QString other = QStringLiteral("/usr/bin/palavero");
    QTest::newRow("ticked, no entry: writes the path")
        << false << QString() << true << false << false << kExe;
    QTest::newRow("ticked overwrites another path unasked")
        << true << other << true << false << false << kExe;
    QTest::newRow("ticked overwrites path and argument")
        << true << kExe + " -p 3031" << true << false << false << kExe;
    QTest::newRow("unticked, empty entry: nothing")
        << true << QString() << false << true << false << QString();
    QTest::newRow("unticked, own path: removed unasked")
        << true << kExe << false << false << false << QString();
    QTest::newRow("unticked, path and argument: removed unasked")
        << true << kExe + " -p 3031" << false << false << false << QString();
    QTest::newRow("unticked, other letter case, No: kept")
        << true << "/OPT/palavero/Palavero" << false << false << true << "/OPT/palavero/Palavero";
    QTest::newRow("unticked, other letter case, Yes: emptied")
        << true << "/OPT/palavero/Palavero" << false << true << true << QString();
    QTest::newRow("unticked, another path, No: kept") << true << other << false << false << true << other;
    QTest::newRow("unticked, another path, Yes: emptied")
        << true << other << false << true << true << QString();
    QTest::newRow("unticked, shorter text, No: kept")
        << true << "/opt/Palavero" << false << false << true << "/opt/Palavero";
}

void TestSettings::autostartOnOk() {
    QFETCH(bool, hasEntry);
    QFETCH(QString, stored);
    QFETCH(bool, tick);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(QString, after);

    TOptionsFixture f;
    if (hasEntry)
        f.autostart.entries[kTitle] = stored;
    f.boxes.answers.enqueue(answer);
    f.form->LoadSettings();
    f.form->open();
    f.form->CheckBoxRun->setChecked(tick);
    QTest::mouseClick(f.form->BitBtnOk, Qt::LeftButton);

    QCOMPARE(f.form->result(), int(QDialog::Accepted));
    QVERIFY(QFileInfo::exists(f.settingsPath())); // the settings are written first
    if (asked) {
        QCOMPARE(f.boxes.boxes.size(), 1);
        const TFakeMessageBoxes::Box& box = f.boxes.boxes.constFirst();
        QVERIFY(box.question);
        QCOMPARE(box.caption, QStringLiteral("Palavero Auto Run"));
        QCOMPARE(box.text,
                 QStringLiteral("Eine Version von Palavero ist bereits für den Autostart konfiguriert: ") +
                     stored + QStringLiteral("\nSoll dieser Eintrag gelöscht werden?"));
    } else {
        QVERIFY(f.boxes.boxes.isEmpty());
    }
    // The value is never deleted, only emptied; with nothing to do nothing is written.
    QCOMPARE(f.autostart.entries.contains(kTitle), hasEntry || tick);
    QCOMPARE(f.autostart.entries.value(kTitle), after);
}

void TestSettings::removedEntryShowsUnticked() {
    TOptionsFixture f;
    f.autostart.entries[kTitle] = QStringLiteral("/usr/bin/palavero");
    f.boxes.answers.enqueue(true);
    f.form->LoadSettings();
    QVERIFY(!f.form->CheckBoxRun->isChecked());
    f.form->open();
    QTest::mouseClick(f.form->BitBtnOk, Qt::LeftButton);
    QCOMPARE(f.boxes.boxes.size(), 1);
    QCOMPARE(f.autostart.entries.value(kTitle, QStringLiteral("missing")), QString());
    // The next showing finds no entry; the box stays off and OK asks nothing.
    f.form->CheckBoxRun->setChecked(true);
    f.form->open();
    QVERIFY(!f.form->CheckBoxRun->isChecked());
    QTest::mouseClick(f.form->BitBtnOk, Qt::LeftButton);
    QCOMPARE(f.boxes.boxes.size(), 1);
}

void TestSettings::autostartWriteFailureIsReported_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("settingsWritable");
    QTest::addColumn<QString>("text");
    const QString saved = QStringLiteral("\nDie übrigen Einstellungen wurden gespeichert.");
    QTest::newRow("entering") << QString() << true << true
                              << QStringLiteral(
                                     "Palavero konnte nicht in den Autostart eingetragen werden.") +
                                     saved;
    QTest::newRow("removing") << kExe << false << true
                              << QStringLiteral(
                                     "Der Autostart-Eintrag von Palavero konnte nicht entfernt werden.") +
                                     saved;
    QTest::newRow("settings not written either")
        << QString() << true << false
        << QStringLiteral("Palavero konnte nicht in den Autostart eingetragen werden.");
}

void TestSettings::autostartWriteFailureIsReported() {
    QFETCH(QString, stored);
    QFETCH(bool, tick);
    QFETCH(bool, settingsWritable);
    QFETCH(QString, text);
    TOptionsFixture f;
    f.autostart.entries[kTitle] = stored;
    f.autostart.failWrites = true;
    if (!settingsWritable) {
        QVERIFY(writeBytes(f.dir.filePath(QStringLiteral("Korvel")), "not a folder"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot create the folder")));
    }
    f.form->LoadSettings();
    f.form->open();
    f.form->CheckBoxRun->setChecked(tick);
    QTest::mouseClick(f.form->BitBtnOk, Qt::LeftButton);
    QCOMPARE(f.boxes.boxes.size(), 1);
    QVERIFY(!f.boxes.boxes.constFirst().question);
    QCOMPARE(f.boxes.boxes.constFirst().icon, IMessageBoxes::Icon::Error);
    QCOMPARE(f.boxes.boxes.constFirst().text, text);
    // The settings were written before; the dialog closes with OK.
    QCOMPARE(QFileInfo::exists(f.settingsPath()), settingsWritable);
    QCOMPARE(f.form->result(), int(QDialog::Accepted));
    QCOMPARE(f.autostart.entries.value(kTitle), stored);
}

void TestSettings::xdgAutostartFile() {
    TXdgAutostart autostart;
    const QString path =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/palavero.desktop");
    QFile::remove(path);
    QCOMPARE(TXdgAutostart::filePath(kTitle), path);
    QCOMPARE(autostart.read(kTitle), QString()); // no file: no entry

    QVERIFY(autostart.write(kTitle, kExe));
    QCOMPARE(readBytes(path), QByteArray("[Desktop Entry]\nType=Application\nName=Palavero Lite\n"
                                         "Exec=/opt/Palavero/palavero\nX-GNOME-Autostart-enabled=true\n"));
    QCOMPARE(autostart.read(kTitle), kExe);

    QVERIFY(autostart.write(kTitle, QString()));
    QVERIFY(QFileInfo::exists(path)); // emptied, not deleted
    QVERIFY(readBytes(path).contains("\nExec=\nHidden=true\n"));
    QCOMPARE(autostart.read(kTitle), QString());

    // A file where the autostart folder should be: the write fails.
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("autostart")), "not a folder"));
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QVERIFY(!autostart.write(kTitle, kExe));
    qputenv("XDG_CONFIG_HOME", saved);
}

void TestSettings::xdgAutostartExecQuoting_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/palavero"
                           << "/usr/bin/palavero";
    QTest::newRow("blank") << "/opt/Palavero Lite/palavero"
                           << "\"/opt/Palavero Lite/palavero\"";
    QTest::newRow("percent") << "/opt/100%/palavero"
                             << "/opt/100%%/palavero";
    QTest::newRow("quote and dollar") << "/opt/a\"b$c/palavero"
                                      << "\"/opt/a\\\\\"b\\\\$c/palavero\"";
    QTest::newRow("backslash") << "/opt/a\\b/palavero"
                               << "\"/opt/a\\\\\\\\b/palavero\"";
    QTest::newRow("umlaut") << "/home/jörg/palavero"
                            << "/home/jörg/palavero";
}

void TestSettings::xdgAutostartExecQuoting() {
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QCOMPARE(TXdgAutostart::execValue(program), exec);
    QCOMPARE(TXdgAutostart::commandOfExec(exec), program);
    TXdgAutostart autostart;
    QVERIFY(autostart.write(kTitle, program));
    QCOMPARE(autostart.read(kTitle), program);
    QVERIFY(readBytes(TXdgAutostart::filePath(kTitle)).contains("\nExec=" + exec.toUtf8() + "\n"));
}

void TestSettings::xdgAutostartReadsForeignFiles_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("command");
    QTest::newRow("arguments kept")
        << QByteArray("[Desktop Entry]\nType=Application\nExec=/opt/Palavero/palavero -p 3031\n")
        << "/opt/Palavero/palavero -p 3031";
    QTest::newRow("quoted program and arguments")
        << QByteArray("[Desktop Entry]\nExec=\"/opt/Palavero Lite/palavero\" -p 3031\n")
        << "/opt/Palavero Lite/palavero -p 3031";
    QTest::newRow("blanks around =") << QByteArray("[Desktop Entry]\nExec = /usr/bin/palavero\n")
                                     << "/usr/bin/palavero";
    QTest::newRow("Exec of another group")
        << QByteArray("[Desktop Entry]\nName=x\n[Desktop Action New]\nExec=/x\n") << QString();
    QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=/usr/bin/palavero\nHidden=true\n")
                            << QString();
    QTest::newRow("disabled in GNOME")
        << QByteArray("[Desktop Entry]\nExec=/usr/bin/palavero\nX-GNOME-Autostart-enabled=false\n")
        << QString();
    QTest::newRow("comment") << QByteArray("[Desktop Entry]\n#Exec=/x\nExec=/y\n") << "/y";
}

void TestSettings::xdgAutostartReadsForeignFiles() {
    QFETCH(QByteArray, file);
    QFETCH(QString, command);
    QVERIFY(writeBytes(TXdgAutostart::filePath(kTitle), file));
    QCOMPARE(TXdgAutostart().read(kTitle), command);
}

void TestSettings::dialogWithRealAutostart() {
    TXdgAutostart autostart;
    TFakeMessageBoxes boxes;
    QTemporaryDir dir;
    const QString exe = QStringLiteral("/opt/Palavero Lite/Palavero.bin");
    QVERIFY(autostart.write(QStringLiteral("Palavero"), QString()));
    TFormOptions form(autostart, boxes, exe, nullptr, dir.filePath(QStringLiteral("Palavero.conf")));
    form.LoadSettings();
    form.open();
    QVERIFY(!form.CheckBoxRun->isChecked());
    form.CheckBoxRun->setChecked(true);
    QTest::mouseClick(form.BitBtnOk, Qt::LeftButton);
    QVERIFY(readBytes(TXdgAutostart::filePath(QStringLiteral("Palavero")))
                .contains("\nExec=\"/opt/Palavero Lite/Palavero.bin\"\n"));
    form.open();
    QVERIFY(form.CheckBoxRun->isChecked());
    form.CheckBoxRun->setChecked(false);
    QTest::mouseClick(form.BitBtnOk, Qt::LeftButton);
    QCOMPARE(autostart.read(QStringLiteral("Palavero")), QString());
    QVERIFY(boxes.boxes.isEmpty());
}

void TestSettings::soundFileFolder_data() {
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("folder");
    const QString temp = QDir::tempPath();
    QTest::newRow("folder of the current file") << temp + QStringLiteral("/klang.wav") << temp;
    QTest::newRow("no file") << QString() << QDir::homePath();
    QTest::newRow("folder gone") << temp + QStringLiteral("/gibt-es-nicht/klang.wav") << QDir::homePath();
    QTest::newRow("design default") << QStringLiteral("C:\\windows\\Media\\chimes.wav") << QDir::homePath();
}

void TestSettings::soundFileFolder() {
    QFETCH(QString, current);
    QFETCH(QString, folder);
    QCOMPARE(TFormOptions::soundFileFolder(current), folder);
}

PALAVERO_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
