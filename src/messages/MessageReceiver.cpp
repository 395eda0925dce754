#include "messages/MessageReceiver.h"

#include "core/Ansi.h"

#include <QFileInfo>

#include <utility>

namespace {
const QByteArray kPartMarker("KVPALAVEROPART");
constexpr qsizetype kMaxPartLength = 300;
const QByteArray kCrLf("\r\n");

// The first line of a message, as the notice shows it.
QString FirstLine(const QByteArray& text) {
    qsizetype end = text.size();
    for (const char c : {'\r', '\n'}) {
        const qsizetype at = text.indexOf(c);
        if (at >= 0 && at < end)
            end = at;
    }
    return Ansi::toUnicode(text.left(end));
}
} // namespace

TMessageReceiver::TMessageReceiver(IReceiveView& view, const ILiveSettings& settings, ISound& sound,
                                   TMessageLog& log, TMessageState& state)
    : FView(view), FSettings(settings), FSound(sound), FLog(log), FState(state) {
    FFlushTimer.setSingleShot(true);
    QObject::connect(&FFlushTimer, &QTimer::timeout, &FFlushTimer, [this] { flushWhenDue(); });
}

QByteArray TMessageReceiver::OlderDroppedLine() {
    return QByteArrayLiteral("(\xc4ltere Nachrichten wurden ausgeblendet.)");
}

qsizetype TMessageReceiver::dropOldest(QByteArray& text, qsizetype keep, const QByteArray& boundary,
                                       QByteArray* dropped) {
    const QByteArray marker = OlderDroppedLine() + kCrLf;
    const qsizetype room = keep - marker.size();
    if (text.size() <= keep || room <= 0)
        return 0;
    const qsizetype cut = text.size() - room;
    qsizetype from = text.indexOf(boundary, cut);
    if (from < 0) {
        // One message longer than the bound: its newest lines.
        from = text.indexOf('\n', cut);
        from = from < 0 ? cut : from + 1;
    }
    if (dropped)
        *dropped = text.left(from);
    text = marker + text.mid(from);
    return from;
}

void TMessageReceiver::ShowReceivedMessage(const QByteArray& payload, const QByteArray& sender) {
    const qsizetype pendingBefore = FState.FPendingText.size();
    QByteArray text = payload;

    if (payload.startsWith(kPartMarker)) {
        text = payload.mid(kPartMarker.size(), kMaxPartLength);
        FState.FPendingText += text;
        FState.FReceivedText += text;
        notePaneStep(pendingBefore);
        keepBounded();
        FLog.QueueForLog(TMessageLog::ContinuationEntry(text));
    } else {
        if (FSettings.beepEnabled())
            PlayArrivalSignal();
        if (!FState.FPendingText.isEmpty())
            FState.FPendingText += kCrLf + TMessageLog::SeparatorLine() + kCrLf;
        const QByteArray timestamp = FLog.timestampText();
        FState.FPendingText += TMessageLog::MessageBlock(sender, timestamp, payload);
        const QByteArray entry = TMessageLog::ReceivedEntry(sender, timestamp, payload);
        FState.FReceivedText += entry;
        notePaneStep(pendingBefore);
        keepBounded();
        FLog.QueueForLog(entry);
        if (!FView.hasDraft())
            FView.setRecipientText(sender);
    }

    FPendingAfter = FState.FPendingText.size();
    FBalloonTitle = QStringLiteral("Palavero von ") + Ansi::toUnicode(sender);
    FBalloonLine = FirstLine(text);
    // Waiting out the gap only while the flood lasts: the message after it is
    // shown and logged in its own turn, with everything gathered before it.
    if (!FFlushTimer.isActive() || (FFlushTimer.interval() > 0 && !underLoad()))
        FFlushTimer.start(0);
}

void TMessageReceiver::notePaneStep(qsizetype pendingBefore) {
    if (!FGathered) {
        FGathered = true;
        FPaneFrom = pendingBefore;
        FPaneHeadOld.clear();
        if (FPaneShownSize != pendingBefore)
            FPaneShownSize = -1;
    } else if (pendingBefore != FPendingAfter) {
        FPaneShownSize = -1; // the pending text was changed in between
    }
}

