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

    // Whether a notification service runs now (it may come and go).
    virtual bool isAvailable() const = 0;
    // Shows a notification; false when it could not be shown.
    virtual bool notify(const QString& summary, const QString& body) = 0;

Q_SIGNALS:
    // The user clicked one of this program's notifications.
    void clicked();
};
