#include "app/WidgetMessageBoxes.h"

#include "app/ModalWindows.h"
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

int TWidgetMessageBoxes::exec(Icon icon, const QString& caption, const QString& text,
                              QMessageBox::StandardButtons buttons) {
    QMessageBox box(toQt(icon), caption.isEmpty() ? AppTitle::shownCurrent() : caption, forDisplay(text), buttons);
    if (QWidget* owner = ModalWindows::ownerNow(FParent))
        ModalWindows::adopt(box, *owner);
    else
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return box.exec();
}

void TWidgetMessageBoxes::show(const QString& text, Icon icon, const QString& caption) {
    qCDebug(lcBoxes).noquote() << "box:" << text;
    exec(icon, caption, text, QMessageBox::Ok);
}

bool TWidgetMessageBoxes::ask(const QString& caption, const QString& text, Icon icon) {
    qCDebug(lcBoxes).noquote() << "question:" << text;
    return exec(icon, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
