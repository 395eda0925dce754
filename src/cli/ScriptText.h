#pragma once

#include <QByteArray>
#include <QString>

// The text of palavero --send as the message holds it: Windows-1252 with
// CR LF line breaks, as the window's editor gives it.
namespace ScriptText {

// A text given as an argument.
QByteArray fromArgument(const QString& text);
// A text read from standard input (UTF-8); the line break at its end, which
// `echo` and most tools add, is dropped.
QByteArray fromInput(const QByteArray& utf8);

} // namespace ScriptText
