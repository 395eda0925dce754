#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

class TFakeManager;
class TFakeSession;
class TFakeControl;

// A stand-in for systemd-logind on a private bus: one manager, one session
// (id "31"), and the signals of logind sent on command.
class TFakeLogind : public QObject {
    Q_OBJECT
public:
    static constexpr const char* SessionId = "31";
    static constexpr const char* SessionPath = "/org/freedesktop/login1/session/_31";

    // sessionByPid false: GetSessionByPID fails as for a process outside any session.
    TFakeLogind(const QDBusConnection& bus, bool sessionByPid, QObject* parent = nullptr);

    // Registers the objects and claims org.freedesktop.login1; false on failure.
    bool publish(QString* error);

    // Runs one command ("lock", "unlock", "active 0|1", "lockedhint 0|1",
    // "sleep 0|1", "shutdown");
    // false for a command it does not know.
    bool run(const QString& command);

    bool sessionByPid() const { return FSessionByPid; }

private:
    QDBusConnection FBus;
    bool FSessionByPid = true;
    TFakeManager* FManager = nullptr;
    TFakeSession* FSession = nullptr;
    TFakeControl* FControl = nullptr;
};

// org.freedesktop.login1.Manager at /org/freedesktop/login1.
class TFakeManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit TFakeManager(TFakeLogind* logind) : QObject(logind), FLogind(logind) {}

public Q_SLOTS:
    QDBusObjectPath GetSessionByPID(uint pid);
    QDBusObjectPath GetSession(const QString& id);

Q_SIGNALS:
    void PrepareForSleep(bool start);
    void PrepareForShutdown(bool start);

private:
    TFakeLogind* FLogind;
};

// org.freedesktop.login1.Session at the session's path.
class TFakeSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool Active READ active)
    Q_PROPERTY(bool LockedHint READ lockedHint)
    Q_PROPERTY(QString Id READ id)
public:
    explicit TFakeSession(const QDBusConnection& bus, QObject* parent) : QObject(parent), FBus(bus) {}
    bool active() const { return FActive; }
    bool lockedHint() const { return FLockedHint; }
    QString id() const { return QString::fromLatin1(TFakeLogind::SessionId); }
    // Change Active or LockedHint and announce it with PropertiesChanged.
    void setActive(bool active);
    void setLockedHint(bool locked);

Q_SIGNALS:
    void Lock();
    void Unlock();

private:
    void announce(const QString& property, bool value);

    QDBusConnection FBus;
    bool FActive = true;
    bool FLockedHint = false;
};

// org.palavero.test.FakeLogind at /org/palavero/test/FakeLogind: Emit(command).
class TFakeControl : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.palavero.test.FakeLogind")
public:
    explicit TFakeControl(TFakeLogind* logind) : QObject(logind), FLogind(logind) {}

public Q_SLOTS:
    void Emit(const QString& command);

private:
    TFakeLogind* FLogind;
};
