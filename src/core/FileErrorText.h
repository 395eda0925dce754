#pragma once

#include <QFileDevice>
#include <QString>

// German reasons for failed file operations, for the messages the user sees.
namespace FileErrorText {

// The reason for a failure of a file operation on `path`: from the system error
// number when there is one (errno right after the failing call), else from the
// file's error state.
QString reason(int systemError, QFileDevice::FileError error, const QString& path);

// The message of a failure: what failed (ending in ": "), the path in the
// system's notation, and the reason on a line of its own.
QString message(const QString& what, const QString& path, const QString& reason);

} // namespace FileErrorText
