#include "platform/linux/XdgAutostart.h"

#include "core/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString TXdgAutostart::filePath(const QString& title) {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/") + title + QStringLiteral(".desktop");
}

QString TXdgAutostart::read(const QString& title) const {
    QFile file(filePath(title));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return QString();
}

bool TXdgAutostart::write(const QString& title, const QString& command) {
    const QString path = filePath(title);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QByteArray text = "[Desktop Entry]\nType=Application\nName=Palavero Lite\n";
    text += "Exec=" + command.toUtf8() + "\n";
    if (command.isEmpty())
        text += "Hidden=true\n";
    text += "X-GNOME-Autostart-enabled=" + QByteArray(command.isEmpty() ? "false" : "true") + "\n";
    return FileReplace::write(path, text);
}
