#pragma once

#include <QObject>

// Tells when the system's network interfaces or their addresses change, so that
// whoever waits for a network looks again; it does not say what changed. Used by
// one watcher at a time, and only between start() and stop().
class TNetworkChanges : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TNetworkChanges() override = default;

    // Starts listening; false where the system does not report changes (then
    // only looking again now and then finds them). Starting twice is harmless.
    virtual bool start() = 0;
    virtual void stop() = 0;

Q_SIGNALS:
    void changed();
};
