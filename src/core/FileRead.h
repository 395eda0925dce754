#pragma once

#include <QByteArray>
#include <QString>

namespace FileRead {

enum class Status { Read, Missing, Unreadable };

// Reads the whole file at `path`. Only a regular file is read (a folder, a pipe
// or a device is unreadable: reading them could block or never end), and only
// up to `limit` bytes: a larger file is unreadable. On failure `bytes` is
// emptied and `reason`, when given, receives a German text saying why.
Status readAll(const QString& path, qint64 limit, QByteArray* bytes, QString* reason = nullptr);

} // namespace FileRead
