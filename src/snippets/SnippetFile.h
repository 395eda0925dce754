#pragma once

#include "core/ByteOrderMark.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One snippet: a key (the "Kurztext") and the text it stands for (the "Textbaustein").
struct TSnippet {
    QString key;
    QString text;
    friend bool operator==(const TSnippet&, const TSnippet&) = default;
};

// The snippet file PalaveroTB.ini, and the files that the editor imports and
// exports: a plain list, one snippet per line, key + "=" + text.
//
// Reading (any bytes): a file beginning with a UTF-8, UTF-16 LE or UTF-16 BE
// byte-order mark is read in that encoding, any other as Windows-1252; the text
// ends at its first NUL character; CR LF, LF and CR each end a line (a break at
// the very end opens no further line); the key is everything before the first
// "=", the text everything after it; a line without "=" is a row with an empty
// key and an empty text.
//
// Writing: every row as key + "=" + text + CR LF, in the encoding of the file
// last read (Windows-1252 without a mark, or the marked encoding with its mark).
class TSnippetFile {
  public:
    using Encoding = ByteOrderMark::Encoding;
    enum class LoadStatus { Loaded, Missing, Unreadable };

    // Larger files are not read: no snippet list comes near this size.
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

    QList<TSnippet> rows;
    Encoding encoding = Encoding::Ansi;

    static TSnippetFile fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    // Reads the file at `path`. A missing or unreadable file gives an empty list in
    // Windows-1252; the status tells them apart and `reason` says why in German.
    static TSnippetFile load(const QString& path, LoadStatus* status = nullptr, QString* reason = nullptr);
    // Writes the file through a new file renamed over the old one; false, with a
    // German `reason`, when that fails (the old file then stays as it was).
    bool save(const QString& path, QString* reason = nullptr) const;
};
