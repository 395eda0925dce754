// Handles many data datagrams back to back through the real receive path: the
// receiver, a real message pane in an offscreen application and the log on in a
// temporary folder. Prints the time for 1 000 and 10 000 messages and their ratio
// (about 10 when showing a message costs in proportion to the new text only).
// Each size runs three times; the best wall and CPU times are printed.
// --smoke: 300 messages one per turn, 1 000 a hundred per turn and 50
// continuations, each once; checks the result only (for the test run).

#include "BenchSmoke.h"
#include "messages/MessageLog.h"
#include "messages/MessageReceiver.h"
#include "messages/MessageState.h"
#include "messages/RichEditURL.h"
#include "platform/Desktop.h"
#include "platform/MessageBoxes.h"
#include "platform/Sound.h"
#include "settings/LiveSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

class TQuietBoxes : public IMessageBoxes {
  public:
    int shown = 0;
    void show(const QString&, Icon, const QString&) override { ++shown; }
    bool ask(const QString&, const QString&, Icon) override { return false; }
};

class TNoDesktop : public IDesktop {
  public:
    bool openUrl(const QString&) override { return false; }
    bool openFile(const QString&) override { return false; }
};

class TSilence : public ISound {
  public:
    void playTones(const QList<TTone>&) override {}
    void playFile(const QString&) override {}
    bool isPlaying() const override { return false; }
};

// The main window's part in showing a message: the pane, the recipient box, the window.
class TBenchView : public IReceiveView {
  public:
    explicit TBenchView(TRichEditURL& pane) : FPane(pane) {}
    QByteArray recipient;
    int views = 0;
    void setRecipientText(const QByteArray& sender) override { recipient = sender; }
    bool hasDraft() const override { return false; }
    void setPaneText(const QByteArray& all) override { FPane.setAnsiText(all); }
    void appendPaneText(const QByteArray& added) override { FPane.appendAnsiText(added); }
    bool replacePaneHead(const QByteArray& oldHead, const QByteArray& newHead) override {
        return FPane.replaceAnsiHead(oldHead, newHead);
    }
    void showMessageView() override {
        ++views;
        if (!FPane.isVisible())
            FPane.show();
    }
    bool showBalloon(const QString&, const QString&) override { return false; }

  private:
    TRichEditURL& FPane;
};

struct TRun {
    qint64 ms = 0;
    qint64 cpuMs = 0;
    bool ok = false;
};

// The receive path with the log on in a temporary folder and a real pane.
struct TReceiveRig {
    QTemporaryDir dir;
    TSettingsValues settings = [] {
        TSettingsValues s;
        s.history = true;
        s.beep = false;
        return s;
    }();
    TQuietBoxes boxes;
    TNoDesktop desktop;
    TSilence sound;
    TMessageState state;
    TMessageLog log{settings, boxes, desktop, [this] { return dir.path(); }, state};
    TRichEditURL pane;
    TBenchView view{pane};
    TMessageReceiver receiver{view, settings, sound, log, state};
    TReceiveRig() { pane.resize(600, 400); }
};

