#include "common/TestMain.h"

#include "common/Fakes.h"
#include "platform/DatagramQueue.h"
#include "platform/DatagramSocket.h"
#include "platform/linux/CommandScreenSaver.h"
#include "platform/linux/DBusScreenSaver.h"
#include "platform/linux/ScreenSaverChain.h"
#include "platform/linux/LazySound.h"
#include "platform/linux/LocalSocketSingleInstance.h"
#include "platform/linux/LogindSessionMonitor.h"
#include "platform/linux/QtSound.h"
#include "platform/linux/UnixTerminationSignals.h"
#include "platform/linux/X11GlobalHotKey.h"
#include "platform/linux/X11KeySymbols.h"
#include "platform/linux/X11ScreenSaver.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QThread>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <memory>
#include <atomic>
#include <thread>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// One channel of rendered samples as values in [-1, 1].
QList<double> ChannelValues(const QByteArray& data, const QAudioFormat& format, int channel = 0) {
    QList<double> values;
    const int frameBytes = format.bytesPerFrame();
    const int sampleBytes = format.bytesPerSample();
    for (qsizetype pos = qsizetype(channel) * sampleBytes; pos + sampleBytes <= data.size();
         pos += frameBytes)
        values << double(format.normalizedSampleValue(data.constData() + pos));
    return values;
}

QAudioFormat Format(int rate, int channels, QAudioFormat::SampleFormat sampleFormat) {
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleFormat(sampleFormat);
    return format;
}

int ZeroCrossings(const QList<double>& values) {
    int crossings = 0;
    for (qsizetype i = 1; i < values.size(); ++i)
        if ((values[i - 1] < 0) != (values[i] < 0))
            ++crossings;
    return crossings;
}

// Leaves a socket file at path that nobody listens on, as a killed instance would.
bool LeaveDeadSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(addr.sun_path, native.constData(), std::min<size_t>(native.size(), sizeof addr.sun_path - 1));
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// Has a child process listen on path and kills it with SIGKILL, so that the
// socket file stays behind.
bool LeaveSocketOfKilledProcess(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, native.constData(),
                    std::min<size_t>(native.size(), sizeof addr.sun_path - 1));
        char ok = (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ::listen(fd, 4) == 0);
        (void)!::write(ready[1], &ok, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char ok = 0;
    const bool got = ::read(ready[0], &ok, 1) == 1;
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return got && ok;
}

volatile sig_atomic_t gPreviousHandlerCalls = 0;
extern "C" void CountingHandler(int) {
    gPreviousHandlerCalls = gPreviousHandlerCalls + 1;
}

// The seven signals of the session monitor, by name.
struct TMonitorSpies {
    explicit TMonitorSpies(TSessionMonitor* m) {
        spies.emplace_back("sessionLocked", std::make_unique<QSignalSpy>(m, &TSessionMonitor::sessionLocked));
        spies.emplace_back("sessionUnlocked",
                           std::make_unique<QSignalSpy>(m, &TSessionMonitor::sessionUnlocked));
        spies.emplace_back("consoleDisconnected",
                           std::make_unique<QSignalSpy>(m, &TSessionMonitor::consoleDisconnected));
        spies.emplace_back("consoleConnected",
                           std::make_unique<QSignalSpy>(m, &TSessionMonitor::consoleConnected));
        spies.emplace_back("suspending", std::make_unique<QSignalSpy>(m, &TSessionMonitor::suspending));
        spies.emplace_back("resumed", std::make_unique<QSignalSpy>(m, &TSessionMonitor::resumed));
        spies.emplace_back("sessionEnding", std::make_unique<QSignalSpy>(m, &TSessionMonitor::sessionEnding));
    }
    int count(const QString& name) const {
        for (const auto& [n, spy] : spies)
            if (n == name)
                return int(spy->count());
        return -1;
    }
    // "name=count" for every signal that fired, for readable failures.
    QString fired() const {
        QStringList parts;
        for (const auto& [n, spy] : spies)
            if (spy->count() > 0)
                parts << QStringLiteral("%1=%2").arg(n).arg(spy->count());
        return parts.join(QLatin1Char(' '));
    }
    std::vector<std::pair<QString, std::unique_ptr<QSignalSpy>>> spies;
};


// The screen saver service of a desktop session, answering SetActive and
// telling of locks with ActiveChanged.
class TScreenSaverService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    bool answer = true;
    QList<bool> calls;
public Q_SLOTS:
    bool SetActive(bool on) {
        calls << on;
        return answer;
    }
Q_SIGNALS:
    void ActiveChanged(bool on);
};

// A keyboard map as the X server gives it, four symbols per key code from 8 on.
X11KeySymbols::TKeyboardMap keyboardMap(const QMap<int, QList<quint32>>& keys) {
    X11KeySymbols::TKeyboardMap map;
    map.minKeyCode = 8;
    map.perKeyCode = 4;
    const int last = keys.isEmpty() ? 8 : keys.lastKey();
    for (int code = 8; code <= last; ++code) {
        QList<quint32> row = keys.value(code);
        row.resize(4);
        map.symbols << row;
    }
    return map;
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    // Tone rendering and output
    void renderTones_data();
    void renderTones();
    void renderTonesEdgeCases();
    void soundNeverBlocksOrHangs();
    void soundModuleLoadedOnFirstSound();
    void soundModuleFoundBesideTheExecutable_data();
    void soundModuleFoundBesideTheExecutable();
    void soundModuleMissingStaysSilent();

    // Datagram queue and socket reader
    void datagramQueueBoundedByMemory();
    void datagramQueueAnnouncesOncePerEmptying();
    void datagramQueueTakesUrgentFirst();
    void datagramSocketReadsWithoutEventLoop();

    // Single instance
    void singleInstanceShowRequest();
    void singleInstanceIgnoresForeignRequests();
    void singleInstanceStaleSocket_data();
    void singleInstanceStaleSocket();
    void singleInstanceSocketIsPrivate();
    void singleInstanceDefaultPath();
    void singleInstanceHandOver_data();
    void singleInstanceHandOver();
    void singleInstanceHandOverWithoutAnswer();

    // Termination signals
    void terminationSignals_data();
    void terminationSignals();
    void terminationSignalsRestorePreviousHandlers();

    // Session monitor against a private bus and a fake logind
    void sessionEvents_data();
    void sessionEvents();
    void sessionEventsFromStandardInput();
    void lockReportedOnce_data();
    void lockReportedOnce();
    void fakeLogindRejectsUnknownCommands();
    void sessionFoundThroughSessionId();
    void powerEventsWithoutSession();
    void unavailableWithoutLogind();
    void unavailableOnUnreachableBus();

    // Hot key and screen saver
    void keySymbolsOfVirtualKeys_data();
    void keySymbolsOfVirtualKeys();
    void keyCodesOnGermanAndUsKeyboards_data();
    void keyCodesOnGermanAndUsKeyboards();
    void hotKeyWithoutX11();
    void atomTable();
    void sessionScreenSaver_data();
    void sessionScreenSaver();
    void screenSaverChain_data();
    void screenSaverChain();
    void screenSaverChainWaitsForHeldKeys();
    void screenSaverCommand_data();
    void screenSaverCommand();

private:
    bool startFakeLogind(const QStringList& args = {});
    void stopFakeLogind();
    QDBusMessage emitCommand(const QString& command);
    // Sends command, then a sentinel command; returns once the sentinel's signal
    // arrived, so that everything the command caused has arrived too.
    bool emitAndSettle(TLogindSessionMonitor& monitor, TMonitorSpies& spies, const QString& command,
                       const QString& expected);

    QTemporaryDir FDir;
    QProcess FBusDaemon;
    std::unique_ptr<QProcess> FFakeLogind;
};

