#include "app/VisualStyle.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>

#include <utility>

TVisualStyle::TVisualStyle(QApplication& app, QString styleSheet)
    : QObject(&app), FApp(app), FStyleSheet(std::move(styleSheet)) {
    if (!FStyleSheet.isEmpty())
        app.installEventFilter(this);
}

void TVisualStyle::apply() {
    if (FApplied || FStyleSheet.isEmpty())
        return;
    FApplied = true;
    FApp.removeEventFilter(this);
    FApp.setStyleSheet(FStyleSheet);
}

bool TVisualStyle::eventFilter(QObject* watched, QEvent* event) {
    // A window is polished when it is first shown, before it is laid out (a
    // widget may be polished earlier, before it has a parent: it is not being
    // shown then). Menus are polished long before (the tray's when it is handed
    // over): they call apply() when about to be shown. The tray icon's own
    // window does not count.
    if (event->type() == QEvent::Polish && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide) &&
            !qobject_cast<QMenu*>(widget) && !widget->inherits("QSystemTrayIconSys"))
            apply();
    }
    return QObject::eventFilter(watched, event);
}
