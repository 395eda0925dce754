#include "platform/windows/WindowsSessionMonitor.h"

#include "platform/windows/WindowsMessages.h"

namespace {

// The messages and codes of the Windows SDK (wtsapi32.h, winuser.h).
constexpr UINT kSessionChange = 0x02B1; // WM_WTSSESSION_CHANGE
constexpr UINT kPowerBroadcast = 0x0218; // WM_POWERBROADCAST
constexpr UINT kQueryEndSession = 0x0011; // WM_QUERYENDSESSION
constexpr DWORD kThisSession = 0;         // NOTIFY_FOR_THIS_SESSION

using TRegister = BOOL(WINAPI*)(HWND, DWORD);
using TUnregister = BOOL(WINAPI*)(HWND);

template <typename T> T resolve(HMODULE library, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

} // namespace

TWindowsSessionMonitor::TWindowsSessionMonitor(TWindowsMessages& messages, QObject* parent)
    : TSessionMonitor(parent), FMessages(messages) {
    // The notification is passed on to the default handling.
    FMessages.handle(kSessionChange, [this](WPARAM reason, LPARAM, LRESULT&) {
        onSessionChange(reason);
        return false;
    });
    FMessages.handle(kPowerBroadcast, [this](WPARAM event, LPARAM, LRESULT& result) {
        onPowerEvent(event);
        result = TRUE;
        return true;
    });
    // The departure is announced before Windows is told that the session may end.
    FMessages.handle(kQueryEndSession, [this](WPARAM, LPARAM, LRESULT& result) {
        Q_EMIT sessionEnding();
        result = TRUE;
        return true;
    });

    FWtsLibrary = ::LoadLibraryW(L"wtsapi32.dll");
    if (!FWtsLibrary)
        return;
    if (const auto registerFor = resolve<TRegister>(FWtsLibrary, "WTSRegisterSessionNotification"))
        FRegistered = registerFor(FMessages.window(), kThisSession) != FALSE;
}

TWindowsSessionMonitor::~TWindowsSessionMonitor() {
    FMessages.forget(kSessionChange);
    FMessages.forget(kPowerBroadcast);
    FMessages.forget(kQueryEndSession);
    if (!FWtsLibrary)
        return;
    if (const auto unregister = resolve<TUnregister>(FWtsLibrary, "WTSUnRegisterSessionNotification"))
        unregister(FMessages.window());
    ::FreeLibrary(FWtsLibrary);
}

void TWindowsSessionMonitor::onSessionChange(WPARAM reason) {
    switch (reason) {
    case 1: // WTS_CONSOLE_CONNECT
        Q_EMIT consoleConnected();
        break;
    case 2: // WTS_CONSOLE_DISCONNECT
        Q_EMIT consoleDisconnected();
        break;
    case 7: // WTS_SESSION_LOCK
        Q_EMIT sessionLocked();
        break;
    case 8: // WTS_SESSION_UNLOCK
        Q_EMIT sessionUnlocked();
        break;
    default:
        break;
    }
}

void TWindowsSessionMonitor::onPowerEvent(WPARAM event) {
    switch (event) {
    case 4: // PBT_APMSUSPEND
        Q_EMIT suspending();
        break;
    case 7: // PBT_APMRESUMESUSPEND
    case 2: // PBT_APMQUERYSUSPENDFAILED: the computer stays awake, as after a resume
        Q_EMIT resumed();
        break;
    default:
        break;
    }
}
