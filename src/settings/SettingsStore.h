#pragma once

#include "settings/LiveSettings.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// The six settings on disk: the group [Settings] of the user's settings file
// ($XDG_CONFIG_HOME/Korvel/Palavero.conf); on Windows the subkey "Settings" of
// the key HKEY_CURRENT_USER\Software\Korvel\Palavero. Every value is a string
// (REG_SZ in the registry): switches "1"/"0", the shortcut code in decimal, the
// sound file as typed. The names and reading rules of the values are one table
// in SettingsStore.cpp; SettingsIni.cpp and SettingsRegistry.cpp keep them.
class TSettingsStore {
  public:
    // The largest settings file that is read.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    // The group (the subkey in the registry) that holds the values.
    static constexpr char kGroup[] = "Settings";

    explicit TSettingsStore(QString filePath = defaultFilePath());

    // $XDG_CONFIG_HOME/Korvel/Palavero.conf (~/.config when XDG_CONFIG_HOME is
    // unset or relative); on Windows the registry key below HKEY_CURRENT_USER,
    // "Software\Korvel\Palavero".
    static QString defaultFilePath();
    QString filePath() const { return FFilePath; }

    // Reads the values in their fixed order ("Sound", "Music", "SoundFileName",
    // "SaveHistory", "UseScreenSaverShortcut", "ScreenSaverShortcutKey") into
    // `values`. A missing file (or key) gives the defaults. On a failure (the
    // file cannot be read: only a regular file of at most kMaxFileSize bytes is;
    // the key cannot be opened) it returns false and `values` keep what they held.
    bool load(TSettingsValues& values) const;

    // Writes the six values as strings into the group [Settings]; the file is
    // replaced as a whole (new file, then rename). False on failure.
    bool save(const ILiveSettings& values) const;

    // The reading rules for one stored value (an invalid QVariant is a missing value).
    static bool readSwitch(const QVariant& stored, bool fallback);
    static quint16 readCode(const QVariant& stored);
    static QString readText(const QVariant& stored);

  private:
    // The stored texts of `names` in the group, in their order (none for a
    // missing value). False when the store cannot be read.
    bool readValues(const QStringList& names, QList<std::optional<QString>>& values) const;
    // Stores the (name, text) pairs in the group. False on failure.
    bool writeValues(const QList<QPair<QString, QString>>& values) const;

    QString FFilePath;
};
