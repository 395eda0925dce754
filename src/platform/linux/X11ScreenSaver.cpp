#include "platform/linux/X11ScreenSaver.h"

#include "platform/linux/QtX11Connection.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

TX11ScreenSaver::TX11ScreenSaver(QObject* parent) : QObject(parent), FConnection(qtX11Connection()) {}

void TX11ScreenSaver::start(std::function<void(bool started)> done) {
    if (FConnection) {
        xcb_force_screen_saver(FConnection, XCB_SCREEN_SAVER_ACTIVE);
        xcb_flush(FConnection);
    }
    done(isAvailable());
}

bool TX11ScreenSaver::keysDown() const {
    if (!FConnection)
        return false;
    xcb_query_keymap_reply_t* reply =
        xcb_query_keymap_reply(FConnection, xcb_query_keymap(FConnection), nullptr);
    if (!reply)
        return false;
    const bool down = std::any_of(std::begin(reply->keys), std::end(reply->keys), [](quint8 b) { return b != 0; });
    std::free(reply);
    return down;
}
