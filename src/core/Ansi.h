#pragma once

#include <QByteArray>
#include <QString>

// The program's 8-bit text is Windows-1252 everywhere (wire, files, log).
// Widgets get UTF-16; these functions are the boundary.
namespace Ansi {

// UTF-16 -> Windows-1252; characters the code page lacks become '?'.
QByteArray fromUnicode(const QString& text);
// Windows-1252 -> UTF-16. The five unassigned bytes map to U+0081 etc.
QString toUnicode(const QByteArray& ansi);

// Wire encodings of a datagram text held as Windows-1252.
// To one computer: ISO-8859-1 (code points above 255 become '?').
QByteArray toWireUnicast(const QByteArray& ansi);
// By broadcast: 7-bit ASCII (code points from 128 up become '?').
QByteArray toWireBroadcast(const QByteArray& ansi);
// Received bytes read as ISO-8859-1, then converted to Windows-1252.
QByteArray fromWire(const QByteArray& wire);

} // namespace Ansi
