#include "groups/FormGroups.h"

TFormGroups::TFormGroups(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormGroups"));
    setWindowTitle(QStringLiteral("Gruppen"));
}

TFormNewGroup::TFormNewGroup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormNewGroup"));
    setWindowTitle(QStringLiteral("Neue Gruppe"));
}
