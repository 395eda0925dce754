#pragma once

#include "platform/TerminationSignals.h"

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP caught through a socket pair: the handler writes
// the signal number, a socket notifier on the owning thread reads it and emits
// terminationRequested. The handlers in place before are restored when this
// object goes. Only one object of this class may exist at a time.
class TUnixTerminationSignals : public TTerminationSignals {
    Q_OBJECT
public:
    explicit TUnixTerminationSignals(QObject* parent = nullptr);
    ~TUnixTerminationSignals() override;

    // The handlers are in place.
    bool isActive() const { return FNotifier != nullptr; }
    // The handler itself ends the process (_exit); without the handlers in
    // place, the signals' default action ends it all the same.
    void endProcessOnRequest(int exitStatus) override;

private:
    void onReadable();

    QSocketNotifier* FNotifier = nullptr;
};
