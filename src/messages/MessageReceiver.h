#pragma once

#include "messages/MessageLog.h"
#include "messages/MessageState.h"
#include "platform/Sound.h"
#include "settings/LiveSettings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>

// What the receiver needs from the main window.
class IReceiveView {
  public:
    virtual ~IReceiveView() = default;
    virtual void setRecipientText(const QByteArray& sender) = 0;
    // The editor holds text that has not been sent: its recipient stays.
    virtual bool hasDraft() const = 0;
    virtual void setPaneText(const QByteArray& all) = 0; // replace the pane's whole text
    virtual void
    appendPaneText(const QByteArray& added) = 0;       // the pane already shows the text before `added`
    // The pane's text begins with `oldHead`: put `newHead` in its place, at a
    // cost in proportion to the heads. False when the pane cannot; the receiver
    // then sets the whole text.
    virtual bool replacePaneHead(const QByteArray& oldHead, const QByteArray& newHead) {
        Q_UNUSED(oldHead);
        Q_UNUSED(newHead);
        return false;
    }
    virtual void showMessageView() = 0;                // shown without activation, PanelMsg visible
    // The arrival notice: the title "Palavero von " + sender and the message's
    // first line. False when it could not be shown (no notification service and
    // no tray icon yet).
    virtual bool showBalloon(const QString& title, const QString& firstLine) = 0;
};

// Receiving and showing a DATA payload.
//
// The pending text and the received text each keep at most kMaxKeptText
// bytes: beyond that the oldest whole messages are dropped (down to
// kKeptAfterCut, so that this happens once per a quarter of the bound), and the
// text begins with OlderDroppedLine(). The log keeps everything.
class TMessageReceiver {
  public:
    static constexpr qsizetype kMaxKeptText = 1024 * 1024;
    static constexpr qsizetype kKeptAfterCut = kMaxKeptText * 3 / 4;
    // "(Ältere Nachrichten wurden ausgeblendet.)", Windows-1252.
    static QByteArray OlderDroppedLine();
    // Drops the oldest whole messages of `text` down to at most `keep` bytes,
    // each message beginning with `boundary`; puts OlderDroppedLine() and CR LF
    // before what is kept. With no message beginning in the newest `keep` bytes,
    // the newest bytes from a line start are kept. Returns how many bytes of the
    // old text were dropped (those put in `dropped` when given), 0 when none.
    static qsizetype dropOldest(QByteArray& text, qsizetype keep, const QByteArray& boundary,
                                QByteArray* dropped = nullptr);

    TMessageReceiver(IReceiveView& view, const ILiveSettings& settings, ISound& sound, TMessageLog& log,
                     TMessageState& state);

    // The shortest time between two flushes under load: while datagrams are
    // flooding in, the pane is laid out, the window shown and the log appended
    // to this often at most.
    static constexpr int kFlushGapMs = 25;

    // A whole message, or a continuation ("KVPALAVEROPART" + up to 300 characters)
    // of the message shown last. Reports nothing. The texts, the recipient (the
    // sender, unless the editor holds a draft, whose recipient stays) and
    // the arrival signal are done at once; the pane, the window, the notice and
    // the log entry are gathered and done in the next event-loop turn (flush());
    // while the load test says datagrams are flooding in, once the flush gap
    // since the last flush has passed.
    void ShowReceivedMessage(const QByteArray& payload, const QByteArray& sender);
    // Shows and logs what was gathered: the pane updated once, the window shown,
    // the notice for the newest message, the entries in one append.
    void flush();
    void setLoadTest(std::function<bool()> underLoad) { FUnderLoad = std::move(underLoad); }
    void setFlushGap(int milliseconds) { FFlushGapMs = milliseconds; }
    // Three short tones when "Ton" is on, then the sound file when "Sound" is on too.
    void PlayArrivalSignal();

    // Tell the receiver that something else set the pane's text (e.g. "Eingegangene
    // Nachrichten"): the next message then sets the pane's whole text again.
    void paneChanged();
    // Tell the receiver that the pane now shows exactly FPendingText.
    void paneShowsPending();

  private:
    void flushWhenDue();
    bool underLoad() const;
    void notePaneStep(qsizetype pendingBefore);
    // The pending text lost its first `dropped.size()` bytes to the marker line.
    void notePaneHeadDropped(const QByteArray& dropped);
    void updatePane();
    // Drops the oldest messages of the pending and the received text beyond the bound.
    void keepBounded();

    IReceiveView& FView;
    const ILiveSettings& FSettings;
    ISound& FSound;
    TMessageLog& FLog;
    TMessageState& FState;
    // Size of FPendingText that the pane shows, as a prefix of FPendingText; -1 when unknown.
    // FPendingText only grows by appends here, and is emptied elsewhere, so a size
    // equal to the one at the start of a call means the pane is still in step.
    qsizetype FPaneShownSize = -1;
    // Gathered since the last flush: the pane still shows FPendingText up to
    // FPaneFrom when FPaneShownSize equals it; FPendingText had FPendingAfter
    // bytes after the last message, so a different size means it was changed elsewhere.
    bool FGathered = false;
    qsizetype FPaneFrom = 0;
    qsizetype FPendingAfter = 0;
    // Dropped from the pending text since the last flush while the pane was in
    // step: the pane's text begins with FPaneHeadOld, which becomes the marker line.
    QByteArray FPaneHeadOld;
    QString FBalloonTitle;
    QString FBalloonLine;
    QTimer FFlushTimer;
    QElapsedTimer FSinceFlush;
    int FFlushGapMs = kFlushGapMs;
    std::function<bool()> FUnderLoad;
};
