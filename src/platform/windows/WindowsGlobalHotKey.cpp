#include "platform/windows/WindowsGlobalHotKey.h"

#include "platform/windows/WindowsMessages.h"

TWindowsGlobalHotKey::TWindowsGlobalHotKey(TWindowsMessages& messages, QObject* parent)
    : TGlobalHotKey(parent), FMessages(messages) {
    FMessages.handle(WM_HOTKEY, [this](WPARAM id, LPARAM, LRESULT& result) {
        result = 0;
        Q_EMIT hotKeyPressed(quint16(id));
        return true;
    });
}

TWindowsGlobalHotKey::~TWindowsGlobalHotKey() {
    FMessages.forget(WM_HOTKEY);
    for (const quint16 id : std::as_const(FRegistered))
        ::UnregisterHotKey(FMessages.window(), id);
}

quint16 TWindowsGlobalHotKey::addAtom(const QByteArray& name) {
    return ::GlobalAddAtomA(name.constData());
}

void TWindowsGlobalHotKey::deleteAtom(quint16 atom) {
    ::GlobalDeleteAtom(atom);
}

bool TWindowsGlobalHotKey::registerHotKey(quint16 id, quint16 modifiers, quint8 virtualKey) {
    if (!::RegisterHotKey(FMessages.window(), id, modifiers, virtualKey))
        return false;
    FRegistered << id;
    return true;
}

bool TWindowsGlobalHotKey::unregisterHotKey(quint16 id) {
    if (!::UnregisterHotKey(FMessages.window(), id))
        return false;
    FRegistered.removeOne(id);
    return true;
}
