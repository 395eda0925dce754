#pragma once

#include <QKeyCombination>
#include <QtGlobal>

// The stored shortcut code of the screen-saver hot key: a 16-bit number whose
// low byte is a Windows virtual-key code, with 0x2000 for Shift, 0x4000 for Ctrl
// and 0x8000 for Alt; 0 means no key. The same number means the same keys on
// every system the program runs on.
namespace ShortcutCode {

constexpr quint16 kShift = 0x2000;
constexpr quint16 kCtrl = 0x4000;
constexpr quint16 kAlt = 0x8000;
constexpr quint16 kModifierMask = kShift | kCtrl | kAlt;

// The code of a key combination: 0 when the key has no virtual-key code. Shift,
// Ctrl and Alt become their bits, exactly as pressed; the Meta (Windows) key has
// no bit and is left out; the keypad modifier picks the numpad keys.
quint16 fromKeyCombination(QKeyCombination combination);

// The key combination of a code: an empty combination (Qt::Key(0)) for 0 and for
// a virtual-key code the program does not know.
QKeyCombination toKeyCombination(quint16 code);

// The virtual-key code of a key (with Qt::KeypadModifier for the numpad), 0 if unknown.
quint8 virtualKey(Qt::Key key, bool keypad = false);

// The low byte of a code.
constexpr quint8 virtualKeyOf(quint16 code) {
    return quint8(code & 0xFF);
}

// The modifiers a global hot key is registered with (TGlobalHotKey::kModShift,
// kModControl, kModAlt): exactly Shift, Ctrl and Alt of the code. An extended
// key (arrows, Insert, Delete, ...) adds nothing, so that Ctrl+Insert is
// registered as Ctrl+Insert, whether it was just typed or loaded at start.
quint16 hotKeyModifiers(quint16 code);

} // namespace ShortcutCode
