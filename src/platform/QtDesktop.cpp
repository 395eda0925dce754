#include "platform/QtDesktop.h"

#include <QDesktopServices>
#include <QUrl>

bool TQtDesktop::openUrl(const QString& url) {
    QUrl u = QUrl::fromUserInput(url);
    if (!u.isValid())
        return false;
    return QDesktopServices::openUrl(u);
}

bool TQtDesktop::openFile(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
