#include "app/WidgetMessageBoxes.h"

#include "core/AppTitle.h"

#include <QLoggingCategory>
#include <QMessageBox>

Q_LOGGING_CATEGORY(lcBoxes, "palavero.boxes", QtInfoMsg)

namespace {

QMessageBox::Icon toQt(IMessageBoxes::Icon icon) {
    switch (icon) {
    case IMessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case IMessageBoxes::Icon::Warning:
        return QMessageBox::Warning;
    case IMessageBoxes::Icon::Error:
        return QMessageBox::Critical;
    case IMessageBoxes::Icon::Question:
        return QMessageBox::Question;
    case IMessageBoxes::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString forDisplay(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t;
}

} // namespace

void TWidgetMessageBoxes::show(const QString& text, Icon icon, const QString& caption) {
    qCDebug(lcBoxes).noquote() << "box:" << text;
    QMessageBox box(toQt(icon), caption.isEmpty() ? AppTitle::current() : caption, forDisplay(text), QMessageBox::Ok,
                    FParent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

bool TWidgetMessageBoxes::ask(const QString& caption, const QString& text, Icon icon) {
    qCDebug(lcBoxes).noquote() << "question:" << text;
    QMessageBox box(toQt(icon), caption, forDisplay(text), QMessageBox::Yes | QMessageBox::No, FParent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return box.exec() == QMessageBox::Yes;
}
