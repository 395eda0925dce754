// The X11 hot key and screen saver on a real X server: an Xvfb of its own,
// keys pressed with xdotool, a second X client that holds combinations.

#include "common/TestMain.h"

#include "platform/linux/X11GlobalHotKey.h"
#include "platform/linux/X11ScreenSaver.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr quint16 kAlt = TGlobalHotKey::kModAlt;
constexpr quint16 kCtrl = TGlobalHotKey::kModControl;
constexpr quint16 kShift = TGlobalHotKey::kModShift;

QProcess* gXvfb = nullptr;

// Starts an Xvfb on a free display and makes it this process's display.
// -noreset: the server keeps its state when a short-lived client (xdotool) leaves.
bool startXvfb() {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
        return false;
    gXvfb = new QProcess;
    gXvfb->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                          QStringLiteral("-screen"), QStringLiteral("0"),
                                          QStringLiteral("640x480x24"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!gXvfb->waitForStarted(5000))
        return false;
    QByteArray display;
    while (!display.endsWith('\n') && gXvfb->waitForReadyRead(10000))
        display += gXvfb->readAllStandardOutput();
    display = display.trimmed();
    if (display.isEmpty())
        return false;
    qputenv("DISPLAY", ":" + display);
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

void stopXvfb() {
    if (!gXvfb)
        return;
    gXvfb->terminate();
    if (!gXvfb->waitForFinished(5000))
        gXvfb->kill();
    gXvfb->waitForFinished(5000);
    delete gXvfb;
    gXvfb = nullptr;
}

// Runs an X tool on the test's display; true when it succeeded.
bool xTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (output)
        *output = p.readAllStandardOutput().trimmed();
    return true;
}

bool press(const QString& keys) {
    return xTool(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

// Another X client, on a connection of its own.
class TOtherClient {
public:
    TOtherClient() : FConnection(xcb_connect(nullptr, nullptr)) {
        FRoot = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root;
    }
    ~TOtherClient() { xcb_disconnect(FConnection); }

    quint8 keyCodeOf(quint32 keySym) const {
        const xcb_setup_t* setup = xcb_get_setup(FConnection);
        const quint8 count = quint8(setup->max_keycode - setup->min_keycode + 1);
        xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
            FConnection, xcb_get_keyboard_mapping(FConnection, setup->min_keycode, count), nullptr);
        quint8 code = 0;
        if (reply) {
            const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply);
            for (int key = 0; key < count && code == 0; ++key) {
                if (symbols[key * reply->keysyms_per_keycode] == keySym)
                    code = quint8(setup->min_keycode + key);
            }
            std::free(reply);
        }
        return code;
    }
    // Grabs a key on the root window; true when the server granted it.
    bool grab(quint8 keyCode, quint16 modifiers) {
        xcb_generic_error_t* error = xcb_request_check(
            FConnection, xcb_grab_key_checked(FConnection, 0, FRoot, modifiers, keyCode, XCB_GRAB_MODE_ASYNC,
                                              XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }
    // Waits for a key press on this connection.
    bool receivesKeyPress(int timeoutMs = 5000) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(FConnection)) {
                const bool keyPress = (event->response_type & 0x7F) == XCB_KEY_PRESS;
                std::free(event);
                if (keyPress)
                    return true;
            }
            QTest::qWait(20);
        }
        return false;
    }

private:
    xcb_connection_t* FConnection;
    xcb_window_t FRoot = 0;
};

constexpr quint16 kXControl = XCB_MOD_MASK_CONTROL;
constexpr quint16 kXAlt = XCB_MOD_MASK_1;
constexpr quint16 kXNumLock = XCB_MOD_MASK_2;
constexpr quint32 kKeySymS = 0x73;

} // namespace

class TestX11HotKey : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pressReachesTheProgram_data();
    void pressReachesTheProgram();
    void combinationHeldByAnotherClient();
    void partlyHeldCombinationLeavesNothingGrabbed();
    void unregisteredKeyIsFreeAgain();
    void refusals();
    void screenSaverIsForcedOn();
    void screenSaverWaitsForHeldKeys();

private:
    void setLayout(const QString& layout);
    void setLocks(bool numLock, bool capsLock);
    std::unique_ptr<TX11GlobalHotKey> FHotKey;
    bool FNumLock = false;
    bool FCapsLock = false;
    QString FLayout = QStringLiteral("us");
};

