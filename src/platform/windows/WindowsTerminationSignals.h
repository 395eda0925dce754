#pragma once

#include "platform/TerminationSignals.h"

// Ctrl+C, Ctrl+Break and the closing of the console window, caught with
// SetConsoleCtrlHandler and reported as SIGINT, SIGBREAK and SIGTERM. Windows
// calls the handler on a thread of its own; the request is delivered on the
// thread that owns this object. A closed console ends the process once the
// handler returns (or after a few seconds), so the handler then waits for the
// program to end on its own. Only one object of this class may exist at a time.
class TWindowsTerminationSignals : public TTerminationSignals {
    Q_OBJECT
public:
    explicit TWindowsTerminationSignals(QObject* parent = nullptr);
    ~TWindowsTerminationSignals() override;

    // The handler is in place.
    bool isActive() const { return FActive; }
    // The handler itself ends the process (ExitProcess).
    void endProcessOnRequest(int exitStatus) override;

private:
    bool FActive = false;
};
