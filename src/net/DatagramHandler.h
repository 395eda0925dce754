#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>

#include <functional>

// Splits a received datagram into sender name, keyword and payload and passes
// it on as a signal per kind. Runs on the GUI thread; may be entered again from
// inside a groups or data reaction, since those let pending events run.
class TDatagramHandler : public QObject {
    Q_OBJECT
  public:
    explicit TDatagramHandler(QObject* parent = nullptr);

    // Windows-1252 text of one datagram (sender address already noted by the endpoint).
    void HandleDatagram(const QByteArray& text);
    // Sets FSenderName to the text before the first ':' (empty when there is no
    // ':' or the text begins with one) and returns its length.
    qsizetype SplitSenderName(const QByteArray& text);
    QByteArray senderName() const { return FSenderName; }
    // True when `name` can be a computer name. A name with ',', '*', '<', '>',
    // '"', a blank or a control character, or one made of digits and dots only,
    // would be read as another recipient (a list, everyone, a group, an address)
    // when the user answers; datagrams that carry one are ignored.
    static bool isComputerName(QByteArrayView name);

    // "12 Bytes empfangen " + time; the longest is that of the largest datagram.
    static QString ReceivedStatusText(qsizetype bytes, const QString& time);

    // While set (the program is ending) datagrams are ignored entirely.
    void setClosing(bool closing) { FClosing = closing; }
    bool closing() const { return FClosing; }

    // The clock of the status text; the current local time unless a test sets another.
    void setClock(std::function<QDateTime()> clock);

  Q_SIGNALS:
    // "12 Bytes empfangen 24.11.2014 09:15:02", for every datagram handled.
    void statusText(const QString& text);
    void connectReceived(const QByteArray& sender);
    void disconnectReceived(const QByteArray& sender);
    void refreshReceived(const QByteArray& sender);
    void groupsReceived(const QByteArray& payload);                         // non-empty payloads only
    void dataReceived(const QByteArray& payload, const QByteArray& sender); // non-empty payloads only

  private:
    QString receivedStatus(qsizetype bytes) const;

    bool FClosing = false;
    QByteArray FSenderName;
    std::function<QDateTime()> FClock; // empty: the current local time
    // The time text of the current second for the current default locale: a
    // burst of datagrams formats (and looks up the local time zone) once.
    mutable qint64 FCachedSecond = -1;
    mutable QLocale FCachedLocale;
    mutable QString FCachedTime;
    mutable qsizetype FCachedStatusBytes = -1;
    mutable QString FCachedStatus;
};