void TestPlatform::initTestCase() {
    QVERIFY(FDir.isValid());
    const QString socket = QDir(FDir.path()).filePath("system_bus_socket");
    FBusDaemon.setProgram(QStringLiteral("dbus-daemon"));
    FBusDaemon.setArguments(
        {QStringLiteral("--config-file=" SYSTEM_BUS_CONF), QStringLiteral("--address=unix:path=") + socket,
         QStringLiteral("--print-address=1"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
    FBusDaemon.start();
    if (!FBusDaemon.waitForStarted(5000))
        QSKIP("dbus-daemon is not installed; the session monitor cases need it");
    QTRY_VERIFY_WITH_TIMEOUT(FBusDaemon.canReadLine() || FBusDaemon.state() != QProcess::Running, 10000);
    const QByteArray address = FBusDaemon.readLine().trimmed();
    QVERIFY2(!address.isEmpty(), FBusDaemon.readAllStandardError().constData());
    // Every QDBusConnection::systemBus() of this process is now the private bus.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    QVERIFY(QDBusConnection::systemBus().isConnected());
}

void TestPlatform::cleanupTestCase() {
    stopFakeLogind();
    if (FBusDaemon.state() != QProcess::NotRunning) {
        FBusDaemon.terminate();
        if (!FBusDaemon.waitForFinished(5000))
            FBusDaemon.kill();
        FBusDaemon.waitForFinished(5000);
    }
}

// --- Tones -----------------------------------------------------------------

void TestPlatform::renderTones_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QAudioFormat::SampleFormat>("sampleFormat");
    QTest::newRow("22050 Hz mono 16 bit") << 22050 << 1 << QAudioFormat::Int16;
    QTest::newRow("48000 Hz stereo float") << 48000 << 2 << QAudioFormat::Float;
    QTest::newRow("44100 Hz stereo 32 bit") << 44100 << 2 << QAudioFormat::Int32;
    QTest::newRow("8000 Hz mono 8 bit") << 8000 << 1 << QAudioFormat::UInt8;
}

// The arrival signal: 400, 430 and 460 Hz, 25 ms each.
void TestPlatform::renderTones() {
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(QAudioFormat::SampleFormat, sampleFormat);
    const QAudioFormat format = Format(rate, channels, sampleFormat);
    const QList<TTone> tones = {{400, 25}, {430, 25}, {460, 25}};
    const QByteArray data = RenderTones(tones, format);

    const qsizetype framesPerTone = qsizetype(rate) * 25 / 1000;
    QCOMPARE(data.size(), 3 * framesPerTone * format.bytesPerFrame());

    // 8-bit samples are coarse, and mapping them to [-1, 1] is off by up to two steps.
    const double quantum = sampleFormat == QAudioFormat::UInt8 ? 0.02 : 1e-4;
    for (int c = 0; c < channels; ++c) {
        const QList<double> values = ChannelValues(data, format, c);
        QCOMPARE(values.size(), 3 * framesPerTone);
        for (int t = 0; t < 3; ++t) {
            const QList<double> tone = values.mid(t * framesPerTone, framesPerTone);
            // A sine of f Hz crosses zero 2 f times a second: 20, 21.5 and 23 times in 25 ms.
            const double expected = 2.0 * tones[t].frequencyHz * 25 / 1000;
            const int crossings = ZeroCrossings(tone);
            QVERIFY2(std::abs(crossings - expected) <= 2.0,
                     qPrintable(QStringLiteral("tone %1: %2 zero crossings").arg(t).arg(crossings)));
            double peak = 0;
            for (double v : tone)
                peak = std::max(peak, std::abs(v));
            QVERIFY2(peak <= 0.5 + quantum, qPrintable(QString::number(peak)));
            QVERIFY2(peak >= 0.45, qPrintable(QString::number(peak)));
            // Faded edges: no click at the start or end of a tone.
            QVERIFY2(std::abs(tone.constFirst()) <= 0.05 + quantum,
                     qPrintable(QString::number(tone.constFirst())));
            QVERIFY2(std::abs(tone.constLast()) <= 0.05 + quantum,
                     qPrintable(QString::number(tone.constLast())));
        }
    }
    if (channels == 2)
        QCOMPARE(ChannelValues(data, format, 0), ChannelValues(data, format, 1));
}

void TestPlatform::renderTonesEdgeCases() {
    const QAudioFormat format = TQtSound::preferredToneFormat();
    QCOMPARE(format.sampleRate(), 22050);
    QCOMPARE(format.channelCount(), 1);
    QCOMPARE(format.sampleFormat(), QAudioFormat::Int16);

    QVERIFY(RenderTones({}, format).isEmpty());
    QVERIFY(RenderTones({{400, 0}}, format).isEmpty());
    QVERIFY(RenderTones({{400, -5}}, format).isEmpty());
    QVERIFY(RenderTones({{400, 25}}, QAudioFormat()).isEmpty());

    // 0 Hz is a pause of the given length.
    const QByteArray silence = RenderTones({{0, 10}}, format);
    QCOMPARE(silence.size(), qsizetype(220 * 2));
    QCOMPARE(silence.count('\0'), silence.size());

    // A tone too short for a full fade still starts and ends quietly.
    const QList<double> blip = ChannelValues(RenderTones({{1000, 1}}, format), format);
    QCOMPARE(blip.size(), 22);
    QVERIFY(std::abs(blip.constFirst()) < 0.01);
    QVERIFY(std::abs(blip.constLast()) < 0.01);
}

// With or without an audio device: playing returns at once, ends by itself and
// never reports an error.
void TestPlatform::soundNeverBlocksOrHangs() {
    TQtSound sound;
    const bool hasDevice = !QMediaDevices::defaultAudioOutput().isNull();
    sound.playTones({{400, 25}, {430, 25}, {460, 25}});
    if (!hasDevice)
        QVERIFY(!sound.isPlaying());
    else
        qInfo() << "audio output" << QMediaDevices::defaultAudioOutput().description()
                << "playing:" << sound.isPlaying();
    // While the signal sounds a new one is ignored; either way it ends by itself.
    sound.playTones({{400, 25}});
    QTRY_VERIFY_WITH_TIMEOUT(!sound.isPlaying(), 10000);

    sound.playTones({});
    QVERIFY(!sound.isPlaying());

    // A real wave file of the arrival signal.
    const QAudioFormat format = TQtSound::preferredToneFormat();
    const QByteArray samples = RenderTones({{400, 25}, {430, 25}, {460, 25}}, format);
    QFile wave(QDir(FDir.path()).filePath("signal.wav"));
    QVERIFY(wave.open(QIODevice::WriteOnly));
    QDataStream header(&wave);
    header.setByteOrder(QDataStream::LittleEndian);
    header.writeRawData("RIFF", 4);
    header << quint32(36 + samples.size());
    header.writeRawData("WAVEfmt ", 8);
    header << quint32(16) << quint16(1) << quint16(1) << quint32(format.sampleRate())
           << quint32(format.sampleRate() * 2) << quint16(2) << quint16(16);
    header.writeRawData("data", 4);
    header << quint32(samples.size());
    header.writeRawData(samples.constData(), int(samples.size()));
    wave.close();
    sound.playFile(wave.fileName());
    sound.playFile(wave.fileName()); // replaces the one playing

    sound.playFile(QDir(FDir.path()).filePath("missing.wav"));
    sound.playFile(QString());
    // A file that is no sound at all.
    QFile junk(QDir(FDir.path()).filePath("junk.wav"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a wave file");
    junk.close();
    sound.playFile(junk.fileName());
    QTest::qWait(50);
    QTRY_VERIFY_WITH_TIMEOUT(!sound.isPlaying(), 10000);
}

// --- Single instance -------------------------------------------------------

void TestPlatform::singleInstanceShowRequest() {
    const QString path = QDir(FDir.path()).filePath("instance.sock");
    TLocalSocketSingleInstance first(path);
    QSignalSpy shown(&first, &TSingleInstance::showRequested);
    QVERIFY(first.tryBecomePrimary());
    QVERIFY(first.isPrimary());
    QVERIFY(first.tryBecomePrimary()); // asking again changes nothing

    TLocalSocketSingleInstance second(path);
    QVERIFY(!second.tryBecomePrimary());
    QVERIFY(!second.isPrimary());
    QVERIFY(second.sendShowRequest());
    QTRY_COMPARE(shown.count(), 1);

    // A third start asks again.
    TLocalSocketSingleInstance third(path);
    QVERIFY(!third.tryBecomePrimary());
    QVERIFY(third.sendShowRequest());
    QTRY_COMPARE(shown.count(), 2);
}

void TestPlatform::singleInstanceIgnoresForeignRequests() {
    const QString path = QDir(FDir.path()).filePath("foreign.sock");
    TLocalSocketSingleInstance first(path);
    QSignalSpy shown(&first, &TSingleInstance::showRequested);
    QVERIFY(first.tryBecomePrimary());

    for (const QByteArray& junk : {QByteArray("HELLO\n"), QByteArray(200, 'x'), QByteArray("SHOW")}) {
        QLocalSocket socket;
        socket.connectToServer(path);
        QVERIFY(socket.waitForConnected(2000));
        socket.write(junk);
        QVERIFY(socket.waitForBytesWritten(2000));
        socket.disconnectFromServer();
    }
    // A real request after the junk: exactly one signal, and only for it.
    TLocalSocketSingleInstance second(path);
    QVERIFY(second.sendShowRequest());
    QTRY_COMPARE(shown.count(), 1);
    QTest::qWait(50);
    QCOMPARE(shown.count(), 1);
}

void TestPlatform::singleInstanceStaleSocket_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("socket file with nobody listening") << 0;
    QTest::newRow("socket of a killed process") << 1;
    QTest::newRow("plain file at the path") << 2;
    QTest::newRow("folder at the path") << 3;
}

void TestPlatform::singleInstanceStaleSocket() {
    QFETCH(int, kind);
    const QString path = QDir(FDir.path()).filePath(QStringLiteral("stale%1.sock").arg(kind));
    switch (kind) {
    case 0:
        QVERIFY(LeaveDeadSocket(path));
        break;
    case 1:
        QVERIFY(LeaveSocketOfKilledProcess(path));
        break;
    case 2: {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        break;
    }
    default:
        QVERIFY(QDir().mkdir(path));
        break;
    }
    QVERIFY(QFileInfo::exists(path));

    TLocalSocketSingleInstance instance(path);
    QSignalSpy shown(&instance, &TSingleInstance::showRequested);
    QVERIFY(instance.tryBecomePrimary());
    // And it really serves: a later start reaches it.
    TLocalSocketSingleInstance later(path);
    QVERIFY(!later.tryBecomePrimary());
    QVERIFY(later.sendShowRequest());
    QTRY_COMPARE(shown.count(), 1);
}

void TestPlatform::singleInstanceSocketIsPrivate() {
    const QString path = QDir(FDir.path()).filePath("private.sock");
    {
        TLocalSocketSingleInstance instance(path);
        QVERIFY(instance.tryBecomePrimary());
        const QFileDevice::Permissions perms = QFileInfo(path).permissions();
        QVERIFY(perms & QFileDevice::WriteOwner);
        QCOMPARE(perms & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                          QFileDevice::WriteOther),
                 QFileDevice::Permissions());
    }
    // The primary instance removes its socket when it ends; the next start is primary.
    QVERIFY(!QFileInfo::exists(path));
    TLocalSocketSingleInstance next(path);
    QVERIFY(next.tryBecomePrimary());
}

void TestPlatform::singleInstanceHandOver_data() {
    QTest::addColumn<bool>("handler");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("error");
    QTest::newRow("sent") << true << true << QString();
    QTest::newRow("not sent, with the reasons") << true << false
                                                << QStringLiteral("Nachricht an PC1 nicht gesendet.\nZweite Zeile.");
    QTest::newRow("an instance that takes no messages")
        << false << false << QStringLiteral("Die laufende Instanz nimmt keine Nachrichten an.");
}

void TestPlatform::singleInstanceHandOver() {
    QFETCH(bool, handler);
    QFETCH(bool, sent);
    QFETCH(QString, error);
    const QString path = QDir(FDir.path()).filePath("handover.sock");

    // Nobody runs: nothing is handed over, and the script sends by itself.
    {
        TLocalSocketSingleInstance script(path);
        QVERIFY(!script.otherInstanceRuns());
        QVERIFY(!script.handOverMessage("PC1", "Hallo").has_value());
    }

    TLocalSocketSingleInstance first(path);
    QVERIFY(first.tryBecomePrimary());
    QVERIFY(!first.otherInstanceRuns());
    QByteArray gotRecipient;
    QByteArray gotText;
    if (handler) {
        first.setMessageHandler([&](const QByteArray& recipient, const QByteArray& text) {
            gotRecipient = recipient;
            gotText = text;
            return TSingleInstance::TMessageReply{sent, error};
        });
    }
    // Windows-1252 bytes with an umlaut and a line break, and the largest text.
    const QByteArray text = "Gr\xfc\xdf" "e\r\n" + QByteArray(8092, 'x');
    std::optional<TSingleInstance::TMessageReply> answer;
    bool otherRuns = false;
    std::atomic<bool> done = false;
    // The script waits for the answer; the instance answers from its event loop.
    std::thread script([&] {
        TLocalSocketSingleInstance second(path);
        otherRuns = second.otherInstanceRuns();
        answer = second.handOverMessage("PC1, <Team>", text);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    script.join();

    QVERIFY(otherRuns);
    QVERIFY(answer.has_value());
    QCOMPARE(answer->sent, sent);
    QCOMPARE(answer->error, error);
    if (handler) {
        QCOMPARE(gotRecipient, QByteArray("PC1, <Team>"));
        QCOMPARE(gotText, text);
    }
}

void TestPlatform::singleInstanceHandOverWithoutAnswer() {
    // Something listens but closes without an answer (an instance that does not
    // know the request): the message counts as not sent.
    const QString path = QDir(FDir.path()).filePath("mute.sock");
    QLocalServer mute;
    QVERIFY(mute.listen(path));
    connect(&mute, &QLocalServer::newConnection, &mute, [&mute] {
        while (QLocalSocket* client = mute.nextPendingConnection())
            client->abort();
    });
    std::optional<TSingleInstance::TMessageReply> answer;
    std::atomic<bool> done = false;
    std::thread script([&] {
        TLocalSocketSingleInstance second(path);
        answer = second.handOverMessage("PC1", "Hallo");
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    script.join();
    QVERIFY(answer.has_value());
    QVERIFY(!answer->sent);
    QVERIFY(answer->error.contains(QStringLiteral("nicht geantwortet")));
}

void TestPlatform::singleInstanceDefaultPath() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QVERIFY(!runtime.isEmpty());
    QCOMPARE(TLocalSocketSingleInstance::defaultSocketPath(),
             QDir(QString::fromLocal8Bit(runtime)).filePath("PALAVERO.MUTEX"));
    TLocalSocketSingleInstance instance;
    QCOMPARE(instance.socketPath(), TLocalSocketSingleInstance::defaultSocketPath());

    // Without a runtime folder: a private folder of the user's in the temporary
    // folder; when another has taken its name, one in the home.
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("TMPDIR", QFile::encodeName(tmp.filePath(QStringLiteral("tmp"))));
    qputenv("HOME", QFile::encodeName(tmp.filePath(QStringLiteral("home"))));
    QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("tmp"))));
    QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("home"))));
    qunsetenv("XDG_RUNTIME_DIR");
    const QString folder = tmp.filePath(QStringLiteral("tmp/palavero-%1").arg(::getuid()));
    // Made by the user with a loose mode: tightened.
    QVERIFY(QDir().mkdir(folder));
    QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
    const QString fallback = TLocalSocketSingleInstance::defaultSocketPath();
    QCOMPARE(fallback, QDir(folder).filePath(QStringLiteral("PALAVERO.MUTEX")));
    QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFileDevice::Permissions());
    // A file squats the name: the home holds the folder.
    QVERIFY(QDir(folder).removeRecursively());
    {
        QFile squatter(folder);
        QVERIFY(squatter.open(QIODevice::WriteOnly));
    }
    const QString home = TLocalSocketSingleInstance::defaultSocketPath();
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", oldTmp);
    qputenv("HOME", oldHome);
    QCOMPARE(home, tmp.filePath(QStringLiteral("home/.cache/palavero-%1/PALAVERO.MUTEX").arg(::getuid())));
    QCOMPARE(QFileInfo(QFileInfo(home).path()).permissions() & 0x0077, QFileDevice::Permissions());
}

