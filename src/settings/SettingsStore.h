#pragma once

#include "settings/LiveSettings.h"

#include <QString>
#include <QVariant>

// The six settings on disk: the group [Settings] of the user's settings file
// ($XDG_CONFIG_HOME/Korvel/Palavero.conf). Every value is a string: switches
// "1"/"0", the shortcut code in decimal, the sound file as typed. The names and
// reading rules of the values are one table in SettingsStore.cpp.
class TSettingsStore {
  public:
    // The largest settings file that is read.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    explicit TSettingsStore(QString filePath = defaultFilePath());

    // $XDG_CONFIG_HOME/Korvel/Palavero.conf (~/.config when XDG_CONFIG_HOME is unset or relative).
    static QString defaultFilePath();
    QString filePath() const { return FFilePath; }

    // Reads the values in their fixed order ("Sound", "Music", "SoundFileName",
    // "SaveHistory", "UseScreenSaverShortcut", "ScreenSaverShortcutKey") into
    // `values`. A missing file gives the defaults. On a failure (the file cannot
    // be read: only a regular file of at most kMaxFileSize bytes is) it stops and
    // returns false; the values not reached keep what they held.
    bool load(TSettingsValues& values) const;

    // Writes the six values as strings into the group [Settings]; the file is
    // replaced as a whole (new file, then rename). False on failure.
    bool save(const ILiveSettings& values) const;

    // The reading rules for one stored value (an invalid QVariant is a missing value).
    static bool readSwitch(const QVariant& stored, bool fallback);
    static quint16 readCode(const QVariant& stored);
    static QString readText(const QVariant& stored);

  private:
    // The file's bytes; a missing file gives none. False when it cannot be read
    // (the German reason goes to the settings' log category).
    bool readFile(QByteArray& bytes) const;

    QString FFilePath;
};
