#pragma once

#include <QString>
#include <QtTest>

// Store files that must not be read as stores: the same kinds for every reader.
namespace BadFiles {

// The columns "kind" and "reason" and a row for each kind: a folder, a pipe
// (reading would wait for a writer), a link to /dev/zero (it never ends) and a
// regular file larger than `limit` bytes. The reasons are the German texts.
void addRows(qint64 limit);
// Puts the kind of file at `path`; false when it cannot be made.
bool make(const QString& kind, const QString& path, qint64 limit);

} // namespace BadFiles
