#include "settings/SettingsStore.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcSettings, "palavero.settings")

namespace {

QString switchText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// One stored value: its name, how it is read (with its default) into the
// values, and how it is written from the live settings.
struct TSettingKey {
    const char* name;
    void (*read)(const QVariant& stored, TSettingsValues& values);
    QString (*write)(const ILiveSettings& live);
};

// In the order in which they are read.
const TSettingKey kKeys[] = {
    {"Sound", // the tone switch
     [](const QVariant& v, TSettingsValues& s) { s.beep = TSettingsStore::readSwitch(v, true); },
     [](const ILiveSettings& l) { return switchText(l.beepEnabled()); }},
    {"Music", // the sound-file switch
     [](const QVariant& v, TSettingsValues& s) { s.sound = TSettingsStore::readSwitch(v, false); },
     [](const ILiveSettings& l) { return switchText(l.soundEnabled()); }},
    {"SoundFileName",
     [](const QVariant& v, TSettingsValues& s) { s.soundFile = TSettingsStore::readText(v); },
     [](const ILiveSettings& l) { return l.soundFileName(); }},
    {"SaveHistory",
     [](const QVariant& v, TSettingsValues& s) { s.history = TSettingsStore::readSwitch(v, false); },
     [](const ILiveSettings& l) { return switchText(l.historyEnabled()); }},
    {"UseScreenSaverShortcut",
     [](const QVariant& v, TSettingsValues& s) { s.screenSaver = TSettingsStore::readSwitch(v, false); },
     [](const ILiveSettings& l) { return switchText(l.screenSaverEnabled()); }},
    {"ScreenSaverShortcutKey",
     [](const QVariant& v, TSettingsValues& s) { s.shortcut = TSettingsStore::readCode(v); },
     [](const ILiveSettings& l) { return QString::number(l.screenSaverShortcut()); }},
};

// The text of a stored value. A hand-written value with unquoted commas comes
// back from the INI reader as a list; it is joined again.
QString storedText(const QVariant& stored) {
    if (stored.metaType().id() == QMetaType::QStringList)
        return stored.toStringList().join(QStringLiteral(", "));
    return stored.toString();
}

bool readDecimal(const QVariant& stored, int& value) {
    if (!stored.isValid())
        return false;
    bool ok = false;
    value = storedText(stored).toInt(&ok, 10);
    return ok;
}

} // namespace

TSettingsStore::TSettingsStore(QString filePath) : FFilePath(std::move(filePath)) {}

bool TSettingsStore::readSwitch(const QVariant& stored, bool fallback) {
    int value = 0;
    return readDecimal(stored, value) ? value != 0 : fallback;
}

quint16 TSettingsStore::readCode(const QVariant& stored) {
    int value = 0;
    // The hot-key field holds 16 bits; a larger number keeps its low 16 bits.
    return readDecimal(stored, value) ? quint16(value) : 0;
}

QString TSettingsStore::readText(const QVariant& stored) {
    return stored.isValid() ? storedText(stored) : QString();
}

bool TSettingsStore::load(TSettingsValues& values) const {
    QStringList names;
    for (const TSettingKey& key : kKeys)
        names << QLatin1String(key.name);
    QList<std::optional<QString>> stored;
    if (!readValues(names, stored))
        return false;
    for (qsizetype i = 0; i < names.size(); ++i)
        kKeys[i].read(stored[i] ? QVariant(*stored[i]) : QVariant(), values);
    return true;
}

bool TSettingsStore::save(const ILiveSettings& live) const {
    // New values go in in name order, as the INI writer orders them.
    QList<const TSettingKey*> keys;
    for (const TSettingKey& key : kKeys)
        keys << &key;
    std::sort(keys.begin(), keys.end(),
              [](const TSettingKey* a, const TSettingKey* b) { return qstrcmp(a->name, b->name) < 0; });
    QList<QPair<QString, QString>> values;
    for (const TSettingKey* key : keys)
        values.append({QLatin1String(key->name), key->write(live)});
    return writeValues(values);
}
