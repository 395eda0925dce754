// Where the settings are kept on Linux: the group [Settings] of an INI file.

#include "settings/SettingsStore.h"

#include "core/FileRead.h"
#include "core/FileReplace.h"
#include "settings/IniText.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSettings)

namespace {

const QString kGroup = QString::fromLatin1(TSettingsStore::kGroup);

// The file's bytes; a missing file gives none. False when it cannot be read
// (the German reason goes to the settings' log category).
bool readFile(const QString& path, QByteArray& bytes) {
    QString reason;
    if (FileRead::readAll(path, TSettingsStore::kMaxFileSize, &bytes, &reason) != FileRead::Status::Unreadable)
        return true;
    qCWarning(lcSettings).noquote() << "cannot read" << path << reason;
    return false;
}

} // namespace

QString TSettingsStore::defaultFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Korvel/Palavero.conf");
}

bool TSettingsStore::readValues(const QStringList& names, QList<std::optional<QString>>& values) const {
    // A replace cut off by a kill leaves its new file beside the old one.
    FileReplace::removeLeftovers(FFilePath);
    // A missing file is no failure: every value is missing and reads as its default.
    QByteArray bytes;
    if (!readFile(FFilePath, bytes))
        return false;
    // Lines that cannot be read are skipped; the others count.
    const TIniText ini = TIniText::fromBytes(bytes);
    for (const QString& name : names)
        values << ini.value(kGroup, name);
    return true;
}

bool TSettingsStore::writeValues(const QList<QPair<QString, QString>>& values) const {
    if (!QDir().mkpath(QFileInfo(FFilePath).absolutePath())) {
        qCWarning(lcSettings) << "cannot create the folder of" << FFilePath;
        return false;
    }
    // The other groups and lines of the file stay as they stand.
    QByteArray bytes;
    if (!readFile(FFilePath, bytes))
        return false;
    TIniText ini = TIniText::fromBytes(bytes);
    for (const auto& [name, text] : values)
        ini.setValue(kGroup, name, text);
    QString reason;
    if (!FileReplace::write(FFilePath, ini.toBytes(), &reason)) {
        qCWarning(lcSettings) << "cannot write" << FFilePath << reason;
        return false;
    }
    return true;
}
