#include "platform/linux/X11ScreenSaver.h"

#include "platform/linux/QtX11Connection.h"

#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

TX11ScreenSaver::TX11ScreenSaver(QObject* parent) : QObject(parent), FConnection(qtX11Connection()) {}

void TX11ScreenSaver::activate() {
    if (!FConnection || FWaiting)
        return;
    FWaited.start();
    activateOnceReleased();
}

void TX11ScreenSaver::activateOnceReleased() {
    FWaiting = keysDown() && FWaited.elapsed() < kMaxWaitMs;
    if (FWaiting) {
        QTimer::singleShot(kPollMs, this, &TX11ScreenSaver::activateOnceReleased);
        return;
    }
    xcb_force_screen_saver(FConnection, XCB_SCREEN_SAVER_ACTIVE);
    xcb_flush(FConnection);
}

bool TX11ScreenSaver::keysDown() const {
    xcb_query_keymap_reply_t* reply =
        xcb_query_keymap_reply(FConnection, xcb_query_keymap(FConnection), nullptr);
    if (!reply)
        return false;
    const bool down = std::any_of(std::begin(reply->keys), std::end(reply->keys), [](quint8 b) { return b != 0; });
    std::free(reply);
    return down;
}
