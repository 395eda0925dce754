#include "core/FileReplace.h"

#include "core/FileErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace FileReplace {

namespace {

// The ending of the program's new files: "<file name>.<six letters or digits>.palavero-neu".
const QString kNewFileEnding = QStringLiteral(".palavero-neu");
constexpr qsizetype kTagLength = 6;
constexpr int kNameAttempts = 16;
const QDateTime kProgramStart = QDateTime::currentDateTimeUtc();

// `error` is the system's error number of the failed step (0 when unknown).
bool fail(QString* reason, int error, QFileDevice::FileError fileError, const QString& path) {
    if (reason)
        *reason = FileErrorText::reason(error, fileError, path);
    return false;
}

bool isTagCharacter(QChar c) {
    return c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

QString newFileName(const QString& path) {
    static const char kCharacters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString name = path + QLatin1Char('.');
    for (qsizetype i = 0; i < kTagLength; ++i)
        name += QLatin1Char(kCharacters[QRandomGenerator::global()->bounded(int(sizeof kCharacters) - 1)]);
    return name + kNewFileEnding;
}

// The name of a new file of a replace of `fileName`.
bool isNewFileName(const QString& name, const QString& fileName) {
    if (name.size() != fileName.size() + 1 + kTagLength + kNewFileEnding.size() || !name.startsWith(fileName) ||
        name.at(fileName.size()) != u'.' || !name.endsWith(kNewFileEnding))
        return false;
    for (qsizetype i = fileName.size() + 1; i < fileName.size() + 1 + kTagLength; ++i) {
        if (!isTagCharacter(name.at(i)))
            return false;
    }
    return true;
}

// Renames `from` over `to`, replacing it; the system's error number, 0 on success.
int renameOver(const QString& from, const QString& to) {
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()),
                            error);
    return error ? (error.value() != 0 ? error.value() : EIO) : 0;
}

} // namespace

QDateTime programStart() {
    return kProgramStart;
}

bool write(const QString& path, const QByteArray& bytes, QString* reason) {
    const QFileInfo old(path);
    if (old.isDir())
        return fail(reason, EISDIR, QFileDevice::OpenError, path);
    QFile file;
    // A fresh name for each try; an existing file is never opened.
    for (int attempt = 1;; ++attempt) {
        file.setFileName(newFileName(path));
        errno = 0;
        // Unbuffered: an error of any write (a full disk) shows at that write.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (errno != EEXIST || attempt == kNameAttempts)
            return fail(reason, errno, file.error(), path);
    }
    const auto cancel = [&](int error, QFileDevice::FileError fileError) {
        file.close();
        file.remove();
        return fail(reason, error, fileError, path);
    };
    qsizetype done = 0;
    while (done < bytes.size()) {
        errno = 0;
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return cancel(errno, file.error());
        done += qsizetype(n);
    }
    // The new file keeps the permissions of the old one.
    if (old.exists())
        file.setPermissions(old.permissions());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return cancel(0, file.error());
    if (const int error = renameOver(file.fileName(), path))
        return cancel(error, QFileDevice::RenameError);
    return true;
}

int removeLeftovers(const QString& path, const QDateTime& olderThan) {
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    QDir dir = info.absoluteDir();
    int removed = 0;
    const QFileInfoList candidates = dir.entryInfoList({fileName + QStringLiteral(".*") + kNewFileEnding},
                                                       QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& candidate : candidates) {
        if (isNewFileName(candidate.fileName(), fileName) && candidate.lastModified() < olderThan &&
            dir.remove(candidate.fileName()))
            ++removed;
    }
    return removed;
}

} // namespace FileReplace
