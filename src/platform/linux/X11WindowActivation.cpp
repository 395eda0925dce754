#include "platform/WindowActivation.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, false, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return a;
}

} // namespace

namespace WindowActivation {

void suppressNextActivation(QWindow& window) {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window.handle())
        return;
    xcb_connection_t* c = x11->connection();
    const auto wid = xcb_window_t(window.winId());
    const xcb_atom_t userTime = atom(c, "_NET_WM_USER_TIME");
    const xcb_atom_t userTimeWindow = atom(c, "_NET_WM_USER_TIME_WINDOW");
    if (userTime == XCB_ATOM_NONE)
        return;
    // The user time lives on a window of its own when the window names one.
    xcb_window_t target = wid;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, false, wid, userTimeWindow, XCB_ATOM_WINDOW, 0, 1), nullptr);
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 4)
        target = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    const uint32_t zero = 0;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, target, userTime, XCB_ATOM_CARDINAL, 32, 1, &zero);
    xcb_flush(c);
}

} // namespace WindowActivation
