#include "snippets/FormTextbausteine.h"

TFormTextbausteine::TFormTextbausteine(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormTextbausteine"));
    setWindowTitle(QStringLiteral("Textbausteine"));
}
