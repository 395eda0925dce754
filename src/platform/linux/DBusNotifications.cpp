#include "platform/linux/DBusNotifications.h"

#include <QDBusAbstractInterface>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QLoggingCategory>
#include <QVariantMap>

namespace {
Q_LOGGING_CATEGORY(lcNotify, "palavero.platform.notify", QtInfoMsg)

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const char Interface[] = "org.freedesktop.Notifications";
const QString DefaultAction = QStringLiteral("default");
} // namespace

// A proxy whose Qt signals mirror the service's signals; connecting to one of
// them subscribes to the D-Bus signal.
class TNotificationsProxy : public QDBusAbstractInterface {
    Q_OBJECT
public:
    TNotificationsProxy(const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(Service, Path, Interface, bus, parent) {
        setTimeout(TDBusNotifications::CallTimeoutMs);
    }
Q_SIGNALS:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);
};

TDBusNotifications::TDBusNotifications(QObject* parent) : TDBusNotifications(QDBusConnection::sessionBus(), parent) {}

TDBusNotifications::TDBusNotifications(const QDBusConnection& bus, QObject* parent)
    : TNotifications(parent), FBus(bus) {
    if (!FBus.isConnected())
        return;
    FProxy = new TNotificationsProxy(FBus, this);
    connect(FProxy, &TNotificationsProxy::ActionInvoked, this, &TDBusNotifications::onActionInvoked);
    // Whether the service runs is watched, not asked for each message.
    auto* watcher = new QDBusServiceWatcher(Service, FBus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                FAvailable = !owner.isEmpty();
                FOwnerChanged = true;
            });
    // The first look does not hold up the start.
    const QDBusMessage hasOwner =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"))
        << Service;
    auto* first = new QDBusPendingCallWatcher(FBus.asyncCall(hasOwner, CallTimeoutMs), this);
    connect(first, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<bool> owned = *call;
        if (!FOwnerChanged)
            FAvailable = owned.isValid() && owned.value();
        call->deleteLater();
    });
}

TDBusNotifications::~TDBusNotifications() = default;

bool TDBusNotifications::isAvailable() const {
    return FAvailable;
}

bool TDBusNotifications::notify(const QString& summary, const QString& body) {
    if (!FProxy)
        return false;
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("palavero")},
                            {QStringLiteral("category"), QStringLiteral("im.received")}};
    // Sent without waiting for the answer: the message is shown at once.
    auto* call = new QDBusPendingCallWatcher(
        FProxy->asyncCall(QStringLiteral("Notify"), QStringLiteral("Palavero Lite"), uint(0), QStringLiteral("palavero"),
                          summary, body, QStringList{DefaultAction, QStringLiteral("Anzeigen")}, hints,
                          int(ExpireMs)),
        this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, summary, body](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            qCDebug(lcNotify) << "the notification was not shown:" << reply.error().message();
            Q_EMIT notShown(summary, body);
            return;
        }
        // Some services report a click after the close: the ids are kept (a few per message).
        FShown.insert(reply.value());
    });
    return true;
}

void TDBusNotifications::onActionInvoked(uint id, const QString& action) {
    if (FShown.contains(id) && action == DefaultAction)
        Q_EMIT clicked();
}

#include "DBusNotifications.moc"
