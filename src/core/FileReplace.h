#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace FileReplace {

// When the running program started.
QDateTime programStart();

// Writes the bytes to a new file next to `path` (named `path` + "." + six
// letters or digits + ".palavero-neu", a name no other program makes) and
// renames it over the old one, so that a crash or a full disk never leaves a
// truncated file. Every write goes straight to the system, so that an error of
// any write, also of the last one, is seen before the rename. Returns false on
// any failure; the old file is then whole and the new one removed, and `reason`
// (when given) says why in a short German text.
bool write(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

// Removes the new files that a replace of `path` left behind when the program
// was killed before its rename: only files of the program's own naming, and
// only those last written before `olderThan` (a replace running at the same
// time keeps its file). Returns how many were removed.
int removeLeftovers(const QString& path, const QDateTime& olderThan = programStart());

} // namespace FileReplace
