#include "platform/linux/X11ScreenSaver.h"

#include "platform/linux/QtX11Connection.h"

#include <xcb/xcb.h>

TX11ScreenSaver::TX11ScreenSaver() : FConnection(qtX11Connection()) {}

void TX11ScreenSaver::activate() {
    if (!FConnection)
        return;
    xcb_force_screen_saver(FConnection, XCB_SCREEN_SAVER_ACTIVE);
    xcb_flush(FConnection);
}
