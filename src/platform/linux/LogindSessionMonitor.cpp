#include "platform/linux/LogindSessionMonitor.h"

#include <QDBusAbstractInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QLoggingCategory>

#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcLogind, "palavero.platform.logind", QtInfoMsg)

const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString ActiveProperty = QStringLiteral("Active");
const QString LockedHintProperty = QStringLiteral("LockedHint");
const QString ScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");

// True when the bus is connected and someone owns the logind name.
bool LogindPresent(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return false;
    QDBusMessage query = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    query << LogindService;
    const QDBusMessage reply = bus.call(query, QDBus::Block, TLogindSessionMonitor::CallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

QVariant Unwrapped(const QVariant& value) {
    if (value.canConvert<QDBusVariant>())
        return qvariant_cast<QDBusVariant>(value).variant();
    return value;
}
} // namespace

// Proxies whose Qt signals mirror the D-Bus signals; connecting to one of them
// subscribes to the D-Bus signal (QDBusAbstractInterface does the matching).
class TLogindManagerProxy : public QDBusAbstractInterface {
    Q_OBJECT
  public:
    TLogindManagerProxy(const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(LogindService, ManagerPath, ManagerInterface.toLatin1().constData(), bus,
                                 parent) {
        setTimeout(TLogindSessionMonitor::CallTimeoutMs);
    }
  Q_SIGNALS:
    void PrepareForSleep(bool start);
    void PrepareForShutdown(bool start);
};

class TLogindSessionProxy : public QDBusAbstractInterface {
    Q_OBJECT
  public:
    TLogindSessionProxy(const QDBusConnection& bus, const QString& path, QObject* parent)
        : QDBusAbstractInterface(LogindService, path, SessionInterface.toLatin1().constData(), bus, parent) {
        setTimeout(TLogindSessionMonitor::CallTimeoutMs);
    }
  Q_SIGNALS:
    void Lock();
    void Unlock();
};

class TDBusPropertiesProxy : public QDBusAbstractInterface {
    Q_OBJECT
  public:
    TDBusPropertiesProxy(const QDBusConnection& bus, const QString& path, QObject* parent)
        : QDBusAbstractInterface(LogindService, path, PropertiesInterface.toLatin1().constData(), bus,
                                 parent) {
        setTimeout(TLogindSessionMonitor::CallTimeoutMs);
    }
  Q_SIGNALS:
    void PropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                           const QStringList& invalidated);
};

// The desktop's screen saver; ActiveChanged(true) when the screen is locked.
class TScreenSaverProxy : public QDBusAbstractInterface {
    Q_OBJECT
  public:
    TScreenSaverProxy(const QDBusConnection& bus, QObject* parent)
        : QDBusAbstractInterface(ScreenSaverService, ScreenSaverPath,
                                 ScreenSaverService.toLatin1().constData(), bus, parent) {
        setTimeout(TLogindSessionMonitor::CallTimeoutMs);
    }
  Q_SIGNALS:
    void ActiveChanged(bool active);
};

TLogindSessionMonitor::TLogindSessionMonitor(QObject* parent)
    : TLogindSessionMonitor(QDBusConnection::systemBus(), QDBusConnection::sessionBus(), parent) {}

TLogindSessionMonitor::TLogindSessionMonitor(const QDBusConnection& systemBus,
                                             const QDBusConnection& sessionBus, QObject* parent)
    : TSessionMonitor(parent), FBus(systemBus), FSessionBus(sessionBus) {
    start();
}

TLogindSessionMonitor::~TLogindSessionMonitor() = default;

void TLogindSessionMonitor::start() {
    if (FSessionBus.isConnected()) {
        FScreenSaver = new TScreenSaverProxy(FSessionBus, this);
        connect(FScreenSaver, &TScreenSaverProxy::ActiveChanged, this, &TLogindSessionMonitor::reportLocked);
    }
    FAvailable = LogindPresent(FBus);
    if (!FAvailable) {
        qCDebug(lcLogind) << "no logind on the system bus; no session events";
        FLookupFinished = true;
        return;
    }
    // Power events do not depend on the own session.
    FManager = new TLogindManagerProxy(FBus, this);
    connect(FManager, &TLogindManagerProxy::PrepareForSleep, this, &TLogindSessionMonitor::onPrepareForSleep);
    connect(FManager, &TLogindManagerProxy::PrepareForShutdown, this,
            &TLogindSessionMonitor::onPrepareForShutdown);
    lookupByPid();
}

void TLogindSessionMonitor::lookupByPid() {
    QDBusMessage call = QDBusMessage::createMethodCall(LogindService, ManagerPath, ManagerInterface,
                                                       QStringLiteral("GetSessionByPID"));
    call << static_cast<uint>(::getpid());
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* w) { onLookupReply(w, true); });
}

