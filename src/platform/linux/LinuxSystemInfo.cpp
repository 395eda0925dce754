#include "platform/linux/LinuxSystemInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

QString TLinuxSystemInfo::computerName() const {
    QString name = QSysInfo::machineHostName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

QString TLinuxSystemInfo::userName() const {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QLocale TLinuxSystemInfo::systemLocale() const {
    return QLocale::system();
}

QString TLinuxSystemInfo::dataRoot() const {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base;
}

QString TLinuxSystemInfo::executablePath() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
}
