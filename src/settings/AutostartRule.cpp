#include "settings/AutostartRule.h"

namespace AutostartRule {

bool showsTicked(const QString& stored, const QString& executablePath) {
    return !stored.isEmpty() && stored.left(executablePath.size()).toLower() == executablePath.toLower();
}

TOkAction onOk(bool ticked, const QString& stored, const QString& executablePath) {
    if (ticked)
        return TOkAction::WritePath;
    if (stored.isEmpty())
        return TOkAction::Nothing;
    if (stored.left(executablePath.size()) == executablePath)
        return TOkAction::Remove;
    return TOkAction::Ask;
}

QString questionCaption() {
    return QStringLiteral("Palavero Auto Run");
}

QString questionText(const QString& stored) {
    return QStringLiteral("Eine Version von Palavero ist bereits für den Autostart konfiguriert: ") + stored +
           QStringLiteral("\nSoll dieser Eintrag gelöscht werden?");
}

QString writeFailureText(bool removing, bool settingsSaved) {
    QString text = removing
                       ? QStringLiteral("Der Autostart-Eintrag von Palavero konnte nicht entfernt werden.")
                       : QStringLiteral("Palavero konnte nicht in den Autostart eingetragen werden.");
    if (settingsSaved)
        text += QStringLiteral("\nDie übrigen Einstellungen wurden gespeichert.");
    return text;
}

} // namespace AutostartRule
