#include "snippets/SnippetFile.h"

#include "core/FileRead.h"
#include "core/FileReplace.h"

namespace {

bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

TSnippet rowOf(QStringView line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    return {line.left(eq).toString(), line.mid(eq + 1).toString()};
}

} // namespace

TSnippetFile TSnippetFile::fromBytes(const QByteArray& bytes) {
    TSnippetFile file;
    const QString decoded = ByteOrderMark::decode(bytes, &file.encoding);
    QStringView text(decoded);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);

    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && !isLineEnd(text.at(end)))
            ++end;
        file.rows.append(rowOf(text.sliced(pos, end - pos)));
        // CR LF is one break; a lone CR or LF is one too.
        pos = end + 1;
        if (end < n && text.at(end) == QLatin1Char('\r') && pos < n && text.at(pos) == QLatin1Char('\n'))
            ++pos;
    }
    return file;
}

QByteArray TSnippetFile::toBytes() const {
    QString text;
    qsizetype size = 0;
    for (const TSnippet& row : rows)
        size += row.key.size() + row.text.size() + 3;
    text.reserve(size);
    for (const TSnippet& row : rows) {
        text += row.key;
        text += QLatin1Char('=');
        text += row.text;
        text += QLatin1String("\r\n");
    }
    return ByteOrderMark::encode(text, encoding);
}

TSnippetFile TSnippetFile::load(const QString& path, LoadStatus* status, QString* reason) {
    QByteArray bytes;
    switch (FileRead::readAll(path, kMaxFileSize, &bytes, reason)) {
    case FileRead::Status::Read:
        break;
    case FileRead::Status::Missing:
        if (status)
            *status = LoadStatus::Missing;
        return {};
    case FileRead::Status::Unreadable:
        if (status)
            *status = LoadStatus::Unreadable;
        return {};
    }
    if (status)
        *status = LoadStatus::Loaded;
    return fromBytes(bytes);
}

bool TSnippetFile::save(const QString& path, QString* reason) const {
    return FileReplace::write(path, toBytes(), reason);
}
