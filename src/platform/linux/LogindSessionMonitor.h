#pragma once

#include "platform/SessionMonitor.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QString>

class TLogindManagerProxy;
class TLogindSessionProxy;
class TDBusPropertiesProxy;
class QDBusPendingCallWatcher;

// Session and power events from systemd-logind on the system bus.
//
// The manager's PrepareForSleep and PrepareForShutdown signals are watched as
// soon as the bus is there. The own session is looked up without blocking
// (GetSessionByPID for this process, else GetSession with $XDG_SESSION_ID);
// once found, its Lock and Unlock signals and changes of its Active property
// are watched too. Without a system bus or without logind the monitor is not
// available and stays silent.
class TLogindSessionMonitor : public TSessionMonitor {
    Q_OBJECT
public:
    // Watches the system bus.
    explicit TLogindSessionMonitor(QObject* parent = nullptr);
    // Watches the given bus (for a bus other than the default system bus).
    explicit TLogindSessionMonitor(const QDBusConnection& bus, QObject* parent = nullptr);
    ~TLogindSessionMonitor() override;

    bool isAvailable() const override { return FAvailable; }

    // The own session was found and its events are watched.
    bool hasSession() const { return !FSessionPath.isEmpty(); }
    // Object path of the own session, empty until (or unless) it was found.
    QString sessionPath() const { return FSessionPath; }
    // The session lookup has ended, with or without a session.
    bool isLookupFinished() const { return FLookupFinished; }

    // Timeout of every call this monitor makes to the bus.
    static constexpr int CallTimeoutMs = 2000;

Q_SIGNALS:
    // The session lookup has ended; found tells whether the own session is watched.
    void lookupFinished(bool found);

private:
    void start();
    void lookupByPid();
    void lookupById(const QString& id);
    void onLookupReply(QDBusPendingCallWatcher* watcher, bool byPid);
    void finishLookup(const QString& path);
    void watchSession(const QString& path);
    void onPrepareForSleep(bool start);
    void onPrepareForShutdown(bool start);
    void onSessionPropertiesChanged(const QString& interfaceName, const QVariantMap& changed,
                                    const QStringList& invalidated);
    void queryActive();
    void reportActive(bool active);

    QDBusConnection FBus;
    bool FAvailable = false;
    bool FLookupFinished = false;
    QString FSessionPath;
    TLogindManagerProxy* FManager = nullptr;
    TLogindSessionProxy* FSession = nullptr;
    TDBusPropertiesProxy* FSessionProperties = nullptr;
};
