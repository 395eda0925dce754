#pragma once

#include "messages/MessageState.h"
#include "platform/Desktop.h"
#include "platform/MessageBoxes.h"
#include "settings/LiveSettings.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The message log "Palavero.Log" in the data directory and the history commands.
class TMessageLog {
  public:
    TMessageLog(const ILiveSettings& settings, IMessageBoxes& boxes, IDesktop& desktop,
                std::function<QString()> dataDirectory, TMessageState& state);
    // Gathered entries are still written (a failure then shows no box).
    ~TMessageLog();

    // The log file's full path, computed anew on every call.
    QString LogFilePath() const;
    // Appends one entry while "History speichern" is on: open, one write, close.
    // The bytes go to the file unchanged (line breaks stay CR LF). A file that
    // cannot be opened is reported in a box; while that box is open, a further
    // failure shows no second box. A write that fails (a full disk) is cut back
    // to the file's previous size and reported once, until a write succeeds.
    // Entries gathered by QueueForLog go first, in the same append.
    void AppendToLog(const QByteArray& entry);
    // Gathers one entry (while "History speichern" is on) for the next
    // FlushLog or AppendToLog: many entries then cost one append.
    void QueueForLog(const QByteArray& entry);
    // Writes the gathered entries as AppendToLog does; nothing when none.
    void FlushLog();
    // "History": hands the log file to the desktop when it exists.
    void OpenHistory();
    // "History löschen": first question; Yes leads to ClearHistory.
    void ConfirmClearHistory();
    // Second question; Yes deletes the file (failures ignored) and empties FReceivedText.
    void ClearHistory();

    // The timestamp text put into entries and message headers. Replaceable for tests.
    QByteArray timestampText() const;
    void setClock(std::function<QByteArray()> clock);

    // Entry layouts, byte for byte.
    static QByteArray SentEntry(const QByteArray& recipient, const QByteArray& timestamp,
                                const QByteArray& text);
    static QByteArray ReceivedEntry(const QByteArray& sender, const QByteArray& timestamp,
                                    const QByteArray& text);
    static QByteArray ContinuationEntry(const QByteArray& text);
    // "Nachricht von " + sender + " (" + timestamp + ")" CR LF + text.
    static QByteArray MessageBlock(const QByteArray& sender, const QByteArray& timestamp,
                                   const QByteArray& text);
    static QByteArray SeparatorLine(); // 39 underscores

  private:
    void writeEntries(const QByteArray& entries);
    void showError(const QString& text);

    const ILiveSettings& FSettings;
    IMessageBoxes& FBoxes;
    IDesktop& FDesktop;
    std::function<QString()> FDataDirectory;
    TMessageState& FState;
    std::function<QByteArray()> FClock;
    bool FErrorBoxOpen = false;
    bool FWriteFailed = false;
    QByteArray FQueued; // gathered entries not yet written, oldest first
};
