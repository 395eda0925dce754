#pragma once

#include <QByteArray>
#include <QString>

// The program's 8-bit text is Windows-1252 everywhere (wire, files, log).
// Widgets get UTF-16; these functions are the boundary. Datagrams carry
// these bytes unchanged in both directions.
namespace Ansi {

// UTF-16 -> Windows-1252; characters the code page lacks become '?'.
QByteArray fromUnicode(const QString& text);
// Windows-1252 -> UTF-16. The five unassigned bytes map to U+0081 etc.
QString toUnicode(const QByteArray& ansi);

} // namespace Ansi
