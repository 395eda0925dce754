#include "platform/linux/X11GlobalHotKey.h"

#include "platform/linux/QtX11Connection.h"
#include "platform/linux/X11KeySymbols.h"

#include <QCoreApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#define XK_MISCELLANY
#include <X11/keysymdef.h>

namespace {

struct TFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using TReply = std::unique_ptr<T, TFree>;

X11KeySymbols::TKeyboardMap readKeyboardMap(xcb_connection_t* connection) {
    X11KeySymbols::TKeyboardMap map;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    map.minKeyCode = setup->min_keycode;
    const quint8 count = quint8(setup->max_keycode - setup->min_keycode + 1);
    TReply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr));
    if (!reply)
        return map;
    map.perKeyCode = reply->keysyms_per_keycode;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
    map.symbols.reserve(length);
    for (int i = 0; i < length; ++i)
        map.symbols << symbols[i];
    return map;
}

} // namespace

TX11GlobalHotKey::TX11GlobalHotKey(QObject* parent) : TGlobalHotKey(parent) {
    FConnection = qtX11Connection();
    if (!FConnection)
        return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data;
    if (!screen) {
        FConnection = nullptr;
        return;
    }
    FRoot = screen->root;
    FMasks = readModifierMasks();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

TX11GlobalHotKey::~TX11GlobalHotKey() {
    if (!FConnection)
        return;
    for (const TGrab& g : std::as_const(FGrabs))
        ungrab(g);
    xcb_flush(FConnection);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

quint16 TX11GlobalHotKey::addAtom(const QByteArray& name) {
    return FAtoms.add(name);
}

void TX11GlobalHotKey::deleteAtom(quint16 atom) {
    FAtoms.remove(atom);
}

TX11GlobalHotKey::TModifierMasks TX11GlobalHotKey::readModifierMasks() const {
    TModifierMasks masks;
    const X11KeySymbols::TKeyboardMap map = readKeyboardMap(FConnection);
    TReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(FConnection, xcb_get_modifier_mapping(FConnection), nullptr));
    if (reply) {
        // The eight modifiers, each with keycodes_per_modifier key codes.
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        const auto maskOf = [&](std::initializer_list<quint32> symbols) -> quint16 {
            for (quint32 symbol : symbols) {
                const QList<quint8> keyCodes = X11KeySymbols::keyCodesOf({symbol}, map);
                for (int modifier = 0; modifier < 8; ++modifier) {
                    for (int i = 0; i < perModifier; ++i) {
                        const xcb_keycode_t code = codes[modifier * perModifier + i];
                        if (code != 0 && keyCodes.contains(code))
                            return quint16(1u << modifier);
                    }
                }
            }
            return 0;
        };
        masks.alt = maskOf({XK_Alt_L, XK_Alt_R, XK_Meta_L});
        masks.win = maskOf({XK_Super_L, XK_Super_R});
        masks.numLock = maskOf({XK_Num_Lock});
    }
    if (masks.alt == 0)
        masks.alt = XCB_MOD_MASK_1;
    if (masks.win == 0)
        masks.win = XCB_MOD_MASK_4;
    return masks;
}

quint16 TX11GlobalHotKey::toXModifiers(quint16 modifiers, const TModifierMasks& masks) const {
    quint16 x = 0;
    if (modifiers & kModShift)
        x |= XCB_MOD_MASK_SHIFT;
    if (modifiers & kModControl)
        x |= XCB_MOD_MASK_CONTROL;
    if (modifiers & kModAlt)
        x |= masks.alt;
    if (modifiers & kModWin)
        x |= masks.win;
    return x;
}

QList<quint16> TX11GlobalHotKey::lockVariants() const {
    QList<quint16> variants{0, XCB_MOD_MASK_LOCK};
    if (FMasks.numLock != 0)
        variants << FMasks.numLock << quint16(FMasks.numLock | XCB_MOD_MASK_LOCK);
    return variants;
}

bool TX11GlobalHotKey::holds(quint8 keyCode, quint16 xModifiers) const {
    for (const TGrab& g : FGrabs) {
        if (g.xModifiers == xModifiers && g.keyCodes.contains(keyCode))
            return true;
    }
    return false;
}

bool TX11GlobalHotKey::grab(const TGrab& g) {
    QList<xcb_void_cookie_t> cookies;
    for (quint8 code : g.keyCodes) {
        for (quint16 lock : lockVariants()) {
            // Not owner_events: the press comes to the root window also while
            // one of the program's own windows has the focus.
            cookies << xcb_grab_key_checked(FConnection, 0, FRoot, quint16(g.xModifiers | lock), code,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        }
    }
    bool granted = true;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (TReply<xcb_generic_error_t> error{xcb_request_check(FConnection, cookie)})
            granted = false;
    }
    if (!granted)
        ungrab(g); // releases only what this client got
    return granted;
}

void TX11GlobalHotKey::ungrab(const TGrab& g) {
    QList<xcb_void_cookie_t> cookies;
    for (quint8 code : g.keyCodes) {
        for (quint16 lock : lockVariants())
            cookies << xcb_ungrab_key_checked(FConnection, code, FRoot, quint16(g.xModifiers | lock));
    }
    // Errors of an ungrab are of no use; collecting them keeps them out of Qt's error log.
    for (const xcb_void_cookie_t& cookie : cookies)
        TReply<xcb_generic_error_t> error{xcb_request_check(FConnection, cookie)};
}

bool TX11GlobalHotKey::registerHotKey(quint16 id, quint16 modifiers, quint8 virtualKey) {
    if (!FConnection)
        return false;
    for (const TGrab& g : std::as_const(FGrabs)) {
        if (g.id == id)
            return false;
    }
    TGrab g;
    g.id = id;
    g.xModifiers = toXModifiers(modifiers, FMasks);
    g.keyCodes = X11KeySymbols::keyCodesOf(X11KeySymbols::ofVirtualKey(virtualKey), readKeyboardMap(FConnection));
    if (g.keyCodes.isEmpty())
        return false;
    for (quint8 code : std::as_const(g.keyCodes)) {
        if (holds(code, g.xModifiers))
            return false; // one combination, one hot key
    }
    if (!grab(g))
        return false;
    FGrabs << g;
    return true;
}

bool TX11GlobalHotKey::unregisterHotKey(quint16 id) {
    for (qsizetype i = 0; i < FGrabs.size(); ++i) {
        if (FGrabs[i].id == id) {
            ungrab(FGrabs[i]);
            FGrabs.removeAt(i);
            return true;
        }
    }
    return false;
}

bool TX11GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (FGrabs.isEmpty() || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (key->event != FRoot)
        return false;
    const quint16 relevant = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | FMasks.alt | FMasks.win;
    const quint16 pressed = key->state & relevant;
    for (const TGrab& g : std::as_const(FGrabs)) {
        if (g.xModifiers == pressed && g.keyCodes.contains(key->detail)) {
            const quint16 id = g.id;
            if (type == XCB_KEY_PRESS)
                Q_EMIT hotKeyPressed(id); // a receiver may change the grabs: the loop ends here
            return true;
        }
    }
    return false;
}
