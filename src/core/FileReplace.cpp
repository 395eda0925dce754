#include "core/FileReplace.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace FileReplace {

namespace {

bool fail(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
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
    QSaveFile file(path);
    // Unbuffered: a buffered write reports success and leaves the error (a full
    // disk) to the flush at the end, which the rename would not wait for.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(reason, file.errorString());
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString text = file.errorString();
            file.cancelWriting();
            return fail(reason, text);
        }
        done += qsizetype(n);
    }
    if (file.error() != QFileDevice::NoError) {
        const QString text = file.errorString();
        file.cancelWriting();
        return fail(reason, text);
    }
    if (!file.commit())
        return fail(reason, file.errorString());
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
