#pragma once

#include <QByteArray>
#include <QString>

namespace FileReplace {

// Writes the bytes to a new file next to `path` and renames it over the old one,
// so that a crash or a full disk never leaves a truncated file. Returns false
// (and leaves the old file whole) on any failure.
bool write(const QString& path, const QByteArray& bytes);

} // namespace FileReplace
