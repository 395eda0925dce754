#pragma once

#include "net/Datagram.h"

#include <QByteArray>
#include <QString>

// The text of palavero --send as the message holds it: Windows-1252 with
// CR LF line breaks, as the window's editor gives it.
namespace ScriptText {

// The most bytes of standard input a message can take: each character of the
// longest text that one datagram carries in up to four bytes of UTF-8, and
// the closing line break.
inline constexpr qsizetype kMaxInputBytes = 4 * Datagram::kMaxTextSize + 2;

// A text given as an argument.
QByteArray fromArgument(const QString& text);
// A text read from standard input (UTF-8); the line break at its end, which
// `echo` and most tools add, is dropped.
QByteArray fromInput(const QByteArray& utf8);

} // namespace ScriptText
