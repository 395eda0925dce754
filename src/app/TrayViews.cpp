#include "app/TrayViews.h"

#include "app/FormMainUi.h"
#include "app/ModalWindows.h"
#include "core/AppTitle.h"
#include "info/Pictures.h"
#include "platform/Notifications.h"
#include "platform/WindowActivation.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>

#include <utility>

TTrayViews::TTrayViews(QWidget& window, TFormMainUi& ui, TNotifications* notifications)
    : FWindow(window), FUi(ui), FNotifications(notifications) {
    if (FNotifications) {
        connect(FNotifications, &TNotifications::clicked, this, &TTrayViews::notificationClicked);
        // Refused by the service: the tray's own balloon shows it instead.
        connect(FNotifications, &TNotifications::notShown, this,
                [this](const QString& title, const QString&) { showTrayBalloon(title); });
    }
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
    // The flag is meant for the show this click causes; when the window is
    // already shown there is none, and a later message must not find it set.
    const QScopedValueRollback activated(FActivatedFromTray, true);
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
    const QScopedValueRollback activated(FActivatedFromTray, true);
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
    const bool firstTry = std::exchange(FFirstTrayTry, false);
    bool ok = true;
    if (!TrayIconMain) {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            TrayIconMain = new QSystemTrayIcon(Pictures::appIcon());
            TrayIconMain->setObjectName(QStringLiteral("TrayIconMain"));
            TrayIconMain->setToolTip(AppTitle::shownCurrent());
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
        // Still no tray 4 s after the start: the window shows in its place
        // (the tray menu by F10); a tray that comes later gets the icon.
        if (firstTry && !FWindow.isVisible())
            SendMessage1Click();
    }
}

void TTrayViews::showMessages() {
    applyView(true);
    FWindow.show();
    FWindow.raise();
}

void TTrayViews::showMessageView() {
    // A message never takes the focus, whatever state the window is in.
    FActivatedFromTray = false;
    if (FWindow.isMinimized()) {
        // Restored while hidden (a restore of a shown window is a request to
        // activate it): the restore is the program's own, not the user's, and
        // maps the window at once, without taking the focus.
        FWindow.hide();
        if (QWindow* handle = FWindow.windowHandle())
            WindowActivation::suppressNextActivation(*handle);
        FWindow.setWindowState(FWindow.windowState() & ~Qt::WindowMinimized);
    }
    // A shown window stays mapped (no new frame, no flicker): it is only raised.
    if (!FWindow.isVisible())
        showWithoutActivating();
    applyView(true);
    FWindow.raise();
    // A dialog the user is working in stays above the window.
    ModalWindows::raiseOpenModals();
}

void TTrayViews::showWithoutActivating() {
    // Qt passes the attribute to the native window only when it is created;
    // the window's property is what the platform reads at each show.
    QWindow* handle = FWindow.windowHandle();
    FWindow.setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (handle)
        handle->setProperty("_q_showWithoutActivating", true);
    FWindow.show();
    FWindow.setAttribute(Qt::WA_ShowWithoutActivating, false);
    if (handle)
        handle->setProperty("_q_showWithoutActivating", false);
}

void TTrayViews::showWindow() {
    FWindow.show();
    FWindow.raise();
    FWindow.activateWindow();
}

bool TTrayViews::showBalloon(const QString& title, const QString& firstLine) {
    if (FNotifications && FNotifications->isAvailable() && FNotifications->notify(title, firstLine))
        return true;
    return showTrayBalloon(title);
}

bool TTrayViews::showTrayBalloon(const QString& title) {
    if (!TrayIconMain)
        return false;
    TrayIconMain->showMessage(QString(), title, QSystemTrayIcon::Information, 5000);
    return true;
}

void TTrayViews::notificationClicked() {
    // Meant for this show only, as for a tray click.
    const QScopedValueRollback activated(FActivatedFromTray, true);
    applyView(true);
    FWindow.show();
    FWindow.raise();
    FWindow.activateWindow();
}

void TTrayViews::FormShow() {
    if (FWindow.isMinimized())
        FWindow.setWindowState(FWindow.windowState() & ~Qt::WindowMinimized);
    // The flag is consumed by this show, whether or not it activates.
    if (std::exchange(FActivatedFromTray, false) && !FWindow.hasFocus()) {
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
