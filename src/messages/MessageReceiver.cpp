#include "messages/MessageReceiver.h"

#include "core/Ansi.h"

#include <QFileInfo>

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
    : FView(view), FSettings(settings), FSound(sound), FLog(log), FState(state) {}

QByteArray TMessageReceiver::OlderDroppedLine() {
    return QByteArrayLiteral("(\xc4ltere Nachrichten wurden ausgeblendet.)");
}

bool TMessageReceiver::dropOldest(QByteArray& text, qsizetype keep, const QByteArray& boundary) {
    const QByteArray marker = OlderDroppedLine() + kCrLf;
    const qsizetype room = keep - marker.size();
    if (text.size() <= keep || room <= 0)
        return false;
    const qsizetype cut = text.size() - room;
    qsizetype from = text.indexOf(boundary, cut);
    if (from < 0) {
        // One message longer than the bound: its newest lines.
        from = text.indexOf('\n', cut);
        from = from < 0 ? cut : from + 1;
    }
    text = marker + text.mid(from);
    return true;
}

void TMessageReceiver::ShowReceivedMessage(const QByteArray& payload, const QByteArray& sender) {
    const qsizetype pendingBefore = FState.FPendingText.size();
    bool paneMustBeSet = false;

    if (payload.startsWith(kPartMarker)) {
        const QByteArray part = payload.mid(kPartMarker.size(), kMaxPartLength);
        FState.FPendingText += part;
        FState.FReceivedText += part;
        paneMustBeSet = keepBounded();
        FLog.AppendToLog(TMessageLog::ContinuationEntry(part));
    } else {
        if (FSettings.beepEnabled())
            PlayArrivalSignal();
        if (!FState.FPendingText.isEmpty())
            FState.FPendingText += kCrLf + TMessageLog::SeparatorLine() + kCrLf;
        const QByteArray timestamp = FLog.timestampText();
        FState.FPendingText += TMessageLog::MessageBlock(sender, timestamp, payload);
        const QByteArray entry = TMessageLog::ReceivedEntry(sender, timestamp, payload);
        FState.FReceivedText += entry;
        paneMustBeSet = keepBounded();
        // A failed log write opens a box whose modal loop may handle a further
        // datagram; that inner call finds the pane out of step and sets it whole.
        FLog.AppendToLog(entry);
        FView.setRecipientText(sender);
    }

    if (paneMustBeSet)
        FPaneShownSize = -1;
    updatePane(pendingBefore);
    FView.showMessageView();
    const QByteArray text = payload.startsWith(kPartMarker) ? payload.mid(kPartMarker.size(), kMaxPartLength) : payload;
    FView.showBalloon(QStringLiteral("Palavero von ") + Ansi::toUnicode(sender), FirstLine(text));
}

bool TMessageReceiver::keepBounded() {
    // In both texts every message but the first begins with its separator line.
    const QByteArray boundary = TMessageLog::SeparatorLine() + kCrLf + "Nachricht von ";
    bool pendingCut = false;
    if (FState.FPendingText.size() > kMaxKeptText)
        pendingCut = dropOldest(FState.FPendingText, kKeptAfterCut, boundary);
    if (FState.FReceivedText.size() > kMaxKeptText)
        dropOldest(FState.FReceivedText, kKeptAfterCut, boundary);
    return pendingCut;
}

void TMessageReceiver::updatePane(qsizetype pendingBefore) {
    const QByteArray& pending = FState.FPendingText;
    if (FPaneShownSize >= 0 && FPaneShownSize == pendingBefore && pending.size() >= pendingBefore) {
        if (pending.size() > pendingBefore)
            FView.appendPaneText(pending.mid(pendingBefore));
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
}

void TMessageReceiver::paneShowsPending() {
    FPaneShownSize = FState.FPendingText.size();
}
