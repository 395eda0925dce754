#include "platform/linux/X11ScreenSaver.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

TX11ScreenSaver::TX11ScreenSaver() {
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        FConnection = x11->connection();
}

void TX11ScreenSaver::activate() {
    if (!FConnection)
        return;
    xcb_force_screen_saver(FConnection, XCB_SCREEN_SAVER_ACTIVE);
    xcb_flush(FConnection);
}
