#pragma once

#include <QObject>

// Session and power events of the desktop session. An implementation that has
// no source of events (no system bus, no logind) simply never emits.
class TSessionMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TSessionMonitor() override = default;
    virtual bool isAvailable() const = 0;

Q_SIGNALS:
    void sessionLocked();       // reason 7
    void sessionUnlocked();     // reason 8
    void consoleDisconnected(); // reason 2
    void consoleConnected();    // reason 1
    void suspending();          // power event 4
    void resumed();             // power event 7
    void sessionEnding();       // the session or the system is going down
};
