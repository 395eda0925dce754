#include "core/FileReplace.h"

#include "core/FileErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace FileReplace {

namespace {

// `error` is the system's error number of the failed step (0 when unknown).
bool fail(QString* reason, int error, QFileDevice::FileError fileError, const QString& path) {
    if (reason)
        *reason = FileErrorText::reason(error, fileError, path);
    return false;
}

// The name of a new file of a replace: the file's name, ".", six letters or digits.
bool isLeftoverName(const QString& name, const QString& fileName) {
    if (name.size() != fileName.size() + 7 || !name.startsWith(fileName) || name.at(fileName.size()) != u'.')
        return false;
    for (qsizetype i = fileName.size() + 1; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    }
    return true;
}

} // namespace

bool write(const QString& path, const QByteArray& bytes, QString* reason) {
    if (QFileInfo(path).isDir())
        return fail(reason, EISDIR, QFileDevice::OpenError, path);
    QSaveFile file(path);
    errno = 0;
    // Unbuffered: a buffered write reports success and leaves the error (a full
    // disk) to the flush at the end, which the rename would not wait for.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(reason, errno, file.error(), path);
    qsizetype done = 0;
    while (done < bytes.size()) {
        errno = 0;
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const int error = errno;
            const QFileDevice::FileError fileError = file.error();
            file.cancelWriting();
            return fail(reason, error, fileError, path);
        }
        done += qsizetype(n);
    }
    if (file.error() != QFileDevice::NoError) {
        const QFileDevice::FileError fileError = file.error();
        file.cancelWriting();
        return fail(reason, 0, fileError, path);
    }
    errno = 0;
    if (!file.commit())
        return fail(reason, errno, file.error(), path);
    return true;
}

int removeLeftovers(const QString& path) {
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    QDir dir = info.absoluteDir();
    int removed = 0;
    const QStringList candidates =
        dir.entryList({fileName + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        if (isLeftoverName(name, fileName) && dir.remove(name))
            ++removed;
    }
    return removed;
}

} // namespace FileReplace
