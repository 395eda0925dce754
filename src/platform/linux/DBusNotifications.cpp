#include "platform/linux/DBusNotifications.h"

#include <QDBusAbstractInterface>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
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
}

TDBusNotifications::~TDBusNotifications() = default;

bool TDBusNotifications::isAvailable() const {
    if (!FBus.isConnected() || !FBus.interface())
        return false;
    const QDBusReply<bool> owned = FBus.interface()->isServiceRegistered(Service);
    return owned.isValid() && owned.value();
}

bool TDBusNotifications::notify(const QString& summary, const QString& body) {
    if (!FProxy)
        return false;
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("palavero")},
                            {QStringLiteral("category"), QStringLiteral("im.received")}};
    const QDBusMessage reply = FProxy->call(
        QStringLiteral("Notify"), QStringLiteral("Palavero Lite"), uint(0), QStringLiteral("palavero"), summary,
        body, QStringList{DefaultAction, QStringLiteral("Anzeigen")}, hints, int(ExpireMs));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCDebug(lcNotify) << "the notification was not shown:" << reply.errorMessage();
        return false;
    }
    // Some services report a click after the close: the ids are kept (a few per message).
    FShown.insert(reply.arguments().constFirst().toUInt());
    return true;
}

void TDBusNotifications::onActionInvoked(uint id, const QString& action) {
    if (FShown.contains(id) && action == DefaultAction)
        Q_EMIT clicked();
}

#include "DBusNotifications.moc"
