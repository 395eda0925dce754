#pragma once

#include "platform/GlobalHotKey.h"

class TWindowsMessages;

// Global hot keys of Windows: RegisterHotKey for the hidden window, under
// identifiers taken from global atoms (GlobalAddAtomA); a press arrives as
// WM_HOTKEY. The hot keys still registered are removed when it goes.
class TWindowsGlobalHotKey : public TGlobalHotKey {
    Q_OBJECT
public:
    explicit TWindowsGlobalHotKey(TWindowsMessages& messages, QObject* parent = nullptr);
    ~TWindowsGlobalHotKey() override;

    quint16 addAtom(const QByteArray& name) override;
    void deleteAtom(quint16 atom) override;
    bool registerHotKey(quint16 id, quint16 modifiers, quint8 virtualKey) override;
    bool unregisterHotKey(quint16 id) override;

private:
    TWindowsMessages& FMessages;
    QList<quint16> FRegistered;
};
