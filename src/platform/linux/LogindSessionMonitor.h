#pragma once

#include "platform/SessionMonitor.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QString>

#include <optional>

class TLogindManagerProxy;
class TLogindSessionProxy;
class TDBusPropertiesProxy;
class TScreenSaverProxy;
class QDBusPendingCallWatcher;

// Session and power events from systemd-logind on the system bus.
//
// The manager's PrepareForSleep and PrepareForShutdown signals are watched as
// soon as the bus is there. The own session is looked up without blocking
// (GetSessionByPID for this process, else GetSession with $XDG_SESSION_ID);
// once found, its Lock and Unlock signals and changes of its Active and
// LockedHint properties are watched too. The session bus's screen saver
// (org.freedesktop.ScreenSaver ActiveChanged) also tells of locks. However many
// of these sources tell of one lock or unlock, it is reported once. Without a
// system bus or without logind the monitor is not available; it then reports
// only what the screen saver tells.
class TLogindSessionMonitor : public TSessionMonitor {
    Q_OBJECT
public:
    // Watches the system bus and the session bus.
    explicit TLogindSessionMonitor(QObject* parent = nullptr);
    // Watches the given buses (for buses other than the default ones).
    TLogindSessionMonitor(const QDBusConnection& systemBus, const QDBusConnection& sessionBus,
                          QObject* parent = nullptr);
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
    void queryProperty(const QString& name);
    void reportProperty(const QString& name, bool value);
    void reportActive(bool active);
    void reportLocked(bool locked);

    QDBusConnection FBus;
    QDBusConnection FSessionBus;
    bool FAvailable = false;
    bool FLookupFinished = false;
    QString FSessionPath;
    TLogindManagerProxy* FManager = nullptr;
    TLogindSessionProxy* FSession = nullptr;
    TDBusPropertiesProxy* FSessionProperties = nullptr;
    TScreenSaverProxy* FScreenSaver = nullptr;
    // Last lock state reported; none until the first report.
    std::optional<bool> FLocked;
};