// `perTurn` messages arrive in each event-loop turn (a drained receive queue).
TRun run(int count, int perTurn = 1) {
    TReceiveRig rig;
    TMessageState& state = rig.state;
    TMessageLog& log = rig.log;
    TRichEditURL& pane = rig.pane;
    TBenchView& view = rig.view;
    TMessageReceiver& receiver = rig.receiver;
    TQuietBoxes& boxes = rig.boxes;

    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < count; ++i) {
        const QByteArray payload = "Nachricht Nummer " + QByteArray::number(i) +
                                   ", siehe www.example.com/seite" + QByteArray::number(i) + " bitte.";
        receiver.ShowReceivedMessage(payload, "PC-" + QByteArray::number(i % 7));
        if ((i + 1) % perTurn == 0 || i + 1 == count)
            QCoreApplication::processEvents();
    }
    TRun result;
    result.ms = timer.elapsed();
    result.cpuMs = qint64(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC;

    const QString shown = pane.toPlainText();
    const QByteArray logged = [&] {
        QFile f(log.LogFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const QString last = QStringLiteral("Nachricht Nummer %1,").arg(count - 1);
    // The pane and the received text keep the newest messages within their
    // bound (the oldest dropped below a marker line); the log has every one.
    const QByteArray marker = TMessageReceiver::OlderDroppedLine() + "\r\n";
    const QByteArray received =
        state.FReceivedText.startsWith(marker) ? state.FReceivedText.mid(marker.size()) : state.FReceivedText;
    const qsizetype shownCount = shown.count(QStringLiteral("Nachricht von "));
    result.ok = boxes.shown == 0 && view.views == (count + perTurn - 1) / perTurn && shownCount > 0 && shown.contains(last) &&
                logged.count("Nachricht von ") == count && logged.endsWith(received) &&
                pane.links().size() == shownCount;
    return result;
}

// One message, then `count` (at least 20) continuations of 300 characters
// without a blank, all on one line of the pane: the time of each, with the pane
// shown and painted. Returns the mean of the first and of the last 20 in
// microseconds.
std::pair<double, double> continuations(bool* ok, int count = 500) {
    TReceiveRig rig;
    TMessageState& state = rig.state;
    TMessageLog& log = rig.log;
    TRichEditURL& pane = rig.pane;
    TBenchView& view = rig.view;
    TMessageReceiver& receiver = rig.receiver;
    TQuietBoxes& boxes = rig.boxes;
    receiver.ShowReceivedMessage("Anfang", "PC-1");
    QCoreApplication::processEvents();

    QList<qint64> ns;
    QElapsedTimer timer;
    for (int i = 0; i < count; ++i) {
        const QByteArray part = "KVPALAVEROPART" + QByteArray(300, char('a' + i % 26));
        timer.start();
        receiver.ShowReceivedMessage(part, "PC-1");
        QCoreApplication::processEvents();
        ns << timer.nsecsElapsed();
    }
    *ok = pane.shownText().size() > count * 300 && state.FReceivedText.size() > count * 300;
    auto mean = [&](qsizetype from) {
        qint64 sum = 0;
        for (qsizetype i = from; i < from + 20; ++i)
            sum += ns.at(i);
        return double(sum) / 20.0 / 1000.0;
    };
    return {mean(0), mean(count - 20)};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (BenchSmoke::requested()) {
        bool partsOk = false;
        continuations(&partsOk, 50);
        const bool oneByOne = run(300).ok;
        const bool perTurn = run(1000, 100).ok;
        return BenchSmoke::report(oneByOne && perTurn && partsOk, oneByOne && perTurn ? "MISSING TEXT" : "MISSING MESSAGES");
    }
    const bool floodOnly = app.arguments().contains(QStringLiteral("--flood"));

    // A flood: 100 messages handed on per event-loop turn, shown and logged once per turn.
    auto flood = [](int round) {
        const TRun result = run(10000, 100);
        std::printf("flood run %d: %.0f DATA/s shown and logged, 100 per turn (%s; target >= 10000)\n", round,
                    result.ms > 0 ? 10000.0 * 1000.0 / double(result.ms) : 0.0,
                    result.ok ? "all shown and logged" : "MISSING MESSAGES");
        return result.ok;
    };
    if (floodOnly)
        return flood(1) ? 0 : 1;

    // Best of three runs each, so that other load on the machine weighs less.
    auto best = [](int count) {
        TRun result = run(count);
        for (int i = 0; i < 2; ++i) {
            const TRun again = run(count);
            result.ok = result.ok && again.ok;
            result.ms = std::min(result.ms, again.ms);
            result.cpuMs = std::min(result.cpuMs, again.cpuMs);
        }
        return result;
    };
    const TRun small = best(1000);
    const TRun large = best(10000);
    const double ratio = small.ms > 0 ? double(large.ms) / double(small.ms) : 0.0;
    const double cpuRatio = small.cpuMs > 0 ? double(large.cpuMs) / double(small.cpuMs) : 0.0;
    std::printf("receive 1000 messages:  %lld ms wall, %lld ms CPU (%s)\n", static_cast<long long>(small.ms),
                static_cast<long long>(small.cpuMs), small.ok ? "all shown and logged" : "MISSING MESSAGES");
    std::printf("receive 10000 messages: %lld ms wall, %lld ms CPU (%s)\n", static_cast<long long>(large.ms),
                static_cast<long long>(large.cpuMs), large.ok ? "all shown and logged" : "MISSING MESSAGES");
    std::printf("ratio 10000/1000: %.2f wall, %.2f CPU (target <= 11)\n", ratio, cpuRatio);
    bool floodOk = true;
    for (int i = 0; i < 3; ++i)
        floodOk = flood(i + 1) && floodOk;

    // Best of three runs.
    bool partsOk = true;
    double first = 1e18;
    double last = 1e18;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const auto [a, b] = continuations(&ok);
        partsOk = partsOk && ok;
        first = std::min(first, a);
        last = std::min(last, b);
    }
    std::printf("continuations on one line: first 20 %.0f us each, last 20 (to 500) %.0f us each, ratio %.2f "
                "(target <= 2) (%s)\n",
                first, last, last / first, partsOk ? "all shown and logged" : "MISSING TEXT");
    return small.ok && large.ok && floodOk && partsOk ? 0 : 1;
}