// --- Termination signals ---------------------------------------------------

void TestPlatform::terminationSignals_data() {
    QTest::addColumn<int>("signo");
    QTest::addColumn<bool>("byKill");
    QTest::newRow("SIGTERM raised") << int(SIGTERM) << false;
    QTest::newRow("SIGINT raised") << int(SIGINT) << false;
    QTest::newRow("SIGHUP by kill") << int(SIGHUP) << true;
    QTest::newRow("SIGTERM by kill") << int(SIGTERM) << true;
}

void TestPlatform::terminationSignals() {
    QFETCH(int, signo);
    QFETCH(bool, byKill);
    TUnixTerminationSignals signals_;
    QVERIFY(signals_.isActive());
    QSignalSpy requested(&signals_, &TTerminationSignals::terminationRequested);
    if (byKill)
        QCOMPARE(::kill(::getpid(), signo), 0);
    else
        QCOMPARE(::raise(signo), 0);
    // The process lives on and hears of it on its own thread.
    QTRY_COMPARE(requested.count(), 1);
    QCOMPARE(requested.constFirst().constFirst().toInt(), signo);

    // Two in a row give two requests.
    ::raise(signo);
    ::raise(signo);
    QTRY_COMPARE(requested.count(), 3);
}

void TestPlatform::terminationSignalsRestorePreviousHandlers() {
    struct sigaction counting = {};
    counting.sa_handler = CountingHandler;
    sigemptyset(&counting.sa_mask);
    struct sigaction saved = {};
    QCOMPARE(::sigaction(SIGHUP, &counting, &saved), 0);
    gPreviousHandlerCalls = 0;
    {
        TUnixTerminationSignals signals_;
        QSignalSpy requested(&signals_, &TTerminationSignals::terminationRequested);
        // Only one object may own the handlers; a second stays inactive.
        TUnixTerminationSignals second;
        QVERIFY(!second.isActive());
        ::raise(SIGHUP);
        QTRY_COMPARE(requested.count(), 1);
        QCOMPARE(int(gPreviousHandlerCalls), 0);
    }
    ::raise(SIGHUP);
    QCOMPARE(int(gPreviousHandlerCalls), 1);
    ::sigaction(SIGHUP, &saved, nullptr);

    // After the first object is gone a new one takes over again.
    TUnixTerminationSignals again;
    QVERIFY(again.isActive());
}

