#pragma once

#include "platform/Notifications.h"

#include <QDBusConnection>
#include <QSet>

class TNotificationsProxy;

// Notifications through org.freedesktop.Notifications: the program's name,
// its icon and desktop entry ("palavero"), a default action that reports a
// click, and the shown time of the tray balloon (5 s).
class TDBusNotifications : public TNotifications {
    Q_OBJECT
public:
    static constexpr int CallTimeoutMs = 2000;
    static constexpr int ExpireMs = 5000;

    explicit TDBusNotifications(QObject* parent = nullptr);
    // For tests: another bus.
    explicit TDBusNotifications(const QDBusConnection& bus, QObject* parent = nullptr);
    ~TDBusNotifications() override;

    bool isAvailable() const override;
    bool notify(const QString& summary, const QString& body) override;

private:
    void onActionInvoked(uint id, const QString& action);

    QDBusConnection FBus;
    TNotificationsProxy* FProxy = nullptr;
    QSet<uint> FShown; // ids of this program's notifications
    bool FAvailable = false;    // the service has an owner on the bus
    bool FOwnerChanged = false; // a change was heard before the first look was answered
};
