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
    return Ansi::fromUnicode(text(QDateTime::currentDateTime()));
}

} // namespace Timestamp