// --- Session monitor -------------------------------------------------------

bool TestPlatform::startFakeLogind(const QStringList& args) {
    stopFakeLogind();
    FFakeLogind = std::make_unique<QProcess>();
    FFakeLogind->setProgram(QStringLiteral(FAKELOGIND_PATH));
    FFakeLogind->setArguments(args);
    FFakeLogind->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FFakeLogind->start();
    if (!FFakeLogind->waitForStarted(5000))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!FFakeLogind->canReadLine() && FFakeLogind->state() == QProcess::Running &&
           timer.elapsed() < 10000)
        FFakeLogind->waitForReadyRead(200);
    return FFakeLogind->canReadLine() && FFakeLogind->readLine().trimmed() == "ready";
}

void TestPlatform::stopFakeLogind() {
    if (!FFakeLogind)
        return;
    if (FFakeLogind->state() != QProcess::NotRunning) {
        FFakeLogind->write("quit\n");
        if (!FFakeLogind->waitForFinished(5000)) {
            FFakeLogind->kill();
            FFakeLogind->waitForFinished(5000);
        }
    }
    FFakeLogind.reset();
}

QDBusMessage TestPlatform::emitCommand(const QString& command) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/palavero/test/FakeLogind"),
        QStringLiteral("org.palavero.test.FakeLogind"), QStringLiteral("Emit"));
    call << command;
    // The same connection as the monitor's, so its subscriptions are in place first.
    return QDBusConnection::systemBus().call(call, QDBus::Block, 5000);
}

bool TestPlatform::emitAndSettle(TLogindSessionMonitor&, TMonitorSpies& spies, const QString& command,
                                 const QString& expected) {
    const bool sentinelIsShutdown = expected != QLatin1String("sessionEnding");
    const QString sentinel = sentinelIsShutdown ? QStringLiteral("shutdown") : QStringLiteral("sleep 1");
    const QString sentinelSignal =
        sentinelIsShutdown ? QStringLiteral("sessionEnding") : QStringLiteral("suspending");
    const int before = spies.count(sentinelSignal);
    if (emitCommand(command).type() != QDBusMessage::ReplyMessage)
        return false;
    if (emitCommand(sentinel).type() != QDBusMessage::ReplyMessage)
        return false;
    // Signals of one sender arrive in order: after the sentinel's, all is there.
    QElapsedTimer timer;
    timer.start();
    while (spies.count(sentinelSignal) == before && timer.elapsed() < 10000)
        QTest::qWait(10);
    return spies.count(sentinelSignal) > before;
}

void TestPlatform::sessionEvents_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lock") << "lock"
                          << "sessionLocked";
    QTest::newRow("unlock") << "unlock"
                            << "sessionUnlocked";
    QTest::newRow("LockedHint true") << "lockedhint 1"
                                     << "sessionLocked";
    QTest::newRow("LockedHint false") << "lockedhint 0"
                                      << "sessionUnlocked";
    QTest::newRow("console disconnected") << "active 0"
                                          << "consoleDisconnected";
    QTest::newRow("console connected") << "active 1"
                                       << "consoleConnected";
    QTest::newRow("suspend") << "sleep 1"
                             << "suspending";
    QTest::newRow("resume") << "sleep 0"
                            << "resumed";
    QTest::newRow("shutdown") << "shutdown"
                              << "sessionEnding";
}

void TestPlatform::sessionEvents() {
    QFETCH(QString, command);
    QFETCH(QString, expected);
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    QVERIFY(startFakeLogind());

    TLogindSessionMonitor monitor;
    QVERIFY(monitor.isAvailable());
    QTRY_VERIFY_WITH_TIMEOUT(monitor.isLookupFinished(), 10000);
    QVERIFY(monitor.hasSession());
    QCOMPARE(monitor.sessionPath(), QStringLiteral("/org/freedesktop/login1/session/_31"));

    TMonitorSpies spies(&monitor);
    QVERIFY(emitAndSettle(monitor, spies, command, expected));
    QVERIFY2(spies.count(expected) == 1, qPrintable(spies.fired()));
    // Nothing else fired besides the sentinel.
    int others = 0;
    for (const auto& [name, spy] : spies.spies)
        if (name != expected)
            others += int(spy->count());
    QVERIFY2(others == 1, qPrintable(spies.fired()));
}

void TestPlatform::sessionEventsFromStandardInput() {
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    QVERIFY(startFakeLogind());
    TLogindSessionMonitor monitor;
    QTRY_VERIFY_WITH_TIMEOUT(monitor.isLookupFinished(), 10000);
    QVERIFY(monitor.hasSession());
    // Make sure the subscriptions have reached the bus before the fake speaks on its own.
    TMonitorSpies spies(&monitor);
    QVERIFY(emitAndSettle(monitor, spies, QStringLiteral("unlock"), QStringLiteral("sessionUnlocked")));

    FFakeLogind->write("lock\nactive 0\nbogus\n");
    QTRY_COMPARE_WITH_TIMEOUT(spies.count("consoleDisconnected"), 1, 10000);
    QCOMPARE(spies.count("sessionLocked"), 1);
    QTRY_VERIFY_WITH_TIMEOUT(FFakeLogind->canReadLine(), 10000);
    QCOMPARE(FFakeLogind->readLine().trimmed(), QByteArray("done lock"));
}

