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

    // From now on a request ends the process at once with the exit status,
    // wherever it waits, without running more of the program: for a mode that
    // waits without an event loop (reading input, waiting for an answer).
    virtual void endProcessOnRequest(int exitStatus) = 0;

Q_SIGNALS:
    void terminationRequested(int signo);
};
