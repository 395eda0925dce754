#include "core/Timestamp.h"

#include "core/Ansi.h"

#include <QRegularExpression>

namespace Timestamp {

QString text(const QDateTime& when, const QLocale& locale) {
    QString date = locale.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy")))
        date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    QString time = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?\\s*"));
    time.replace(zone, QString());
    time = time.trimmed();
    return locale.toString(when.date(), date) + QLatin1Char(' ') + locale.toString(when.time(), time);
}

QByteArray nowAnsi() {
    // Formatting costs more than a short message's layout: done once a second.
    thread_local qint64 second = -1;
    thread_local QLocale locale;
    thread_local QByteArray formatted;
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 at = now.toSecsSinceEpoch();
    if (at != second || locale != QLocale()) {
        locale = QLocale();
        formatted = Ansi::fromUnicode(text(now, locale));
        second = at;
    }
    return formatted;
}

} // namespace Timestamp