void TestPlatform::lockReportedOnce_data() {
    QTest::addColumn<QStringList>("steps");
    // Per step: "locked" or "unlocked" for a new report, "" for none.
    QTest::addColumn<QStringList>("reports");
    QTest::newRow("logind signal, then LockedHint")
        << QStringList{"lock", "lockedhint 1", "unlock", "lockedhint 0"}
        << QStringList{"locked", "", "unlocked", ""};
    QTest::newRow("LockedHint, then the screen saver")
        << QStringList{"lockedhint 1", "saver 1", "saver 0", "lockedhint 0"}
        << QStringList{"locked", "", "unlocked", ""};
    QTest::newRow("the screen saver alone, told twice")
        << QStringList{"saver 1", "saver 1", "saver 0", "saver 0", "saver 1"}
        << QStringList{"locked", "", "unlocked", "", "locked"};
    QTest::newRow("all three sources")
        << QStringList{"saver 1", "lock", "lockedhint 1", "unlock", "saver 0", "lockedhint 0", "lockedhint 1"}
        << QStringList{"locked", "", "", "unlocked", "", "", "locked"};
}

// Logind's Lock/Unlock, the session's LockedHint and the session bus's screen
// saver tell of one lock; the monitor reports each lock and unlock once.
void TestPlatform::lockReportedOnce() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, reports);
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    QVERIFY(startFakeLogind());
    // The screen saver on a connection of its own; the private bus serves as session bus too.
    const QString name = QStringLiteral("screensaver-signals");
    QDBusConnection saverBus =
        QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"), name);
    TScreenSaverService desktop;
    QVERIFY(saverBus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &desktop,
                                    QDBusConnection::ExportAllSignals));
    QVERIFY(saverBus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    {
        TLogindSessionMonitor monitor(QDBusConnection::systemBus(), QDBusConnection::systemBus());
        QTRY_VERIFY_WITH_TIMEOUT(monitor.isLookupFinished(), 10000);
        QVERIFY(monitor.hasSession());
        // A call on the monitor's connection: its subscriptions have reached the bus.
        QVERIFY(QDBusConnection::systemBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.ScreenSaver")));
        TMonitorSpies spies(&monitor);
        int locked = 0;
        int unlocked = 0;
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString& step = steps.at(i);
            locked += reports.at(i) == QLatin1String("locked");
            unlocked += reports.at(i) == QLatin1String("unlocked");
            if (step.startsWith(QLatin1String("saver "))) {
                Q_EMIT desktop.ActiveChanged(step.endsWith(QLatin1Char('1')));
                QTRY_VERIFY2_WITH_TIMEOUT(spies.count("sessionLocked") == locked &&
                                              spies.count("sessionUnlocked") == unlocked,
                                          qPrintable(step + QLatin1String(": ") + spies.fired()), 10000);
                QTest::qWait(100); // time for a second report that must not come
            } else {
                QVERIFY(emitAndSettle(monitor, spies, step, QStringLiteral("sessionLocked")));
            }
            QVERIFY2(spies.count("sessionLocked") == locked && spies.count("sessionUnlocked") == unlocked,
                     qPrintable(step + QLatin1String(": ") + spies.fired()));
        }
    }
    saverBus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
    QDBusConnection::disconnectFromBus(name);
}

void TestPlatform::fakeLogindRejectsUnknownCommands() {
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    QVERIFY(startFakeLogind());
    for (const QString& bad : {QStringLiteral("dance"), QStringLiteral("sleep 2"), QStringLiteral("lock now"),
                               QStringLiteral("lockedhint"), QStringLiteral("")}) {
        const QDBusMessage reply = emitCommand(bad);
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    }
    QCOMPARE(emitCommand(QStringLiteral("lock")).type(), QDBusMessage::ReplyMessage);
}

// When the process is outside any session, $XDG_SESSION_ID names the session.
void TestPlatform::sessionFoundThroughSessionId() {
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    QVERIFY(startFakeLogind({QStringLiteral("--no-session-by-pid")}));
    const QByteArray saved = qgetenv("XDG_SESSION_ID");
    qputenv("XDG_SESSION_ID", "31");
    TLogindSessionMonitor monitor;
    QSignalSpy finished(&monitor, &TLogindSessionMonitor::lookupFinished);
    QTRY_VERIFY_WITH_TIMEOUT(monitor.isLookupFinished(), 10000);
    saved.isNull() ? qunsetenv("XDG_SESSION_ID") : qputenv("XDG_SESSION_ID", saved);
    QVERIFY(monitor.hasSession());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.constFirst().constFirst().toBool(), true);

    TMonitorSpies spies(&monitor);
    QVERIFY(emitAndSettle(monitor, spies, QStringLiteral("lock"), QStringLiteral("sessionLocked")));
    QCOMPARE(spies.count("sessionLocked"), 1);
}

// Without the own session, suspend, resume and shutdown still arrive.
void TestPlatform::powerEventsWithoutSession() {
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    QVERIFY(startFakeLogind({QStringLiteral("--no-session-by-pid")}));
    const QByteArray saved = qgetenv("XDG_SESSION_ID");
    qputenv("XDG_SESSION_ID", "99"); // a session logind does not know
    TLogindSessionMonitor monitor;
    QTRY_VERIFY_WITH_TIMEOUT(monitor.isLookupFinished(), 10000);
    saved.isNull() ? qunsetenv("XDG_SESSION_ID") : qputenv("XDG_SESSION_ID", saved);
    QVERIFY(monitor.isAvailable());
    QVERIFY(!monitor.hasSession());

    TMonitorSpies spies(&monitor);
    QVERIFY(emitAndSettle(monitor, spies, QStringLiteral("lock"), QStringLiteral("sessionLocked")));
    QVERIFY(emitAndSettle(monitor, spies, QStringLiteral("sleep 1"), QStringLiteral("suspending")));
    QVERIFY(emitAndSettle(monitor, spies, QStringLiteral("sleep 0"), QStringLiteral("resumed")));
    QCOMPARE(spies.count("sessionLocked"), 0);
    QCOMPARE(spies.count("suspending"), 1);
    QCOMPARE(spies.count("resumed"), 1);
    QCOMPARE(spies.count("sessionEnding"), 3); // the sentinels
}

void TestPlatform::unavailableWithoutLogind() {
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    stopFakeLogind();
    TLogindSessionMonitor monitor;
    QVERIFY(!monitor.isAvailable());
    QVERIFY(monitor.isLookupFinished());
    QVERIFY(!monitor.hasSession());
}

void TestPlatform::unavailableOnUnreachableBus() {
    const QString address = QStringLiteral("unix:path=") + QDir(FDir.path()).filePath("nobody-here");
    const QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("unreachable"));
    QVERIFY(!bus.isConnected());
    {
        TLogindSessionMonitor monitor(bus, bus);
        TMonitorSpies spies(&monitor);
        QVERIFY(!monitor.isAvailable());
        QVERIFY(monitor.isLookupFinished());
        QCoreApplication::processEvents();
        QCOMPARE(spies.fired(), QString());
    }
    {
        // Without a session bus the next way is tried at once.
        TDBusScreenSaver saver(bus, TDBusScreenSaver::desktopServices().first());
        QList<bool> results;
        saver.start([&results](bool started) { results << started; });
        QCOMPARE(results, QList<bool>{false});
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("unreachable"));
}

namespace {
bool audioIsMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia");
}
} // namespace

// The audio module is loaded by the first sound, not before; playing through
// it returns at once, with or without an audio device.
void TestPlatform::soundModuleLoadedOnFirstSound() {
    TLazySound sound({QStringLiteral(SOUND_MODULE_DIR)});
    QVERIFY(!sound.isLoaded());
    QVERIFY(!sound.isPlaying());
    sound.playTones({});
    sound.playFile(QString());
    QVERIFY(!sound.isLoaded()); // nothing to play: nothing loaded
    QElapsedTimer clock;
    clock.start();
    sound.playTones({{400, 25}, {430, 25}, {460, 25}});
    QVERIFY(sound.isLoaded());
    QVERIFY(audioIsMapped());
    sound.playFile(QDir(FDir.path()).filePath(QStringLiteral("missing.wav")));
    QVERIFY(clock.elapsed() < 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!sound.isPlaying(), 5000);
}

