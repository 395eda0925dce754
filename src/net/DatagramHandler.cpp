#include "net/DatagramHandler.h"

#include "core/Timestamp.h"
#include "net/Datagram.h"

#include <QCoreApplication>

#include <cstring>

namespace {

bool startsWith(QByteArrayView text, const char* keyword) {
    return text.startsWith(QByteArrayView(keyword, qsizetype(std::strlen(keyword))));
}

} // namespace

TDatagramHandler::TDatagramHandler(QObject* parent) : QObject(parent) {}

void TDatagramHandler::setClock(std::function<QDateTime()> clock) {
    FClock = std::move(clock);
}

QString TDatagramHandler::receivedStatus(qsizetype bytes) const {
    QString time;
    if (FClock) {
        time = Timestamp::text(FClock());
    } else {
        // Local time changes only on whole seconds, so the text of this second
        // stays right for every datagram within it.
        const qint64 second = QDateTime::currentSecsSinceEpoch();
        const QLocale locale;
        if (second != FCachedSecond || locale != FCachedLocale) {
            FCachedTime = Timestamp::text(QDateTime::fromSecsSinceEpoch(second));
            FCachedSecond = second;
            FCachedLocale = locale;
            FCachedStatusBytes = -1;
        }
        // A burst of datagrams of one size within one second shares one text.
        if (bytes != FCachedStatusBytes) {
            FCachedStatus = ReceivedStatusText(bytes, FCachedTime);
            FCachedStatusBytes = bytes;
        }
        return FCachedStatus;
    }
    return ReceivedStatusText(bytes, time);
}

QString TDatagramHandler::ReceivedStatusText(qsizetype bytes, const QString& time) {
    return QString::number(bytes) + QLatin1String(" Bytes empfangen ") + time;
}

qsizetype TDatagramHandler::SplitSenderName(const QByteArray& text) {
    const qsizetype colon = text.indexOf(':');
    const qsizetype length = colon > 0 ? colon : 0;
    // Into the buffer of the previous name when nobody else holds it: a stream
    // of datagrams from listed computers allocates nothing here.
    FSenderName.resize(length);
    if (length > 0)
        std::memcpy(FSenderName.data(), text.constData(), size_t(length));
    return length;
}

bool TDatagramHandler::isComputerName(QByteArrayView name) {
    bool onlyDigitsAndDots = true;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 32 || u == 127 || c == ',' || c == '*' || c == '<' || c == '>' || c == '"')
            return false;
        if (c != '.' && (c < '0' || c > '9'))
            onlyDigitsAndDots = false;
    }
    return !name.isEmpty() && !onlyDigitsAndDots;
}

void TDatagramHandler::HandleDatagram(const QByteArray& text) {
    if (FClosing)
        return;
    Q_EMIT statusText(receivedStatus(text.size()));

    const qsizetype nameLength = SplitSenderName(text);
    if (nameLength == 0 || !isComputerName(FSenderName))
        return;
    // A reaction below may let events run and a nested datagram change
    // FSenderName, so the sender travels with each signal.
    const QByteArray sender = FSenderName;
    const QByteArrayView rest = QByteArrayView(text).sliced(nameLength + 1);

    if (startsWith(rest, Datagram::kConnect)) {
        Q_EMIT connectReceived(sender);
    } else if (startsWith(rest, Datagram::kDisconnect)) {
        Q_EMIT disconnectReceived(sender);
    } else if (startsWith(rest, Datagram::kRefresh)) {
        Q_EMIT refreshReceived(sender);
    } else if (startsWith(rest, Datagram::kGroups)) {
        const QByteArray payload = rest.sliced(qsizetype(std::strlen(Datagram::kGroups))).toByteArray();
        if (payload.isEmpty())
            return;
        Q_EMIT groupsReceived(payload);
        QCoreApplication::processEvents();
    } else if (startsWith(rest, Datagram::kData)) {
        const QByteArray payload = rest.sliced(qsizetype(std::strlen(Datagram::kData))).toByteArray();
        if (payload.isEmpty())
            return;
        Q_EMIT dataReceived(payload, sender);
        QCoreApplication::processEvents();
    }
}
