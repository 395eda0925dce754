#include "platform/linux/UnixTerminationSignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcSignals, "palavero.platform.signals", QtInfoMsg)

constexpr int CaughtSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int CaughtCount = sizeof CaughtSignals / sizeof CaughtSignals[0];

// [0] is written by the handler, [1] read by the notifier.
int gPipe[2] = {-1, -1};
struct sigaction gPrevious[CaughtCount];
// The exit status of a process that ends at a request; -1: the request is reported.
volatile sig_atomic_t gExitStatus = -1;

extern "C" void OnTerminationSignal(int signo) {
    if (gExitStatus >= 0)
        ::_exit(gExitStatus);
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    if (gPipe[0] >= 0)
        (void)!::write(gPipe[0], &byte, 1);
    errno = savedErrno;
}
} // namespace

TUnixTerminationSignals::TUnixTerminationSignals(QObject* parent) : TTerminationSignals(parent) {
    if (gPipe[0] >= 0) {
        qCWarning(lcSignals) << "termination signals are already caught by another object";
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0) {
        qCWarning(lcSignals) << "socketpair failed; termination signals keep their default action";
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    // The handler must never block, even if nobody reads for a while.
    ::fcntl(gPipe[0], F_SETFL, ::fcntl(gPipe[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(gPipe[1], F_SETFL, ::fcntl(gPipe[1], F_GETFL) | O_NONBLOCK);

    FNotifier = new QSocketNotifier(gPipe[1], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TUnixTerminationSignals::onReadable);

    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < CaughtCount; ++i)
        ::sigaction(CaughtSignals[i], &action, &gPrevious[i]);
}

void TUnixTerminationSignals::endProcessOnRequest(int exitStatus) {
    gExitStatus = exitStatus;
}

TUnixTerminationSignals::~TUnixTerminationSignals() {
    if (!FNotifier)
        return;
    gExitStatus = -1;
    for (int i = 0; i < CaughtCount; ++i)
        ::sigaction(CaughtSignals[i], &gPrevious[i], nullptr);
    delete FNotifier;
    FNotifier = nullptr;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void TUnixTerminationSignals::onReadable() {
    unsigned char bytes[16];
    for (;;) {
        const ssize_t n = ::read(gPipe[1], bytes, sizeof bytes);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            Q_EMIT terminationRequested(bytes[i]);
    }
}