// The module is found from the program's own folder, wherever the program
// was installed or unpacked: in a build tree beside it, in an installation in
// lib/palavero beside bin/.
void TestPlatform::soundModuleFoundBesideTheExecutable_data() {
    QTest::addColumn<QString>("executableFolder");
    QTest::addColumn<QString>("moduleFolder");
    QTest::newRow("build tree") << "build" << "build";
    QTest::newRow("installed under /usr") << "usr/bin" << "usr/lib/palavero";
    QTest::newRow("unpacked package") << "unpacked/usr/bin" << "unpacked/usr/lib/palavero";
    QTest::newRow("another prefix") << "opt/pv/bin" << "opt/pv/lib/palavero";
}

void TestPlatform::soundModuleFoundBesideTheExecutable() {
    QFETCH(QString, executableFolder);
    QFETCH(QString, moduleFolder);
    QTemporaryDir root;
    const QDir tree(root.path());
    QVERIFY(tree.mkpath(executableFolder) && tree.mkpath(moduleFolder));
    QVERIFY(QFile::copy(QDir(QStringLiteral(SOUND_MODULE_DIR)).filePath(QStringLiteral("palavero-sound.so")),
                        QDir(tree.filePath(moduleFolder)).filePath(QStringLiteral("palavero-sound.so"))));
    TLazySound sound(TLazySound::foldersBeside(tree.filePath(executableFolder)));
    sound.playTones({{400, 25}});
    QVERIFY(sound.isLoaded());
}

void TestPlatform::soundModuleMissingStaysSilent() {
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^the audio module palavero-sound is missing")));
    TLazySound sound(TLazySound::foldersBeside(FDir.path()));
    QStringList reports;
    sound.setUnavailableReport([&reports](const QString& text) { reports << text; });
    sound.playTones({{400, 25}});
    sound.playTones({{400, 25}}); // tried once, reported once
    sound.playFile(QDir(FDir.path()).filePath(QStringLiteral("signal.wav")));
    QVERIFY(!sound.isLoaded());
    QVERIFY(!sound.isPlaying());
    QCOMPARE(reports, QStringList{QStringLiteral("Kein Ton: Audiomodul fehlt")});
}

// ---------------------------------------------------------------- datagrams

namespace {
std::vector<TReceivedDatagram> datagrams(std::initializer_list<QByteArray> texts) {
    std::vector<TReceivedDatagram> out;
    for (const QByteArray& text : texts)
        out.push_back({text, TIpAddress::localhost()});
    return out;
}

QList<QByteArray> takeAll(TDatagramQueue& queue) {
    QList<QByteArray> out;
    TReceivedDatagram d;
    while (queue.take(d))
        out << d.bytes;
    return out;
}
} // namespace

void TestPlatform::datagramQueueBoundedByMemory() {
    // Room for three datagrams of 100 bytes.
    TDatagramQueue queue(3 * (100 + TDatagramQueue::kOverhead));
    const QByteArray a(100, 'a'), b(100, 'b'), c(100, 'c'), d(100, 'd'), e(10, 'e');
    auto batch = datagrams({a, b, c, d});
    queue.append(batch);
    QVERIFY(batch.empty());
    QCOMPARE(queue.size(), 3);
    QCOMPARE(queue.dropped(), 1u);
    QCOMPARE(queue.bytes(), queue.limit());

    // Taking one makes room for one again: here a small one, then no more.
    TReceivedDatagram first;
    QVERIFY(queue.take(first));
    QCOMPARE(first.bytes, a);
    QCOMPARE(first.sender, TIpAddress::localhost());
    batch = datagrams({e, d});
    queue.append(batch);
    QCOMPARE(queue.dropped(), 2u);
    QVERIFY(queue.take(first));
    batch = datagrams({d});
    queue.append(batch);
    QCOMPARE(queue.dropped(), 2u);
    QCOMPARE(takeAll(queue), (QList<QByteArray>{c, e, d}));
    QCOMPARE(queue.bytes(), 0);

    batch = datagrams({a, b});
    queue.append(batch);
    queue.clear();
    QCOMPARE(queue.size(), 0);
    QCOMPARE(queue.bytes(), 0);
    QCOMPARE(queue.dropped(), 2u); // the count is kept
}

void TestPlatform::datagramQueueTakesUrgentFirst() {
    TDatagramQueue queue;
    queue.setUrgency([](QByteArrayView bytes) { return bytes.startsWith("!"); });
    QSignalSpy arrived(&queue, &TDatagramQueue::arrived);
    auto batch = datagrams({"a1", "!u1", "a2", "!u2"});
    queue.append(batch);
    QCOMPARE(queue.size(), 4);
    TReceivedDatagram d;
    QVERIFY(queue.take(d));
    QCOMPARE(d.bytes, QByteArray("!u1"));
    batch = datagrams({"a3", "!u3"});
    queue.append(batch);
    QCOMPARE(takeAll(queue), (QList<QByteArray>{"!u2", "!u3", "a1", "a2", "a3"}));
    QCOMPARE(queue.bytes(), 0);
    QCOMPARE(arrived.count(), 1);
    // Urgent datagrams count against the same bound, but a full queue drops
    // the newest others to make room for them; only urgent ones left, the
    // urgent newcomer is dropped.
    TDatagramQueue small(2 * (3 + TDatagramQueue::kOverhead));
    small.setUrgency([](QByteArrayView bytes) { return bytes.startsWith("!"); });
    batch = datagrams({"abc", "def", "!uv", "ghi", "!wx", "!yz"});
    small.append(batch);
    QCOMPARE(small.dropped(), 4u);
    QCOMPARE(takeAll(small), (QList<QByteArray>{"!uv", "!wx"}));
    QCOMPARE(small.bytes(), 0);
}

void TestPlatform::datagramQueueAnnouncesOncePerEmptying() {
    TDatagramQueue queue;
    QSignalSpy arrived(&queue, &TDatagramQueue::arrived);
    auto batch = datagrams({"1"});
    queue.append(batch);
    batch = datagrams({"2", "3"});
    queue.append(batch);
    QCOMPARE(arrived.count(), 1); // the consumer has not looked yet
    TReceivedDatagram d;
    QVERIFY(queue.take(d));
    batch = datagrams({"4"});
    queue.append(batch);
    QCOMPARE(arrived.count(), 1); // nor found it empty
    QCOMPARE(takeAll(queue), (QList<QByteArray>{"2", "3", "4"}));
    batch = datagrams({"5"});
    queue.append(batch);
    QCOMPARE(arrived.count(), 2);
    std::vector<TReceivedDatagram> none;
    queue.clear();
    queue.append(none);
    QCOMPARE(arrived.count(), 2); // nothing waits, nothing to announce
    batch = datagrams({"6"});
    queue.append(batch);
    QCOMPARE(arrived.count(), 3);
}

// The reader moves datagrams into the queue on its own thread: this thread runs
// no event loop while they arrive. Empty and oversized datagrams stay behind.
// This thread also takes what waits, as the GUI thread does in a long run of
// datagrams: each one arrives in the queue once and in order.
void TestPlatform::datagramSocketReadsWithoutEventLoop() {
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    TDatagramSocketOptions options;
    options.port = probe.localPort();
    options.maxSize = 1000;
    probe.close();
    TDatagramQueue queue;
    std::unique_ptr<IDatagramSocket> socket = OpenDatagramSocket(options, queue);
    QVERIFY(socket);
    QVERIFY(!OpenDatagramSocket(options, queue)); // the port is not shared

    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    QList<QByteArray> expected;
    constexpr int kCount = 2000;
    for (int i = 0; i < kCount; ++i) {
        const QByteArray text = QByteArray::number(i) + QByteArray(i % 7 * 140, 'x');
        peer.writeDatagram(text, QHostAddress::LocalHost, options.port);
        if (text.size() <= options.maxSize)
            expected << text;
        if (i % 3 == 0)
            socket->takeWaiting();
        if (i % 500 == 0) {
            peer.writeDatagram(QByteArray(), QHostAddress::LocalHost, options.port);
            peer.writeDatagram(QByteArray(options.maxSize + 1, 'z'), QHostAddress::LocalHost, options.port);
        }
        // Paced so that the kernel buffer never overflows, also on a loaded computer.
        if (i % 100 == 99) {
            QElapsedTimer waited;
            waited.start();
            while (queue.size() < expected.size() && waited.elapsed() < 5000)
                QThread::msleep(1);
        }
    }
    QElapsedTimer waited;
    waited.start();
    while (queue.size() < expected.size() && waited.elapsed() < 5000)
        QThread::msleep(1);
    TReceivedDatagram first;
    QVERIFY(queue.take(first));
    QCOMPARE(first.sender, TIpAddress::parse("127.0.0.2"));
    QCOMPARE(QList<QByteArray>{first.bytes} + takeAll(queue), expected);
    QCOMPARE(queue.dropped(), 0u);

    // Sending, and closing with the reader waiting.
    QCOMPARE(socket->send("hello", TIpAddress::parse("127.0.0.2"), peer.localPort()),
             IDatagramSocket::SendResult::Sent);
    QTRY_VERIFY(peer.hasPendingDatagrams());
    QVERIFY(socket->receiveBufferSize() > 0);
    socket.reset();
    QVERIFY(probe.bind(QHostAddress::AnyIPv4, options.port, QAbstractSocket::DontShareAddress));
}

