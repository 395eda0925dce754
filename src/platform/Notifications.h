#pragma once

#include <QObject>
#include <QString>

// The desktop's notifications (on Linux the org.freedesktop.Notifications
// service of the session bus). Arrivals go through them whatever the tray.
class TNotifications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TNotifications() override = default;

    // Whether a notification service runs now (it may come and go); known
    // without asking, so that each message costs no round trip.
    virtual bool isAvailable() const = 0;
    // Shows a notification without waiting for it; false when it cannot be
    // sent, notShown() when the service refused it afterwards.
    virtual bool notify(const QString& summary, const QString& body) = 0;

Q_SIGNALS:
    // A notification the service did not show (it went away, or failed).
    void notShown(const QString& summary, const QString& body);
    // The user clicked one of this program's notifications.
    void clicked();
};
