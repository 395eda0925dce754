#include "app/TrayViews.h"

#include "app/FormMainUi.h"
#include "core/AppTitle.h"
#include "info/Pictures.h"
#include "platform/Notifications.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QWidget>

TTrayViews::TTrayViews(QWidget& window, TFormMainUi& ui, TNotifications* notifications)
    : FWindow(window), FUi(ui), FNotifications(notifications) {
    if (FNotifications)
        connect(FNotifications, &TNotifications::clicked, this, &TTrayViews::notificationClicked);
    TimerTray.setSingleShot(true);
    TimerTray.setInterval(4000);
    connect(&TimerTray, &QTimer::timeout, this, &TTrayViews::TimerTrayTimer);
}

TTrayViews::~TTrayViews() {
    removeTrayIcon();
}

void TTrayViews::applyView(bool messageView) {
    FUi.PanelMsg->setVisible(messageView);
    UpdateMinHeight();
}

void TTrayViews::UpdateMinHeight() {
    const int frame = qMax(0, FWindow.frameGeometry().height() - FWindow.geometry().height());
    FWindow.setMinimumHeight(qMax(0, FUi.minimumOuterHeight() - frame));
}

void TTrayViews::SendMessage1Click() {
    applyView(false);
    showWindow();
    FUi.MemoSend->setFocus();
}

void TTrayViews::TrayIconMainClick() {
    FActivatedFromTray = true;
    if (FWindow.isVisible()) {
        if (FWindow.isMinimized())
            FWindow.setWindowState(FWindow.windowState() & ~Qt::WindowMinimized);
    } else {
        applyView(false);
        FWindow.show();
        FUi.MemoSend->setFocus();
    }
    if (!FWindow.isActiveWindow()) {
        FWindow.raise();
        FWindow.activateWindow();
    }
}

void TTrayViews::TrayIconMainDblClick() {
    FActivatedFromTray = true;
    SendMessage1Click();
}

void TTrayViews::PopupMenuTrayPopup() {
    FWindow.hide();
}

void TTrayViews::hideToTray() {
    FUi.MemoSend->setFocus();
    FWindow.hide();
    if (TrayIconMain)
        TrayIconMain->setVisible(true);
}

void TTrayViews::TimerTrayTimer() {
    TimerTray.stop();
    bool ok = true;
    if (!TrayIconMain) {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            TrayIconMain = new QSystemTrayIcon(Pictures::appIcon());
            TrayIconMain->setObjectName(QStringLiteral("TrayIconMain"));
            TrayIconMain->setToolTip(AppTitle::current());
            TrayIconMain->setContextMenu(FUi.PopupMenuTray);
            connect(TrayIconMain, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::Trigger)
                    TrayIconMainClick();
                else if (r == QSystemTrayIcon::DoubleClick)
                    TrayIconMainDblClick();
            });
            connect(TrayIconMain, &QSystemTrayIcon::messageClicked, this, &TTrayViews::TrayIconMainClick);
        } else {
            ok = false;
        }
    }
    if (ok) {
        TrayIconMain->setVisible(FShowTrayIcon);
        ok = TrayIconMain->isVisible() == FShowTrayIcon;
    }
    if (!ok) {
        removeTrayIcon();
        TimerTray.setInterval(2000);
        TimerTray.start();
    }
}

void TTrayViews::showMessages() {
    applyView(true);
    FWindow.show();
    FWindow.raise();
}

void TTrayViews::showMessageView() {
    if (FWindow.isVisible() && !FWindow.isActiveWindow())
        FWindow.hide();
    FWindow.setAttribute(Qt::WA_ShowWithoutActivating, true);
    FWindow.show();
    FWindow.setAttribute(Qt::WA_ShowWithoutActivating, false);
    applyView(true);
    FWindow.raise();
}

void TTrayViews::showWindow() {
    FWindow.show();
    FWindow.raise();
    FWindow.activateWindow();
}

bool TTrayViews::showBalloon(const QString& title, const QString& firstLine) {
    if (FNotifications && FNotifications->isAvailable() && FNotifications->notify(title, firstLine))
        return true;
    if (!TrayIconMain)
        return false;
    TrayIconMain->showMessage(QString(), title, QSystemTrayIcon::Information, 5000);
    return true;
}

void TTrayViews::notificationClicked() {
    FActivatedFromTray = true;
    applyView(true);
    FWindow.show();
    FWindow.raise();
    FWindow.activateWindow();
}

void TTrayViews::FormShow() {
    if (FWindow.isMinimized())
        FWindow.setWindowState(FWindow.windowState() & ~Qt::WindowMinimized);
    if (!FWindow.hasFocus() && FActivatedFromTray) {
        FActivatedFromTray = false;
        FWindow.raise();
        FWindow.activateWindow();
    }
}

void TTrayViews::FormHide() {
    FShowTrayIcon = true;
    TimerTray.start();
}

void TTrayViews::restoredFromMinimized() {
    TrayIconMainClick();
}

void TTrayViews::removeTrayIcon() {
    delete TrayIconMain;
    TrayIconMain = nullptr;
}
