// libFuzzer entry point for the settings file reader.
//
// Whatever the bytes (the reader only ever sees a regular file of bounded
// size), reading the six values must not crash, and a value written into the
// text must read back as written, with the lines around it kept.

#include "common/FuzzCheck.h"
#include "settings/IniText.h"
#include "settings/SettingsStore.h"

#include <QVariant>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString group = QStringLiteral("Settings");
    const TIniText ini = TIniText::fromBytes(bytes);
    for (const char* key : {"Sound", "Music", "SaveHistory", "UseScreenSaverShortcut"}) {
        const std::optional<QString> stored = ini.value(group, QLatin1String(key));
        TSettingsStore::readSwitch(stored ? QVariant(*stored) : QVariant(), true);
    }
    const std::optional<QString> code = ini.value(group, QStringLiteral("ScreenSaverShortcutKey"));
    TSettingsStore::readCode(code ? QVariant(*code) : QVariant());

    // The bytes' own first line as the sound file: any text survives the round trip.
    const QString value = QString::fromUtf8(bytes.left(bytes.indexOf('\n') < 0 ? 64 : bytes.indexOf('\n')));
    TIniText changed = ini;
    changed.setValue(group, QStringLiteral("SoundFileName"), value);
    const TIniText back = TIniText::fromBytes(changed.toBytes());
    check(back.value(group, QStringLiteral("SoundFileName")) == value);
    check(back.toBytes() == changed.toBytes());
    for (const char* key : {"Sound", "Music", "SaveHistory", "UseScreenSaverShortcut", "ScreenSaverShortcutKey"})
        check(back.value(group, QLatin1String(key)) == ini.value(group, QLatin1String(key)));
    return 0;
}
