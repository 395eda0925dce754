#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The program's text files are Windows-1252 without a mark, unless a file was
// found beginning with a UTF-8, UTF-16 LE or UTF-16 BE byte-order mark: then it
// is read in that encoding and written back in it, with the mark.
namespace ByteOrderMark {

enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The encoding that the file's first bytes announce; Ansi without a mark.
Encoding detect(QByteArrayView bytes);
// The whole file's text: the mark is detected (and reported) and left out;
// a file without one is read as Windows-1252. Bytes that do not form valid
// text in the marked encoding become U+FFFD.
QString decode(QByteArrayView bytes, Encoding* encoding = nullptr);
// The file's bytes for the text: the mark, then the text in that encoding
// (Windows-1252 without a mark for Ansi: characters it lacks become '?').
QByteArray encode(QStringView text, Encoding encoding);

} // namespace ByteOrderMark