void TestX11HotKey::initTestCase() {
    if (!qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        QSKIP("no X server (Xvfb is not installed)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xdotool is not installed");
}

void TestX11HotKey::init() {
    FHotKey = std::make_unique<TX11GlobalHotKey>();
    QVERIFY(FHotKey->isAvailable());
    // Nothing of all this may print a warning: a refused grab is silent.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
}

void TestX11HotKey::cleanup() {
    FHotKey.reset();
    setLocks(false, false);
    setLayout(QStringLiteral("us"));
}

void TestX11HotKey::setLayout(const QString& layout) {
    if (layout == FLayout)
        return;
    if (!xTool(QStringLiteral("setxkbmap"), {layout}))
        QSKIP("setxkbmap is not installed");
    FLayout = layout;
}

void TestX11HotKey::setLocks(bool numLock, bool capsLock) {
    if (numLock != FNumLock)
        QVERIFY(press(QStringLiteral("Num_Lock")));
    if (capsLock != FCapsLock)
        QVERIFY(press(QStringLiteral("Caps_Lock")));
    FNumLock = numLock;
    FCapsLock = capsLock;
}

void TestX11HotKey::pressReachesTheProgram_data() {
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("virtualKey");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("numLock");
    QTest::addColumn<bool>("capsLock");
    const auto row = [](const char* name, const char* layout, int modifiers, int vk, const char* keys,
                        bool numLock = false, bool capsLock = false) {
        QTest::newRow(name) << QString::fromLatin1(layout) << modifiers << vk << QString::fromLatin1(keys)
                            << numLock << capsLock;
    };
    row("Ctrl+Alt+S", "us", kCtrl | kAlt, 0x53, "ctrl+alt+s");
    row("Ctrl+Alt+S with NumLock", "us", kCtrl | kAlt, 0x53, "ctrl+alt+s", true);
    row("Ctrl+Alt+S with CapsLock", "us", kCtrl | kAlt, 0x53, "ctrl+alt+s", false, true);
    row("Ctrl+Alt+S with NumLock and CapsLock", "us", kCtrl | kAlt, 0x53, "ctrl+alt+s", true, true);
    row("Ctrl+F11", "us", kCtrl, 0x7A, "ctrl+F11");
    row("Ctrl+Insert", "us", kCtrl, 0x2D, "ctrl+Insert");
    row("Shift+F1", "us", kShift, 0x70, "shift+F1");
    row("volume mute", "us", 0, 0xAD, "XF86AudioMute");
    row("Ctrl+Ü on a German keyboard", "de", kCtrl, 0xBA, "ctrl+udiaeresis");
    row("Ctrl+Ö on a German keyboard", "de", kCtrl, 0xC0, "ctrl+odiaeresis");
    row("Ctrl+Alt+ß on a German keyboard", "de", kCtrl | kAlt, 0xDB, "ctrl+alt+ssharp");
    row("Ctrl+# on a German keyboard", "de", kCtrl, 0xBF, "ctrl+numbersign");
    row("Ctrl+´ on a German keyboard", "de", kCtrl, 0xDD, "ctrl+dead_acute");
    row("Ctrl+< on a German keyboard", "de", kCtrl, 0xE2, "ctrl+less");
    row("Ctrl+plus on a German keyboard", "de", kCtrl, 0xBB, "ctrl+plus");
    row("the Ü key on a US keyboard", "us", kCtrl, 0xBA, "ctrl+semicolon");
}

void TestX11HotKey::pressReachesTheProgram() {
    QFETCH(QString, layout);
    QFETCH(int, modifiers);
    QFETCH(int, virtualKey);
    QFETCH(QString, keys);
    QFETCH(bool, numLock);
    QFETCH(bool, capsLock);
    setLayout(layout);
    setLocks(numLock, capsLock);
    QSignalSpy pressed(FHotKey.get(), &TGlobalHotKey::hotKeyPressed);
    QVERIFY(FHotKey->registerHotKey(0xC001, quint16(modifiers), quint8(virtualKey)));
    QVERIFY(press(keys));
    QTRY_COMPARE(pressed.count(), 1);
    QCOMPARE(pressed.at(0).at(0).value<quint16>(), quint16(0xC001));
    // The key with other modifiers is not the hot key.
    QVERIFY(press(QStringLiteral("super+") + keys));
    QTest::qWait(200);
    QCOMPARE(pressed.count(), 1);
}

void TestX11HotKey::combinationHeldByAnotherClient() {
    TOtherClient other;
    const quint8 s = other.keyCodeOf(kKeySymS);
    QVERIFY(s != 0);
    QVERIFY(other.grab(s, kXControl | kXAlt));

    QSignalSpy pressed(FHotKey.get(), &TGlobalHotKey::hotKeyPressed);
    QVERIFY(!FHotKey->registerHotKey(0xC001, kCtrl | kAlt, 0x53));
    // The combination keeps serving the other client.
    QVERIFY(press(QStringLiteral("ctrl+alt+s")));
    QVERIFY(other.receivesKeyPress());
    QCOMPARE(pressed.count(), 0);
}

void TestX11HotKey::partlyHeldCombinationLeavesNothingGrabbed() {
    // Another client holds the combination only with NumLock: the registration
    // fails as a whole and leaves none of its grabs behind.
    TOtherClient other;
    const quint8 s = other.keyCodeOf(kKeySymS);
    QVERIFY(other.grab(s, kXControl | kXAlt | kXNumLock));
    QVERIFY(!FHotKey->registerHotKey(0xC001, kCtrl | kAlt, 0x53));
    QVERIFY(other.grab(s, kXControl | kXAlt));
    QVERIFY(other.grab(s, kXControl | kXAlt | XCB_MOD_MASK_LOCK));
}

void TestX11HotKey::unregisteredKeyIsFreeAgain() {
    QSignalSpy pressed(FHotKey.get(), &TGlobalHotKey::hotKeyPressed);
    QVERIFY(FHotKey->registerHotKey(0xC001, kCtrl | kAlt, 0x53));
    TOtherClient other;
    const quint8 s = other.keyCodeOf(kKeySymS);
    QVERIFY(!other.grab(s, kXControl | kXAlt)); // ours now
    QVERIFY(FHotKey->unregisterHotKey(0xC001));
    QVERIFY(press(QStringLiteral("ctrl+alt+s")));
    QTest::qWait(200);
    QCOMPARE(pressed.count(), 0);
    QVERIFY(other.grab(s, kXControl | kXAlt));
    QVERIFY(other.grab(s, kXControl | kXAlt | kXNumLock | XCB_MOD_MASK_LOCK));
}

void TestX11HotKey::refusals() {
    QVERIFY(FHotKey->registerHotKey(0xC001, kCtrl | kAlt, 0x53));
    QVERIFY(!FHotKey->registerHotKey(0xC001, kCtrl, 0x7A));     // the identifier is in use
    QVERIFY(!FHotKey->registerHotKey(0xC002, kCtrl | kAlt, 0x53)); // the combination is in use
    QVERIFY(!FHotKey->registerHotKey(0xC003, kCtrl, 0xFF));     // no such key
    QVERIFY(!FHotKey->registerHotKey(0xC004, kCtrl, 0));        // no key at all
    QVERIFY(!FHotKey->unregisterHotKey(0xC002));
    QVERIFY(FHotKey->unregisterHotKey(0xC001));
    QVERIFY(!FHotKey->unregisterHotKey(0xC001));
}

bool screenSaverOn() {
    QByteArray state;
    return xTool(QStringLiteral("xssstate"), {QStringLiteral("-s")}, &state) && state == "on";
}

void TestX11HotKey::screenSaverIsForcedOn() {
    if (QStandardPaths::findExecutable(QStringLiteral("xssstate")).isEmpty())
        QSKIP("xssstate is not installed");
    QVERIFY(!screenSaverOn());
    TX11ScreenSaver saver;
    QVERIFY(saver.isAvailable());
    QList<bool> results;
    saver.start([&results](bool started) { results << started; });
    QCOMPARE(results, QList<bool>{true});
    QTRY_VERIFY(screenSaverOn());
    QVERIFY(xTool(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("reset")}));
    QVERIFY(!screenSaverOn());
}