// --- Hot key and screen saver ------------------------------------------------

void TestPlatform::keySymbolsOfVirtualKeys_data() {
    QTest::addColumn<int>("virtualKey");
    QTest::addColumn<QList<quint32>>("symbols");
    QTest::newRow("S") << 0x53 << QList<quint32>{0x73};
    QTest::newRow("7") << 0x37 << QList<quint32>{0x37};
    QTest::newRow("numpad 7") << 0x67 << QList<quint32>{0xffb7};
    QTest::newRow("F11") << 0x7A << QList<quint32>{0xffc8};
    QTest::newRow("F24") << 0x87 << QList<quint32>{0xffd5};
    QTest::newRow("Insert") << 0x2D << QList<quint32>{0xff63};
    QTest::newRow("Ü, then the US semicolon") << 0xBA << QList<quint32>{0xfc, 0x3b};
    QTest::newRow("plus, then the US equal") << 0xBB << QList<quint32>{0x2b, 0x3d};
    QTest::newRow("#, then the US slash") << 0xBF << QList<quint32>{0x23, 0x2f};
    QTest::newRow("Ö, then the US grave") << 0xC0 << QList<quint32>{0xf6, 0x60};
    QTest::newRow("ß, then the US bracket") << 0xDB << QList<quint32>{0xdf, 0x5b};
    QTest::newRow("^ dead or not, then the US backslash") << 0xDC << QList<quint32>{0xfe52, 0x5e, 0x5c};
    QTest::newRow("´ dead or not, then the US bracket") << 0xDD << QList<quint32>{0xfe51, 0xb4, 0x5d};
    QTest::newRow("Ä, then the US apostrophe") << 0xDE << QList<quint32>{0xe4, 0x27};
    QTest::newRow("<") << 0xE2 << QList<quint32>{0x3c};
    QTest::newRow("volume mute") << 0xAD << QList<quint32>{0x1008ff12};
    QTest::newRow("volume down") << 0xAE << QList<quint32>{0x1008ff11};
    QTest::newRow("volume up") << 0xAF << QList<quint32>{0x1008ff13};
    QTest::newRow("play/pause") << 0xB3 << QList<quint32>{0x1008ff14, 0x1008ff31};
    QTest::newRow("browser back") << 0xA6 << QList<quint32>{0x1008ff26};
    QTest::newRow("no key") << 0x00 << QList<quint32>{};
    QTest::newRow("unknown") << 0xFF << QList<quint32>{};
}

void TestPlatform::keySymbolsOfVirtualKeys() {
    QFETCH(int, virtualKey);
    QFETCH(QList<quint32>, symbols);
    QCOMPARE(X11KeySymbols::ofVirtualKey(quint8(virtualKey)), symbols);
}

void TestPlatform::keyCodesOnGermanAndUsKeyboards_data() {
    // Parts of the German and the US keyboard map of an X server (evdev key codes).
    const auto german = keyboardMap({
        {21, {0xfe51, 0xfe50}},               // dead acute, dead grave
        {34, {0xfc, 0xdc}},                   // ü Ü
        {35, {0x2b, 0x2a, 0xfe53}},           // + * dead tilde
        {47, {0xf6, 0xd6}},                   // ö Ö
        {48, {0xe4, 0xc4, 0xfe52}},           // ä Ä, dead circumflex with AltGr
        {49, {0xfe52, 0xb0}},                 // dead circumflex, degree
        {51, {0x23, 0x27}},                   // # '
        {59, {0x2c, 0x3b}},                   // , ;
        {90, {0xff9e, 0xffb0}},               // keypad Insert, keypad 0
        {94, {0x3c, 0x3e, 0x7c}},             // < > |
    });
    const auto us = keyboardMap({
        {21, {0x3d, 0x2b}}, // = +
        {34, {0x5b, 0x7b}}, // [ {
        {47, {0x3b, 0x3a}}, // ; :
        {48, {0x27, 0x22}}, // ' "
        {49, {0x60, 0x7e}}, // ` ~
        {51, {0x5c, 0x7c}}, // \ |
        {59, {0x2c, 0x3c}}, // , <
        {94, {0x3c, 0x3e}}, // < >
    });
    QTest::addColumn<X11KeySymbols::TKeyboardMap>("map");
    QTest::addColumn<int>("virtualKey");
    QTest::addColumn<QList<quint8>>("keyCodes");
    QTest::newRow("German Ü") << german << 0xBA << QList<quint8>{34};
    QTest::newRow("German ^ is the key that has it unshifted") << german << 0xDC << QList<quint8>{49};
    QTest::newRow("German + is not the shifted one of the US layout") << german << 0xBB << QList<quint8>{35};
    QTest::newRow("German #") << german << 0xBF << QList<quint8>{51};
    QTest::newRow("German ´") << german << 0xDD << QList<quint8>{21};
    QTest::newRow("German <") << german << 0xE2 << QList<quint8>{94};
    QTest::newRow("German numpad 0 in the NumLock column") << german << 0x60 << QList<quint8>{90};
    QTest::newRow("US semicolon, not the German Ü") << us << 0xBA << QList<quint8>{47};
    QTest::newRow("US equal for plus") << us << 0xBB << QList<quint8>{21};
    QTest::newRow("US apostrophe for Ä") << us << 0xDE << QList<quint8>{48};
    QTest::newRow("US < key: unshifted wins over the shifted comma") << us << 0xE2 << QList<quint8>{94};
    QTest::newRow("a key the keyboard lacks") << us << 0xAD << QList<quint8>{};
    QTest::newRow("empty map") << X11KeySymbols::TKeyboardMap() << 0x53 << QList<quint8>{};
}

void TestPlatform::keyCodesOnGermanAndUsKeyboards() {
    QFETCH(X11KeySymbols::TKeyboardMap, map);
    QFETCH(int, virtualKey);
    QFETCH(QList<quint8>, keyCodes);
    QCOMPARE(X11KeySymbols::keyCodesOf(X11KeySymbols::ofVirtualKey(quint8(virtualKey)), map), keyCodes);
}

void TestPlatform::hotKeyWithoutX11() {
    // No X11 here (no GUI application): every registration fails, silently.
    TX11GlobalHotKey hotKey;
    QVERIFY(!hotKey.isAvailable());
    QVERIFY(!hotKey.registerHotKey(0xC000, TGlobalHotKey::kModControl, 0x53));
    QVERIFY(!hotKey.unregisterHotKey(0xC000));
    TX11ScreenSaver saver;
    QVERIFY(!saver.isAvailable());
    QVERIFY(!saver.keysDown());
    QList<bool> results;
    saver.start([&results](bool started) { results << started; });
    QCOMPARE(results, QList<bool>{false});
}

void TestPlatform::atomTable() {
    TAtomTable atoms;
    const quint16 first = atoms.add("HotKeyScreenSaver");
    QVERIFY(first >= 0xC000);
    QCOMPARE(atoms.add("HotKeyScreenSaver"), first); // one more use
    const quint16 other = atoms.add("Other");
    QVERIFY(other != first && other >= 0xC000);
    atoms.remove(first);
    QVERIFY(atoms.contains(first));
    atoms.remove(first);
    QVERIFY(!atoms.contains(first));
    QCOMPARE(atoms.add(QByteArray()), quint16(0));
}

