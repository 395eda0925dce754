#pragma once

#include <QString>

#include <functional>

// The six settings as they stand right now. The options dialog's controls are
// the live settings; readers ask at the moment they need a value.
class ILiveSettings {
public:
    virtual ~ILiveSettings() = default;
    virtual bool beepEnabled() const = 0;           // "Ton bei Nachrichteneingang ausgeben"
    virtual bool soundEnabled() const = 0;          // "Sound bei Nachrichteneingang abspielen"
    virtual QString soundFileName() const = 0;      // the file to play
    virtual bool historyEnabled() const = 0;        // "History speichern"
    virtual bool screenSaverEnabled() const = 0;    // "Shortcut für Bildschirmschoner verwenden"
    virtual quint16 screenSaverShortcut() const = 0; // shortcut code (VK + 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt)
};

// Plain values, for tests and for code that needs a snapshot.
struct TSettingsValues : ILiveSettings {
    bool beep = true;
    bool sound = false;
    QString soundFile;
    bool history = false;
    bool screenSaver = false;
    quint16 shortcut = 0;

    bool beepEnabled() const override { return beep; }
    bool soundEnabled() const override { return sound; }
    QString soundFileName() const override { return soundFile; }
    bool historyEnabled() const override { return history; }
    bool screenSaverEnabled() const override { return screenSaver; }
    quint16 screenSaverShortcut() const override { return shortcut; }
};

// The live settings of whatever `source` returns at the moment of reading; the
// defaults stand in while it returns nothing (before the options dialog exists
// and after it is gone).
class TLiveSettingsRef : public ILiveSettings {
public:
    explicit TLiveSettingsRef(std::function<const ILiveSettings*()> source) : FSource(std::move(source)) {}

    bool beepEnabled() const override { return live().beepEnabled(); }
    bool soundEnabled() const override { return live().soundEnabled(); }
    QString soundFileName() const override { return live().soundFileName(); }
    bool historyEnabled() const override { return live().historyEnabled(); }
    bool screenSaverEnabled() const override { return live().screenSaverEnabled(); }
    quint16 screenSaverShortcut() const override { return live().screenSaverShortcut(); }

private:
    const ILiveSettings& live() const {
        const ILiveSettings* s = FSource ? FSource() : nullptr;
        return s ? *s : FDefaults;
    }
    std::function<const ILiveSettings*()> FSource;
    TSettingsValues FDefaults;
};
