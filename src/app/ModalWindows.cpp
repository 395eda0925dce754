#include "app/ModalWindows.h"

#include <QApplication>
#include <QList>
#include <QWidget>

namespace ModalWindows {

void adopt(QWidget& dialog, QWidget& owner) {
    Qt::WindowFlags flags = dialog.windowFlags() | Qt::WindowStaysOnTopHint;
    if (!(flags & Qt::Window))
        flags |= Qt::Dialog;
    dialog.setParent(&owner, flags);
}

QWidget* ownerNow(QWidget* mainWindow) {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return mainWindow;
}

void raiseOpenModals() {
    QList<QWidget*> chain;
    for (QWidget* w = QApplication::activeModalWidget(); w;
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
        if (w->isModal() && w->isVisible())
            chain.prepend(w);
    }
    for (QWidget* w : chain)
        w->raise();
}

} // namespace ModalWindows
