#pragma once

#include "platform/AtomTable.h"
#include "platform/GlobalHotKey.h"

#include <QAbstractNativeEventFilter>
#include <QList>

struct xcb_connection_t;

// Global hot keys on X11: a passive key grab on the root window through Qt's
// own X11 connection, for each key code of the key, with and without NumLock
// and CapsLock held; the presses come in through a native event filter. A
// grab that the X server refuses (another client holds the combination) is
// undone and reported as failure. Without X11 (Wayland, offscreen) every
// registration fails.
class TX11GlobalHotKey : public TGlobalHotKey, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit TX11GlobalHotKey(QObject* parent = nullptr);
    ~TX11GlobalHotKey() override;

    // The program runs on an X11 display.
    bool isAvailable() const { return FConnection != nullptr; }

    quint16 addAtom(const QByteArray& name) override;
    void deleteAtom(quint16 atom) override;
    bool registerHotKey(quint16 id, quint16 modifiers, quint8 virtualKey) override;
    bool unregisterHotKey(quint16 id) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct TModifierMasks {
        quint16 alt = 0;
        quint16 win = 0;
        quint16 numLock = 0;
    };
    struct TGrab {
        quint16 id = 0;
        quint16 xModifiers = 0; // Shift, Control, Alt, Win as X11 masks
        QList<quint8> keyCodes;
    };

    TModifierMasks readModifierMasks() const;
    quint16 toXModifiers(quint16 modifiers, const TModifierMasks& masks) const;
    QList<quint16> lockVariants() const;
    bool grab(const TGrab& grab);
    void ungrab(const TGrab& grab);
    bool holds(quint8 keyCode, quint16 xModifiers) const;

    xcb_connection_t* FConnection = nullptr;
    quint32 FRoot = 0;
    TModifierMasks FMasks;
    QList<TGrab> FGrabs;
    TAtomTable FAtoms;
};
