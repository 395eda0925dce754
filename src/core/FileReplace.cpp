#include "core/FileReplace.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace FileReplace {

namespace {

// A German text for the system's error number; the file's own error text
// where there is none of ours.
QString reasonText(int error, const QString& fallback) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert.");
    case ENOSPC:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei.");
    case EFBIG:
        return QStringLiteral("Die Datei ist zu groß für den Datenträger.");
    case EDQUOT:
        return QStringLiteral("Das Speicherkontingent ist erschöpft.");
    case EROFS:
        return QStringLiteral("Das Dateisystem ist schreibgeschützt.");
    case ENOENT:
        return QStringLiteral("Der Ordner existiert nicht.");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
    case EISDIR:
        return QStringLiteral("Unter diesem Namen besteht ein Ordner.");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler des Datenträgers.");
    default:
        break;
    }
    return fallback.isEmpty() ? QStringLiteral("Unbekannter Fehler.") : fallback;
}

// `error` is the system's error number of the failed step (0 when unknown).
bool fail(QString* reason, int error, const QString& text) {
    if (reason)
        *reason = reasonText(error, text);
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
        return fail(reason, EISDIR, QString());
    QSaveFile file(path);
    errno = 0;
    // Unbuffered: a buffered write reports success and leaves the error (a full
    // disk) to the flush at the end, which the rename would not wait for.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(reason, errno, file.errorString());
    qsizetype done = 0;
    while (done < bytes.size()) {
        errno = 0;
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const int error = errno;
            const QString text = file.errorString();
            file.cancelWriting();
            return fail(reason, error, text);
        }
        done += qsizetype(n);
    }
    if (file.error() != QFileDevice::NoError) {
        const QString text = file.errorString();
        file.cancelWriting();
        return fail(reason, 0, text);
    }
    errno = 0;
    if (!file.commit())
        return fail(reason, errno, file.errorString());
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
