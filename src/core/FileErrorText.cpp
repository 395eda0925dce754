#include "core/FileErrorText.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

QString fromSystemError(int systemError) {
    switch (systemError) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert.");
    case ENOSPC:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei.");
    case EFBIG:
        return QStringLiteral("Die Datei ist zu groß für den Datenträger.");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("Das Speicherkontingent ist erschöpft.");
#endif
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
    case ENAMETOOLONG:
        return QStringLiteral("Der Name ist zu lang.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele offene Dateien.");
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return QStringLiteral("Die Datei wird gerade benutzt.");
    default:
        break;
    }
    return QStringLiteral("Systemfehler %1 (%2).")
        .arg(systemError)
        .arg(QString::fromLocal8Bit(std::strerror(systemError)));
}

} // namespace

namespace FileErrorText {

QString reason(int systemError, QFileDevice::FileError error, const QString& path) {
    if (systemError != 0)
        return fromSystemError(systemError);
    if (!path.isEmpty() && QFileInfo(path).isDir())
        return fromSystemError(EISDIR);
    switch (error) {
    case QFileDevice::PermissionsError:
        return fromSystemError(EACCES);
    case QFileDevice::ReadError:
        return QStringLiteral("Die Datei konnte nicht gelesen werden.");
    case QFileDevice::WriteError:
    case QFileDevice::ResizeError:
        return QStringLiteral("Die Datei konnte nicht vollständig geschrieben werden.");
    case QFileDevice::RenameError:
        return QStringLiteral("Die neue Datei konnte nicht an die Stelle der alten treten.");
    case QFileDevice::ResourceError:
        return QStringLiteral("Zu wenig Speicher oder Systemressourcen.");
    default:
        break;
    }
    return QStringLiteral("Die Datei konnte nicht geöffnet werden.");
}

QString message(const QString& what, const QString& path, const QString& reason) {
    return what + QDir::toNativeSeparators(path) + QStringLiteral("\r\n") + reason;
}

} // namespace FileErrorText