void TMessageReceiver::notePaneHeadDropped(const QByteArray& dropped) {
    const qsizetype marker = OlderDroppedLine().size() + kCrLf.size();
    // After an earlier drop in this turn the text begins with the marker line,
    // which stands for FPaneHeadOld already.
    const qsizetype known = FPaneHeadOld.isEmpty() ? 0 : marker;
    if (FPaneShownSize < 0 || dropped.size() > FPaneFrom || dropped.size() < known) {
        FPaneShownSize = -1; // what is dropped was not shown yet: the pane is set anew
        return;
    }
    FPaneHeadOld += dropped.mid(known);
    FPaneFrom += marker - dropped.size();
    FPaneShownSize = FPaneFrom;
}

bool TMessageReceiver::underLoad() const {
    return FUnderLoad && FUnderLoad();
}

void TMessageReceiver::flushWhenDue() {
    if (FSinceFlush.isValid() && underLoad()) {
        const qint64 wait = FFlushGapMs - FSinceFlush.elapsed();
        if (wait > 0) {
            FFlushTimer.start(int(wait));
            return;
        }
    }
    flush();
}

void TMessageReceiver::flush() {
    FFlushTimer.stop();
    if (!FGathered) {
        FLog.FlushLog();
        return;
    }
    if (FState.FPendingText.size() != FPendingAfter)
        FPaneShownSize = -1;
    FGathered = false;
    updatePane();
    FView.showMessageView();
    FView.showBalloon(std::exchange(FBalloonTitle, {}), std::exchange(FBalloonLine, {}));
    // A failed log write opens a box whose modal loop may handle further
    // datagrams; they are gathered and flushed anew inside it.
    FLog.FlushLog();
    FSinceFlush.start();
}

void TMessageReceiver::keepBounded() {
    // In both texts every message but the first begins with its separator line.
    const QByteArray boundary = TMessageLog::SeparatorLine() + kCrLf + "Nachricht von ";
    QByteArray dropped;
    if (FState.FPendingText.size() > kMaxKeptText && dropOldest(FState.FPendingText, kKeptAfterCut, boundary, &dropped))
        notePaneHeadDropped(dropped);
    if (FState.FReceivedText.size() > kMaxKeptText)
        dropOldest(FState.FReceivedText, kKeptAfterCut, boundary);
}

void TMessageReceiver::updatePane() {
    const QByteArray& pending = FState.FPendingText;
    const QByteArray headOld = std::exchange(FPaneHeadOld, {});
    const bool inStep = FPaneShownSize >= 0 && FPaneShownSize == FPaneFrom && pending.size() >= FPaneFrom;
    if (inStep && (headOld.isEmpty() || FView.replacePaneHead(headOld, OlderDroppedLine() + kCrLf))) {
        if (pending.size() > FPaneFrom)
            FView.appendPaneText(pending.mid(FPaneFrom));
    } else {
        FView.setPaneText(pending);
    }
    FPaneShownSize = pending.size();
}

void TMessageReceiver::PlayArrivalSignal() {
    if (!FSettings.beepEnabled())
        return;
    if (!FSound.isPlaying()) {
        QList<TTone> tones;
        for (int i = 0; i < 3; ++i)
            tones.append(TTone{400 + 30 * i, 25});
        FSound.playTones(tones);
    }
    if (FSettings.soundEnabled()) {
        const QString file = FSettings.soundFileName();
        if (!file.isEmpty() && QFileInfo(file).isFile())
            FSound.playFile(file);
    }
}

void TMessageReceiver::paneChanged() {
    FPaneShownSize = -1;
    FPaneHeadOld.clear();
    // The pane now shows what its caller chose (or the window was put away):
    // gathered messages still get their notice, the log entries stay gathered.
    if (FGathered) {
        FGathered = false;
        FView.showBalloon(std::exchange(FBalloonTitle, {}), std::exchange(FBalloonLine, {}));
    }
}

void TMessageReceiver::paneShowsPending() {
    FPaneHeadOld.clear();
    FPaneShownSize = FState.FPendingText.size();
    FPaneFrom = FPaneShownSize;
    FPendingAfter = FPaneShownSize;
}
