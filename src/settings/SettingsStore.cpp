#include "settings/SettingsStore.h"

#include "core/FileRead.h"
#include "core/FileReplace.h"
#include "settings/IniText.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>

#include <algorithm>

Q_LOGGING_CATEGORY(lcSettings, "palavero.settings")

namespace {

const QString kGroup = QStringLiteral("Settings");

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

QString TSettingsStore::defaultFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Korvel/Palavero.conf");
}

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

bool TSettingsStore::readFile(QByteArray& bytes) const {
    QString reason;
    if (FileRead::readAll(FFilePath, kMaxFileSize, &bytes, &reason) != FileRead::Status::Unreadable)
        return true;
    qCWarning(lcSettings).noquote() << "cannot read" << FFilePath << reason;
    return false;
}

bool TSettingsStore::load(TSettingsValues& values) const {
    // A replace cut off by a kill leaves its new file beside the old one.
    FileReplace::removeLeftovers(FFilePath);
    // A missing file is no failure: every value is missing and reads as its default.
    QByteArray bytes;
    if (!readFile(bytes))
        return false;
    // Lines that cannot be read are skipped; the others count.
    const TIniText ini = TIniText::fromBytes(bytes);
    for (const TSettingKey& key : kKeys) {
        const std::optional<QString> stored = ini.value(kGroup, QLatin1String(key.name));
        key.read(stored ? QVariant(*stored) : QVariant(), values);
    }
    return true;
}

bool TSettingsStore::save(const ILiveSettings& live) const {
    if (!QDir().mkpath(QFileInfo(FFilePath).absolutePath())) {
        qCWarning(lcSettings) << "cannot create the folder of" << FFilePath;
        return false;
    }
    // The other groups and lines of the file stay as they stand.
    QByteArray bytes;
    if (!readFile(bytes))
        return false;
    TIniText ini = TIniText::fromBytes(bytes);
    // New keys go in in name order, as the INI writer orders them.
    QList<const TSettingKey*> keys;
    for (const TSettingKey& key : kKeys)
        keys << &key;
    std::sort(keys.begin(), keys.end(),
              [](const TSettingKey* a, const TSettingKey* b) { return qstrcmp(a->name, b->name) < 0; });
    for (const TSettingKey* key : keys)
        ini.setValue(kGroup, QLatin1String(key->name), key->write(live));
    QString reason;
    if (!FileReplace::write(FFilePath, ini.toBytes(), &reason)) {
        qCWarning(lcSettings) << "cannot write" << FFilePath << reason;
        return false;
    }
    return true;
}
