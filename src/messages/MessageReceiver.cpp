#include "messages/MessageReceiver.h"

#include "core/Ansi.h"

#include <QFileInfo>

namespace {
const QByteArray kPartMarker("KVPALAVEROPART");
constexpr qsizetype kMaxPartLength = 300;
const QByteArray kCrLf("\r\n");
} // namespace

TMessageReceiver::TMessageReceiver(IReceiveView& view, const ILiveSettings& settings, ISound& sound,
                                   TMessageLog& log, TMessageState& state)
    : FView(view), FSettings(settings), FSound(sound), FLog(log), FState(state) {}

void TMessageReceiver::ShowReceivedMessage(const QByteArray& payload, const QByteArray& sender) {
    const qsizetype pendingBefore = FState.FPendingText.size();

    if (payload.startsWith(kPartMarker)) {
        const QByteArray part = payload.mid(kPartMarker.size(), kMaxPartLength);
        FState.FPendingText += part;
        FState.FReceivedText += part;
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
        // A failed log write opens a box whose modal loop may handle a further
        // datagram; that inner call finds the pane out of step and sets it whole.
        FLog.AppendToLog(entry);
        FView.setRecipientText(sender);
    }

    updatePane(pendingBefore);
    FView.showMessageView();
    FView.showBalloon(QStringLiteral("Palavero von ") + Ansi::toUnicode(sender));
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
