#include "core/FileRead.h"

#include "core/FileErrorText.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>

namespace FileRead {

Status readAll(const QString& path, qint64 limit, QByteArray* bytes, QString* reason) {
    bytes->clear();
    const auto fail = [&](Status status, const QString& why) {
        bytes->clear();
        if (reason)
            *reason = why;
        return status;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(Status::Missing, QStringLiteral("Die Datei existiert nicht."));
    if (info.isDir())
        return fail(Status::Unreadable, FileErrorText::reason(EISDIR, QFileDevice::OpenError, path));
    if (!info.isFile())
        return fail(Status::Unreadable, QStringLiteral("Unter diesem Namen besteht keine gewöhnliche Datei."));
    const QString tooLarge =
        QStringLiteral("Die Datei ist größer als %1 Bytes.").arg(QLocale(QLocale::German).toString(limit));
    if (info.size() > limit)
        return fail(Status::Unreadable, tooLarge);

    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return fail(Status::Unreadable, FileErrorText::reason(errno, file.error(), path));
    errno = 0;
    // One byte more than the size found tells a file that grew past the limit.
    *bytes = file.read(qMin(info.size(), limit) + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(Status::Unreadable, FileErrorText::reason(errno, file.error(), path));
    if (bytes->size() > limit)
        return fail(Status::Unreadable, tooLarge);
    return Status::Read;
}

} // namespace FileRead
