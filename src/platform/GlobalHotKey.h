#pragma once

#include <QByteArray>
#include <QObject>

// System-wide hot keys: a key combination that reaches this program whichever
// program has the focus. Keys are Windows virtual-key codes, modifiers the
// flags of RegisterHotKey, so that a stored combination means the same keys on
// every system. A hot key is registered under an identifier taken from a named
// atom. A system without global hot keys (no X11, such as Wayland or an
// offscreen session) refuses every registration; nothing is shown.
class TGlobalHotKey : public QObject {
    Q_OBJECT
public:
    // The modifier flags of a registration (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
    static constexpr quint16 kModAlt = 0x0001;
    static constexpr quint16 kModControl = 0x0002;
    static constexpr quint16 kModShift = 0x0004;
    static constexpr quint16 kModWin = 0x0008;

    using QObject::QObject;
    ~TGlobalHotKey() override = default;

    // The identifier of the atom `name`, added to the atom table (its use count
    // goes up by one); 0 on failure.
    virtual quint16 addAtom(const QByteArray& name) = 0;
    // Drops one use of the atom `atom`; the name goes when its last use goes.
    virtual void deleteAtom(quint16 atom) = 0;

    // Registers `virtualKey` with `modifiers` under `id`. False when the
    // combination cannot be had: another program holds it, the key is not on
    // the keyboard, the id is in use, or the system has no global hot keys.
    virtual bool registerHotKey(quint16 id, quint16 modifiers, quint8 virtualKey) = 0;
    // Removes the hot key `id`. False when no such hot key is registered.
    virtual bool unregisterHotKey(quint16 id) = 0;

Q_SIGNALS:
    // The hot key `id` was pressed.
    void hotKeyPressed(quint16 id);
};
