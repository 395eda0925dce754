#pragma once

#include <QObject>

class ILiveSettings;
class IScreenSaver;
class TGlobalHotKey;

// The screen-saver shortcut: turns the live settings "Shortcut für
// Bildschirmschoner verwenden" and its key into a system-wide hot key and
// answers the hot key by starting the screen saver. The main window runs
// RegisterScreenSaverHotKey at start and after OK in "Einstellungen", and
// UnregisterScreenSaverHotKey at the end.
class TScreenSaverShortcut : public QObject {
    Q_OBJECT
public:
    // The name of the atom whose identifier the hot key is registered under.
    static constexpr const char* kAtomName = "HotKeyScreenSaver";

    TScreenSaverShortcut(const ILiveSettings& settings, TGlobalHotKey& hotKey, IScreenSaver& screenSaver,
                         QObject* parent = nullptr);

    // Registers the combination the settings hold, or removes the hot key when
    // the option is off. When the old registration cannot be removed it stays
    // in force and the new combination is not registered. A combination that
    // cannot be registered is left silently: the shortcut then does nothing.
    void RegisterScreenSaverHotKey();
    // Removes the hot key; when that fails, it stays registered.
    void UnregisterScreenSaverHotKey();
    // The hot key was pressed: start the screen saver.
    void WMHotKey();

    bool isRegistered() const { return FHotKeyRegistered; }
    quint16 hotKeyAtom() const { return FHotKeyAtom; }

private:
    const ILiveSettings& FSettings;
    TGlobalHotKey& FHotKey;
    IScreenSaver& FScreenSaver;
    bool FHotKeyRegistered = false;
    quint16 FHotKeyAtom = 0;
};
