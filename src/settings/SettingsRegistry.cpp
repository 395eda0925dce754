// Where the settings are kept on Windows: the subkey "Settings" of the
// program's key in the current user's registry, every value a REG_SZ.

#include "settings/SettingsStore.h"

#include "platform/windows/WindowsRegistry.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

namespace {

QString groupKey(const QString& key) {
    return key + QLatin1Char('\\') + QLatin1String(TSettingsStore::kGroup);
}

} // namespace

QString TSettingsStore::defaultFilePath() {
    return QStringLiteral("Software\\Korvel\\Palavero");
}

bool TSettingsStore::readValues(const QStringList& names, QList<std::optional<QString>>& values) const {
    // The program's key is made when missing; a missing subkey holds no values.
    if (!TRegistryKey(FFilePath, TRegistryKey::Mode::Create).isOpen()) {
        qCWarning(lcSettings) << "cannot open the registry key" << FFilePath;
        return false;
    }
    const TRegistryKey group(groupKey(FFilePath), TRegistryKey::Mode::Read);
    if (!group.isOpen() && !group.isMissing()) {
        qCWarning(lcSettings) << "cannot read the registry key" << groupKey(FFilePath);
        return false;
    }
    for (const QString& name : names)
        values << group.string(name);
    return true;
}

bool TSettingsStore::writeValues(const QList<QPair<QString, QString>>& values) const {
    TRegistryKey group(groupKey(FFilePath), TRegistryKey::Mode::Create);
    for (const auto& [name, text] : values) {
        if (!group.setString(name, text)) {
            qCWarning(lcSettings) << "cannot write" << name << "in the registry key" << groupKey(FFilePath);
            return false;
        }
    }
    return true;
}
