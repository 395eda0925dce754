#include "common/BadFiles.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <sys/stat.h>

namespace BadFiles {

void addRows(qint64 limit) {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    const QString notRegular = QStringLiteral("Unter diesem Namen besteht keine gewöhnliche Datei.");
    QTest::newRow("folder") << "folder" << "Unter diesem Namen besteht ein Ordner.";
    QTest::newRow("pipe: no hang") << "fifo" << notRegular;
    QTest::newRow("link to /dev/zero: no endless read") << "zero" << notRegular;
    QTest::newRow("too large")
        << "huge" << QStringLiteral("Die Datei ist größer als %1 Bytes.").arg(QLocale(QLocale::German).toString(limit));
}

bool make(const QString& kind, const QString& path, qint64 limit) {
    if (kind == QLatin1String("folder"))
        return QDir().mkpath(path);
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == QLatin1String("zero"))
        return QFile::link(QStringLiteral("/dev/zero"), path);
    // A sparse file: its size counts, nothing is written or read.
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(limit + 1);
}

} // namespace BadFiles
