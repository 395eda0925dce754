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

} // namespace AppTitle