void TLogindSessionMonitor::lookupById(const QString& id) {
    QDBusMessage call = QDBusMessage::createMethodCall(LogindService, ManagerPath, ManagerInterface,
                                                       QStringLiteral("GetSession"));
    call << id;
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* w) { onLookupReply(w, false); });
}

void TLogindSessionMonitor::onLookupReply(QDBusPendingCallWatcher* watcher, bool byPid) {
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (!reply.isError() && !reply.value().path().isEmpty()) {
        finishLookup(reply.value().path());
        return;
    }
    qCDebug(lcLogind) << (byPid ? "GetSessionByPID" : "GetSession") << "failed:" << reply.error().message();
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (byPid && !id.isEmpty()) {
        lookupById(id);
        return;
    }
    finishLookup(QString());
}

void TLogindSessionMonitor::finishLookup(const QString& path) {
    if (!path.isEmpty())
        watchSession(path);
    FLookupFinished = true;
    Q_EMIT lookupFinished(!path.isEmpty());
}

void TLogindSessionMonitor::watchSession(const QString& path) {
    FSession = new TLogindSessionProxy(FBus, path, this);
    connect(FSession, &TLogindSessionProxy::Lock, this, [this] { reportLocked(true); });
    connect(FSession, &TLogindSessionProxy::Unlock, this, [this] { reportLocked(false); });
    FSessionProperties = new TDBusPropertiesProxy(FBus, path, this);
    connect(FSessionProperties, &TDBusPropertiesProxy::PropertiesChanged, this,
            &TLogindSessionMonitor::onSessionPropertiesChanged);
    FSessionPath = path;
    qCDebug(lcLogind) << "watching session" << path;
}

void TLogindSessionMonitor::onPrepareForSleep(bool start) {
    if (start)
        Q_EMIT suspending();
    else
        Q_EMIT resumed();
}

void TLogindSessionMonitor::onPrepareForShutdown(bool start) {
    if (start)
        Q_EMIT sessionEnding();
}

void TLogindSessionMonitor::onSessionPropertiesChanged(const QString& interfaceName,
                                                       const QVariantMap& changed,
                                                       const QStringList& invalidated) {
    if (interfaceName != SessionInterface)
        return;
    for (const QString& name : {ActiveProperty, LockedHintProperty}) {
        const auto it = changed.constFind(name);
        if (it != changed.constEnd())
            reportProperty(name, Unwrapped(it.value()).toBool());
        else if (invalidated.contains(name))
            queryProperty(name);
    }
}

// A change announced without its value: ask for the value.
void TLogindSessionMonitor::queryProperty(const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(LogindService, FSessionPath, PropertiesInterface,
                                                       QStringLiteral("Get"));
    call << SessionInterface << name;
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, name](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (!reply.isError())
            reportProperty(name, reply.value().variant().toBool());
    });
}

void TLogindSessionMonitor::reportProperty(const QString& name, bool value) {
    if (name == ActiveProperty)
        reportActive(value);
    else
        reportLocked(value);
}

void TLogindSessionMonitor::reportActive(bool active) {
    if (active)
        Q_EMIT consoleConnected();
    else
        Q_EMIT consoleDisconnected();
}

// Logind's signals, LockedHint and the screen saver tell of the same lock: report changes only.
void TLogindSessionMonitor::reportLocked(bool locked) {
    if (FLocked == locked)
        return;
    FLocked = locked;
    if (locked)
        Q_EMIT sessionLocked();
    else
        Q_EMIT sessionUnlocked();
}

#include "LogindSessionMonitor.moc"
