#include "platform/linux/QtX11Connection.h"

#include <QGuiApplication>

xcb_connection_t* qtX11Connection() {
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}
