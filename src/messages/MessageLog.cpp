#include "messages/MessageLog.h"

#include "core/FileErrorText.h"
#include "core/Timestamp.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <utility>

namespace {
const QByteArray kCrLf("\r\n");
} // namespace

TMessageLog::TMessageLog(const ILiveSettings& settings, IMessageBoxes& boxes, IDesktop& desktop,
                         std::function<QString()> dataDirectory, TMessageState& state)
    : FSettings(settings), FBoxes(boxes), FDesktop(desktop), FDataDirectory(std::move(dataDirectory)),
      FState(state), FClock(&Timestamp::nowAnsi) {}

QString TMessageLog::LogFilePath() const {
    QString dir = FDataDirectory ? FDataDirectory() : QString();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("Palavero.Log");
}

TMessageLog::~TMessageLog() {
    FErrorBoxOpen = true;
    FlushLog();
}

void TMessageLog::AppendToLog(const QByteArray& entry) {
    if (!FSettings.historyEnabled()) {
        FlushLog();
        return;
    }
    writeEntries(std::exchange(FQueued, {}) + entry);
}

void TMessageLog::QueueForLog(const QByteArray& entry) {
    if (FSettings.historyEnabled())
        FQueued += entry;
}

void TMessageLog::FlushLog() {
    // Taken first: a box opened below may let further entries be gathered and flushed.
    if (!FQueued.isEmpty())
        writeEntries(std::exchange(FQueued, {}));
}

void TMessageLog::writeEntries(const QByteArray& entry) {
    const QString path = LogFilePath();
    QFile file(path);
    errno = 0;
    // Unbuffered: an error (a full disk) shows at the write, not at a flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        showError(FileErrorText::message(QStringLiteral("Fehler beim Öffnen der Log-Datei: "), path,
                              FileErrorText::reason(errno, file.error(), path)));
        return;
    }
    const qint64 before = file.size();
    errno = 0;
    if (file.write(entry) == entry.size() && file.error() == QFileDevice::NoError) {
        file.close();
        FWriteFailed = false;
        return;
    }
    // Half an entry would run on into the next one: the file goes back to
    // where it was. Said once until an entry is written again.
    const QString reason = FileErrorText::reason(errno, file.error(), path);
    file.resize(before);
    file.close();
    if (FWriteFailed)
        return;
    FWriteFailed = true;
    showError(FileErrorText::message(QStringLiteral("Fehler beim Schreiben der Log-Datei: "), path, reason));
}


void TMessageLog::showError(const QString& text) {
    // While one box is open (its modal loop may handle further datagrams), a
    // further failure opens no second one.
    if (FErrorBoxOpen)
        return;
    FErrorBoxOpen = true;
    FBoxes.show(text);
    FErrorBoxOpen = false;
}

void TMessageLog::OpenHistory() {
    FlushLog();
    const QString path = LogFilePath();
    if (QFileInfo::exists(path))
        FDesktop.openFile(path);
}

void TMessageLog::ConfirmClearHistory() {
    if (FBoxes.ask(QStringLiteral("History löschen"),
                   QStringLiteral("Alle History-Einträge wirklich löschen?"), IMessageBoxes::Icon::Question))
        ClearHistory();
}

void TMessageLog::ClearHistory() {
    if (!FBoxes.ask(QStringLiteral("History löschen"),
                    QStringLiteral("Soll die History wirklich gelöscht werden?"),
                    IMessageBoxes::Icon::Information))
        return;
    FQueued.clear(); // they would have been written and now deleted
    QFile::remove(LogFilePath());
    FState.FReceivedText.clear();
}

QByteArray TMessageLog::timestampText() const {
    return FClock ? FClock() : Timestamp::nowAnsi();
}

void TMessageLog::setClock(std::function<QByteArray()> clock) {
    FClock = std::move(clock);
}

QByteArray TMessageLog::SentEntry(const QByteArray& recipient, const QByteArray& timestamp,
                                  const QByteArray& text) {
    return QByteArray(37, '*') + kCrLf + "Nachricht an " + recipient + " (" + timestamp + ")" + kCrLf + text +
           kCrLf;
}

QByteArray TMessageLog::ReceivedEntry(const QByteArray& sender, const QByteArray& timestamp,
                                      const QByteArray& text) {
    return SeparatorLine() + kCrLf + MessageBlock(sender, timestamp, text) + kCrLf;
}

QByteArray TMessageLog::ContinuationEntry(const QByteArray& text) {
    return text;
}

QByteArray TMessageLog::MessageBlock(const QByteArray& sender, const QByteArray& timestamp,
                                     const QByteArray& text) {
    return "Nachricht von " + sender + " (" + timestamp + ")" + kCrLf + text;
}

QByteArray TMessageLog::SeparatorLine() {
    return QByteArray(39, '_');
}
