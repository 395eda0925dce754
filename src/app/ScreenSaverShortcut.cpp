#include "app/ScreenSaverShortcut.h"

#include "platform/GlobalHotKey.h"
#include "platform/ScreenSaver.h"
#include "settings/LiveSettings.h"
#include "settings/ShortcutCode.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcHotKey, "palavero.hotkey", QtInfoMsg)
}

TScreenSaverShortcut::TScreenSaverShortcut(const ILiveSettings& settings, TGlobalHotKey& hotKey,
                                           IScreenSaver& screenSaver, QObject* parent)
    : QObject(parent), FSettings(settings), FHotKey(hotKey), FScreenSaver(screenSaver) {
    // Which hot key was pressed is not examined: there is only this one.
    connect(&FHotKey, &TGlobalHotKey::hotKeyPressed, this, &TScreenSaverShortcut::WMHotKey);
}

void TScreenSaverShortcut::RegisterScreenSaverHotKey() {
    if (!FSettings.screenSaverEnabled()) {
        UnregisterScreenSaverHotKey();
        return;
    }
    const quint16 code = FSettings.screenSaverShortcut();
    const quint8 virtualKey = ShortcutCode::virtualKeyOf(code);
    const quint16 modifiers = ShortcutCode::hotKeyModifiers(code);

    if (FHotKeyRegistered) {
        UnregisterScreenSaverHotKey();
        if (FHotKeyRegistered)
            return; // the old combination stays in force
    }
    FHotKeyAtom = FHotKey.addAtom(kAtomName);
    FHotKeyRegistered = FHotKey.registerHotKey(FHotKeyAtom, modifiers, virtualKey);
    qCDebug(lcHotKey).nospace() << "screen-saver hot key " << (FHotKeyRegistered ? "registered" : "not registered")
                                << ": modifiers " << modifiers << " key 0x" << Qt::hex << virtualKey;
    if (!FHotKeyRegistered)
        FHotKey.deleteAtom(FHotKeyAtom); // no use of the atom is left behind
}

void TScreenSaverShortcut::UnregisterScreenSaverHotKey() {
    if (!FHotKeyRegistered)
        return;
    if (!FHotKey.unregisterHotKey(FHotKeyAtom))
        return;
    FHotKeyRegistered = false;
    FHotKey.deleteAtom(FHotKeyAtom);
    qCDebug(lcHotKey) << "screen-saver hot key removed";
}

void TScreenSaverShortcut::WMHotKey() {
    qCDebug(lcHotKey) << "screen-saver hot key pressed";
    FScreenSaver.activate();
}
