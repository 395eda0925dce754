#pragma once

#include <QList>
#include <QtGlobal>

// Windows virtual-key codes on an X11 keyboard: a virtual key stands for one
// key of the keyboard, found through the key symbols it carries.
namespace X11KeySymbols {

// The key symbols that name the key of `virtualKey`, in order of preference:
// the German key first, then the US key at the same place (VK_OEM_1 is the Ü
// key of a German keyboard and the semicolon key of a US one). Empty for a
// virtual key that no X11 keyboard has.
QList<quint32> ofVirtualKey(quint8 virtualKey);

// The keyboard map of the X server: `perKeyCode` key symbols for each key code
// from `minKeyCode` on (as GetKeyboardMapping returns it).
struct TKeyboardMap {
    quint8 minKeyCode = 8;
    int perKeyCode = 0;
    QList<quint32> symbols;
};

// The key codes of the key that `candidates` name. The first candidate that
// some key carries unshifted (first column) wins and gives every key code that
// carries it there; only when no candidate is found so gets one found in any
// column (the numpad digits sit in the NumLock column). Empty when no key
// carries any of them.
QList<quint8> keyCodesOf(const QList<quint32>& candidates, const TKeyboardMap& map);

} // namespace X11KeySymbols