void TestX11HotKey::screenSaverWaitsForHeldKeys() {
    // A key still held (the hot key itself) would end the screen saver as it is
    // released: the chain starts once every key is up.
    if (QStandardPaths::findExecutable(QStringLiteral("xssstate")).isEmpty())
        QSKIP("xssstate is not installed");
    std::vector<std::unique_ptr<IScreenSaverWay>> ways;
    auto x11 = std::make_unique<TX11ScreenSaver>();
    TX11ScreenSaver* keys = x11.get();
    ways.push_back(std::move(x11));
    TScreenSaverChain saver(std::move(ways), [keys] { return keys->keysDown(); });
    QVERIFY(xTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("ctrl+alt")}));
    saver.activate();
    QTest::qWait(300);
    QVERIFY(!screenSaverOn());
    QVERIFY(xTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl+alt")}));
    QTRY_VERIFY(screenSaverOn());
    QCOMPARE(saver.startedBy(), 0);
    QVERIFY(xTool(QStringLiteral("xset"), {QStringLiteral("s"), QStringLiteral("reset")}));
}

int main(int argc, char** argv) {
    TestSupport::isolateUserFolders();
    startXvfb(); // without it the cases skip
    int result = 0;
    {
        QGuiApplication app(argc, argv);
        TestX11HotKey tc;
        QTEST_SET_MAIN_SOURCE_PATH
        result = QTest::qExec(&tc, argc, argv);
    }
    stopXvfb();
    return result;
}

#include "tst_x11hotkey.moc"
