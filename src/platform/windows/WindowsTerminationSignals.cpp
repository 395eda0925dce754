#include "platform/windows/WindowsTerminationSignals.h"

#include <QLoggingCategory>

#include <atomic>
#include <csignal>
#include <mutex>

#include <windows.h>

namespace {
Q_LOGGING_CATEGORY(lcSignals, "palavero.platform.signals", QtInfoMsg)

// The object that reports requests; guarded, since the handler runs on a thread of Windows.
std::mutex gLock;
TWindowsTerminationSignals* gReceiver = nullptr;
// The exit status of a process that ends at a request; -1: the request is reported.
std::atomic_int gExitStatus{-1};

int signalOf(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        return SIGINT;
    case CTRL_BREAK_EVENT:
        return SIGBREAK;
    case CTRL_CLOSE_EVENT:
        return SIGTERM;
    default:
        return 0;
    }
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    const int signo = signalOf(event);
    if (signo == 0)
        return FALSE; // the next handler, or the default action
    if (const int status = gExitStatus; status >= 0)
        ::ExitProcess(UINT(status));
    {
        const std::lock_guard lock(gLock);
        if (!gReceiver)
            return FALSE;
        QMetaObject::invokeMethod(
            gReceiver, [receiver = gReceiver, signo] { Q_EMIT receiver->terminationRequested(signo); },
            Qt::QueuedConnection);
    }
    // Windows ends the process when the handler of a closed console returns:
    // the program's own end comes first, and Windows' time limit after that.
    if (event == CTRL_CLOSE_EVENT)
        ::Sleep(INFINITE);
    return TRUE;
}
} // namespace

TWindowsTerminationSignals::TWindowsTerminationSignals(QObject* parent) : TTerminationSignals(parent) {
    const std::lock_guard lock(gLock);
    if (gReceiver) {
        qCWarning(lcSignals) << "console requests are already caught by another object";
        return;
    }
    if (!::SetConsoleCtrlHandler(&onConsoleEvent, TRUE)) {
        qCWarning(lcSignals) << "SetConsoleCtrlHandler failed; console requests keep their default action";
        return;
    }
    gReceiver = this;
    FActive = true;
}

TWindowsTerminationSignals::~TWindowsTerminationSignals() {
    if (!FActive)
        return;
    ::SetConsoleCtrlHandler(&onConsoleEvent, FALSE);
    const std::lock_guard lock(gLock);
    gReceiver = nullptr;
    gExitStatus = -1;
}

void TWindowsTerminationSignals::endProcessOnRequest(int exitStatus) {
    gExitStatus = exitStatus;
}
