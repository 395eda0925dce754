#include "core/AppTitle.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace AppTitle {

QString fromExecutable(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString current() {
    return fromExecutable(QCoreApplication::applicationFilePath());
}

QString shown(const QString& executablePath) {
    const QString title = fromExecutable(executablePath);
    return title.left(1).toUpper() + title.mid(1);
}

QString shownCurrent() {
    return shown(QCoreApplication::applicationFilePath());
}

} // namespace AppTitle