namespace {

// Any screen-saver service of a desktop: answers SetActive on every path and
// interface, with a bool (org.freedesktop.ScreenSaver, KDE) or with nothing
// (GNOME, MATE), and keeps the calls.
class TAnyScreenSaverService : public QDBusVirtualObject {
public:
    QVariant answer; // invalid: a reply without arguments
    QStringList calls; // "path interface.member(argument)"
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        calls << QStringLiteral("%1 %2.%3(%4)")
                     .arg(message.path(), message.interface(), message.member(),
                          message.arguments().value(0).toString());
        connection.send(answer.isValid() ? message.createReply(answer) : message.createReply());
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
};

// A way of the chain that answers as it is told: at once or later.
class TFakeWay : public IScreenSaverWay {
public:
    TFakeWay(bool works, bool later, QStringList& log, QString name)
        : FWorks(works), FLater(later), FLog(log), FName(std::move(name)) {}
    void start(std::function<void(bool)> done) override {
        FLog << FName;
        if (FLater)
            QTimer::singleShot(20, [works = FWorks, done] { done(works); });
        else
            done(FWorks);
    }

private:
    bool FWorks;
    bool FLater;
    QStringList& FLog;
    QString FName;
};

} // namespace

void TestPlatform::sessionScreenSaver_data() {
    QTest::addColumn<QString>("service");
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("startedBy");
    const QString freedesktop = QStringLiteral("/org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.SetActive(true)");
    QTest::newRow("org.freedesktop.ScreenSaver") << "org.freedesktop.ScreenSaver" << QVariant(true) << freedesktop << 0;
    QTest::newRow("it refuses: the next way") << "org.freedesktop.ScreenSaver" << QVariant(false) << freedesktop << 6;
    QTest::newRow("GNOME") << "org.gnome.ScreenSaver" << QVariant()
                           << "/org/gnome/ScreenSaver org.gnome.ScreenSaver.SetActive(true)" << 1;
    QTest::newRow("MATE") << "org.mate.ScreenSaver" << QVariant()
                          << "/org/mate/ScreenSaver org.mate.ScreenSaver.SetActive(true)" << 2;
    QTest::newRow("Cinnamon") << "org.cinnamon.ScreenSaver" << QVariant()
                              << "/org/cinnamon/ScreenSaver org.cinnamon.ScreenSaver.SetActive(true)" << 3;
    QTest::newRow("Xfce") << "org.xfce.ScreenSaver" << QVariant()
                          << "/org/xfce/ScreenSaver org.xfce.ScreenSaver.SetActive(true)" << 4;
    QTest::newRow("KDE") << "org.kde.screensaver" << QVariant(true)
                         << "/ScreenSaver org.freedesktop.ScreenSaver.SetActive(true)" << 5;
    QTest::newRow("no service: the next way") << QString() << QVariant() << QString() << 6;
}

// The desktop's screen saver on the session bus, under whichever name the
// desktop gives it; after them comes the next way (here one that works).
void TestPlatform::sessionScreenSaver() {
    QFETCH(QString, service);
    QFETCH(QVariant, answer);
    QFETCH(QString, call);
    QFETCH(int, startedBy);
    if (FBusDaemon.state() != QProcess::Running)
        QSKIP("no private bus");
    // The service on a connection of its own, the caller on the (private) system bus.
    const QString name = QStringLiteral("screensaver-service");
    QDBusConnection serviceBus =
        QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"), name);
    TAnyScreenSaverService desktop;
    desktop.answer = answer;
    if (!service.isEmpty()) {
        QVERIFY(serviceBus.registerVirtualObject(QStringLiteral("/"), &desktop, QDBusConnection::SubPath));
        QVERIFY(serviceBus.registerService(service));
    }
    QStringList log;
    {
        std::vector<std::unique_ptr<IScreenSaverWay>> ways;
        for (const TDBusScreenSaverService& s : TDBusScreenSaver::desktopServices())
            ways.push_back(std::make_unique<TDBusScreenSaver>(QDBusConnection::systemBus(), s));
        ways.push_back(std::make_unique<TFakeWay>(true, false, log, QStringLiteral("next")));
        TScreenSaverChain saver(std::move(ways), nullptr);
        saver.activate();
        QTRY_VERIFY(!saver.isBusy());
        QCOMPARE(saver.startedBy(), startedBy);
        QCOMPARE(desktop.calls, call.isEmpty() ? QStringList() : QStringList{call});
        QCOMPARE(log, startedBy == 6 ? QStringList{QStringLiteral("next")} : QStringList());
    }
    if (!service.isEmpty())
        serviceBus.unregisterService(service);
    QDBusConnection::disconnectFromBus(name);
}

void TestPlatform::screenSaverChain_data() {
    QTest::addColumn<QList<bool>>("works");
    QTest::addColumn<bool>("later");
    QTest::addColumn<QStringList>("tried");
    QTest::addColumn<int>("startedBy");
    const QStringList all{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")};
    for (const bool later : {false, true}) {
        const char* when = later ? "answers later" : "answers at once";
        QTest::addRow("the first works, %s", when) << QList<bool>{true, true, true} << later << all.mid(0, 1) << 0;
        QTest::addRow("the first fails, %s", when) << QList<bool>{false, true, true} << later << all.mid(0, 2) << 1;
        QTest::addRow("only the last works, %s", when) << QList<bool>{false, false, true} << later << all << 2;
        QTest::addRow("none works, %s", when) << QList<bool>{false, false, false} << later << all << -1;
    }
}

// The ways are tried in order until one works; a request while one is under
// way is dropped, and a later one starts again from the first way.
void TestPlatform::screenSaverChain() {
    QFETCH(QList<bool>, works);
    QFETCH(bool, later);
    QFETCH(QStringList, tried);
    QFETCH(int, startedBy);
    QStringList log;
    std::vector<std::unique_ptr<IScreenSaverWay>> ways;
    for (qsizetype i = 0; i < works.size(); ++i)
        ways.push_back(std::make_unique<TFakeWay>(works.at(i), later, log, QString::number(i)));
    TScreenSaverChain saver(std::move(ways), [] { return false; });
    saver.activate();
    const bool underWay = saver.isBusy();
    QVERIFY(underWay || !later);
    saver.activate(); // pressed again: dropped while the first is under way
    QTRY_VERIFY(!saver.isBusy());
    QCOMPARE(log, underWay ? tried : tried + tried);
    QCOMPARE(saver.startedBy(), startedBy);
    log.clear();
    saver.activate();
    QTRY_VERIFY(!saver.isBusy());
    QCOMPARE(log, tried);
}

void TestPlatform::screenSaverChainWaitsForHeldKeys() {
    QStringList log;
    std::vector<std::unique_ptr<IScreenSaverWay>> ways;
    ways.push_back(std::make_unique<TFakeWay>(true, false, log, QStringLiteral("0")));
    bool held = true;
    TScreenSaverChain saver(std::move(ways), [&held] { return held; });
    saver.activate();
    QTest::qWait(4 * TScreenSaverChain::kPollMs);
    QCOMPARE(log, QStringList());
    held = false;
    QTRY_COMPARE(log, QStringList{QStringLiteral("0")});
}

void TestPlatform::screenSaverCommand_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("started");
    QTest::newRow("ends with 0") << "sh" << QStringList{QStringLiteral("-c"), QStringLiteral("exit 0")} << true;
    QTest::newRow("fails (no screen saver runs)") << "sh" << QStringList{QStringLiteral("-c"), QStringLiteral("exit 1")}
                                                   << false;
    QTest::newRow("killed") << "sh" << QStringList{QStringLiteral("-c"), QStringLiteral("kill -9 $$")} << false;
    QTest::newRow("not installed") << "palavero-no-such-program" << QStringList() << false;
}

void TestPlatform::screenSaverCommand() {
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, started);
    TCommandScreenSaver saver(program, arguments);
    QList<bool> results;
    saver.start([&results](bool s) { results << s; });
    QTRY_COMPARE(results, QList<bool>{started});
    QTest::qWait(50);
    QCOMPARE(results.size(), 1);
}

PALAVERO_TEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
