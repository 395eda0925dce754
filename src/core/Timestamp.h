#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace Timestamp {

// The locale's short date with a four-digit year, a blank, and the time with
// seconds and without a time zone ("24.11.2014 09:15:02" on a German system).
QString text(const QDateTime& when, const QLocale& locale = QLocale());
// The same for the current local time, as Windows-1252 text.
QByteArray nowAnsi();

} // namespace Timestamp
