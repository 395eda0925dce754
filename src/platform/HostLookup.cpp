#include "platform/HostLookup.h"

#include <QUrl>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {

#ifdef Q_OS_WIN
// Winsock is started once in the process before its first use.
void startSockets() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    Q_UNUSED(started);
}
#else
void startSockets() {}
#endif

TIpAddress lookUp(const QByteArray& name) {
    startSockets();
    addrinfo hints{};
    // Both families are asked for, with only those that a local address
    // could reach (as a system without IPv4 gets no IPv4 answers).
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* answers = nullptr;
    int result = ::getaddrinfo(name.constData(), nullptr, &hints, &answers);
    if (result == EAI_BADFLAGS) {
        hints.ai_flags = 0;
        result = ::getaddrinfo(name.constData(), nullptr, &hints, &answers);
    }
    if (result != 0)
        return {};
    TIpAddress first;
    for (const addrinfo* answer = answers; answer; answer = answer->ai_next) {
        if (answer->ai_family == AF_INET && answer->ai_addr) {
            first = TIpAddress(ntohl(reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr));
            break;
        }
    }
    ::freeaddrinfo(answers);
    return first;
}

} // namespace

namespace HostLookup {

QByteArray aceName(const QString& host) {
    return QUrl::toAce(host);
}

TIpAddress firstIPv4(const QString& host) {
    const TIpAddress literal = TIpAddress::parse(host.toLatin1());
    if (!literal.isNull())
        return literal.isIPv4() ? literal : TIpAddress();
    const QByteArray name = aceName(host);
    if (name.isEmpty())
        return {};
    return lookUp(name);
}

} // namespace HostLookup
