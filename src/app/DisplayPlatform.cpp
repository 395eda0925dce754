#include "app/DisplayPlatform.h"

namespace DisplayPlatform {

QByteArray preferred(const QProcessEnvironment& environment) {
#ifdef Q_OS_WIN
    // Windows has its own platform and no xcb (a DISPLAY there is Wine's X server).
    Q_UNUSED(environment);
    return {};
#endif
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return {};
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
        return {};
    return QByteArrayLiteral("xcb");
}

bool isWayland(const QString& name) {
    return name.startsWith(QLatin1String("wayland"));
}

QString waylandStatusText() {
    return QStringLiteral("Wayland: ohne Vordergrund und Shortcut");
}

} // namespace DisplayPlatform
