#pragma once

#include "platform/SessionMonitor.h"

#include <windows.h>

class TWindowsMessages;

// Session and power events from the messages Windows sends to the hidden
// window: the session notifications (WM_WTSSESSION_CHANGE) that
// WTSRegisterSessionNotification of "wtsapi32.dll", loaded at run time, asks
// for; the power events (WM_POWERBROADCAST); the question whether the session
// may end (WM_QUERYENDSESSION), always answered yes. Without the library there
// are no session notifications, and the monitor is not available; power and
// end-of-session events still come.
class TWindowsSessionMonitor : public TSessionMonitor {
    Q_OBJECT
public:
    explicit TWindowsSessionMonitor(TWindowsMessages& messages, QObject* parent = nullptr);
    ~TWindowsSessionMonitor() override;

    // Session notifications are registered for the hidden window.
    bool isAvailable() const override { return FRegistered; }

private:
    void onSessionChange(WPARAM reason);
    void onPowerEvent(WPARAM event);

    TWindowsMessages& FMessages;
    HMODULE FWtsLibrary = nullptr;
    bool FRegistered = false;
};
