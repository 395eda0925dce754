#include "app/DataDirectory.h"

#include "core/FileReplace.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kStoreFiles[] = {QStringLiteral("PalaveroGroups.ini"), QStringLiteral("PalaveroTB.ini")};
const QString kTestFolder = QStringLiteral("testwol");
const QString kContactAdmin = QStringLiteral("Bitte kontaktieren Sie den Systemadministrator.");
} // namespace

QString TDataDirectory::pathFor(const QString& root) {
    QString base = root;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + QStringLiteral("Korvel/Palavero");
}

QString TDataDirectory::prepare(const QString& root, IMessageBoxes& boxes) {
    const QString dir = pathFor(root);
    if (QFileInfo(dir).isDir()) {
        // A replace cut off by a kill leaves its new file beside the store.
        for (const QString& store : kStoreFiles)
            FileReplace::removeLeftovers(dir + QLatin1Char('/') + store);
    } else {
        QDir().mkpath(dir);
        if (!QFileInfo(dir).isDir()) {
            boxes.show(QStringLiteral("Fehler beim Anlegen des Verzeichnisses: ") + dir + kCrLf + kCrLf +
                           kContactAdmin,
                       IMessageBoxes::Icon::Error);
            return dir;
        }
    }
    // The write test, also for a folder that exists: stores that cannot be
    // written are said at start, not first when a received file is lost. A
    // test folder left by a killed start is empty and goes first.
    QDir d(dir);
    d.rmdir(kTestFolder);
    if (!d.mkdir(kTestFolder)) {
        boxes.show(QStringLiteral("Fehler: Das Verzeichnis benötigt Schreibrechte: ") + dir + kCrLf + kCrLf +
                       kContactAdmin,
                   IMessageBoxes::Icon::Error);
        return dir;
    }
    d.rmdir(kTestFolder);
    return dir;
}
