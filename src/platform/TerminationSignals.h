#pragma once

#include <QObject>

// Requests from the operating system to end the program (on Linux SIGTERM,
// SIGINT and SIGHUP), delivered as a Qt signal on the thread that owns this
// object, so that the program can end in its orderly way.
class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TTerminationSignals() override = default;

Q_SIGNALS:
    void terminationRequested(int signo);
};
