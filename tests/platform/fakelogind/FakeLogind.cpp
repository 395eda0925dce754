#include "FakeLogind.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

namespace {
const QString ServiceName = QStringLiteral("org.freedesktop.login1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString ControlPath = QStringLiteral("/org/palavero/test/FakeLogind");
constexpr auto Exports = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                         QDBusConnection::ExportAllProperties;
} // namespace

TFakeLogind::TFakeLogind(const QDBusConnection& bus, bool sessionByPid, QObject* parent)
    : QObject(parent), FBus(bus), FSessionByPid(sessionByPid) {
    FManager = new TFakeManager(this);
    FSession = new TFakeSession(FBus, this);
    FControl = new TFakeControl(this);
}

bool TFakeLogind::publish(QString* error) {
    if (!FBus.isConnected()) {
        *error = QStringLiteral("no bus: ") + FBus.lastError().message();
        return false;
    }
    if (!FBus.registerObject(ManagerPath, FManager, Exports) ||
        !FBus.registerObject(QString::fromLatin1(SessionPath), FSession, Exports) ||
        !FBus.registerObject(ControlPath, FControl, Exports)) {
        *error = QStringLiteral("cannot register objects: ") + FBus.lastError().message();
        return false;
    }
    const auto reply =
        FBus.interface()->registerService(ServiceName, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        *error = QStringLiteral("cannot own ") + ServiceName + QStringLiteral(": ") + reply.error().message();
        return false;
    }
    return true;
}

bool TFakeLogind::run(const QString& command) {
    const QStringList words = command.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.size() > 2)
        return false;
    const QString verb = words.constFirst().toLower();
    const QString arg = words.size() > 1 ? words.at(1) : QString();
    const bool isFlag = arg == QLatin1String("0") || arg == QLatin1String("1");
    const bool flag = arg == QLatin1String("1");
    if (verb == QLatin1String("lock") && arg.isEmpty())
        Q_EMIT FSession->Lock();
    else if (verb == QLatin1String("unlock") && arg.isEmpty())
        Q_EMIT FSession->Unlock();
    else if (verb == QLatin1String("active") && isFlag)
        FSession->setActive(flag);
    else if (verb == QLatin1String("lockedhint") && isFlag)
        FSession->setLockedHint(flag);
    else if (verb == QLatin1String("sleep") && isFlag)
        Q_EMIT FManager->PrepareForSleep(flag);
    else if (verb == QLatin1String("shutdown") && (arg.isEmpty() || flag))
        Q_EMIT FManager->PrepareForShutdown(true);
    else
        return false;
    return true;
}

QDBusObjectPath TFakeManager::GetSessionByPID(uint pid) {
    if (!FLogind->sessionByPid()) {
        sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSessionForPID"),
                       QStringLiteral("PID %1 does not belong to any known session").arg(pid));
        return {};
    }
    return QDBusObjectPath(QString::fromLatin1(TFakeLogind::SessionPath));
}

QDBusObjectPath TFakeManager::GetSession(const QString& id) {
    if (id != QLatin1String(TFakeLogind::SessionId)) {
        sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSuchSession"),
                       QStringLiteral("No session '%1' known").arg(id));
        return {};
    }
    return QDBusObjectPath(QString::fromLatin1(TFakeLogind::SessionPath));
}

void TFakeSession::setActive(bool active) {
    FActive = active;
    announce(QStringLiteral("Active"), active);
}

void TFakeSession::setLockedHint(bool locked) {
    FLockedHint = locked;
    announce(QStringLiteral("LockedHint"), locked);
}

void TFakeSession::announce(const QString& property, bool value) {
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(TFakeLogind::SessionPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    QVariantMap changed;
    changed.insert(property, value);
    signal << QStringLiteral("org.freedesktop.login1.Session") << changed << QStringList();
    FBus.send(signal);
}

void TFakeControl::Emit(const QString& command) {
    if (!FLogind->run(command))
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("unknown command: ") + command);
}
