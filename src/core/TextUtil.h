#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace TextUtil {

// Removes characters with codes up to 32 (blanks and control characters) from both ends.
QByteArray trim(const QByteArray& text);
QString trim(const QString& text);

// Splits a comma-separated list by the tolerant rule used for recipient lists and
// group member lists: commas separate items, and so does any run of characters
// with codes 1 to 32; such runs around a comma and at the start are skipped; an
// item starting with '"' runs to the closing quote ('""' stands for one quote);
// two commas in a row, or a comma at the very end, give an empty item. A byte 0
// ends the text.
QList<QByteArray> splitDelimited(const QByteArray& text);

} // namespace TextUtil
