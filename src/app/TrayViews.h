#pragma once

#include <QObject>
#include <QTimer>

class QSystemTrayIcon;
class QWidget;
class TFormMainUi;
class TNotifications;

// The main window's views and its life in the tray: which view shows (compose
// or message view), the tray icon (created 4 s after a hide, retried every 2 s
// while there is no tray; without a tray at start the window shows instead),
// and how a tray click, a double click, the tray menu,
// "Schließen" and a received message show or hide the window.
class TTrayViews : public QObject {
    Q_OBJECT
public:
    TTrayViews(QWidget& window, TFormMainUi& ui, TNotifications* notifications = nullptr);
    ~TTrayViews() override;

    // Shows the message pane (message view) or hides it (compose view).
    void applyView(bool messageView);
    void UpdateMinHeight();

    void SendMessage1Click();
    void TrayIconMainClick();
    void TrayIconMainDblClick();
    void PopupMenuTrayPopup();
    void TimerTrayTimer();
    // The window part of "Schließen": focus back to the editor, into the tray.
    void hideToTray();
    // The message view, shown and raised (received messages on request).
    void showMessages();
    // A received message: the message view, shown without taking the focus.
    void showMessageView();
    void showWindow();
    // Through the desktop's notification service when one runs (whatever the
    // tray); otherwise the tray icon's balloon, when the icon exists.
    bool showBalloon(const QString& title, const QString& firstLine);
    // A click on a notification: the message view, shown and activated.
    void notificationClicked();

    // Events of the window.
    void FormShow();
    void FormHide();
    void restoredFromMinimized();

    // The end of the program: the tray icon goes.
    void removeTrayIcon();

    QSystemTrayIcon* trayIcon() const { return TrayIconMain; }
    QTimer& trayTimer() { return TimerTray; }

private:
    void showWithoutActivating();
    // The tray icon's own balloon; false without an icon.
    bool showTrayBalloon(const QString& title);

    QWidget& FWindow;
    TFormMainUi& FUi;
    TNotifications* FNotifications;
    QSystemTrayIcon* TrayIconMain = nullptr;
    QTimer TimerTray;
    bool FShowTrayIcon = true;
    bool FActivatedFromTray = false;
    bool FFirstTrayTry = true;
};
