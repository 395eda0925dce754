#include "platform/SocketAddress.h"

#include <cstring>

#ifdef Q_OS_WIN
#include <iphlpapi.h>
#include <netioapi.h>
#else
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#endif

namespace SocketAddress {

TIpAddress toIpAddress(const sockaddr_storage& from) {
    if (from.ss_family == AF_INET)
        return TIpAddress(ntohl(reinterpret_cast<const sockaddr_in&>(from).sin_addr.s_addr));
    if (from.ss_family != AF_INET6)
        return {};
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(from);
    TIpAddress::TIPv6Bytes bytes;
    std::memcpy(bytes.data(), &in6.sin6_addr, bytes.size());
    QByteArray zone;
    if (in6.sin6_scope_id != 0) {
        char name[IF_NAMESIZE];
        zone = ::if_indextoname(in6.sin6_scope_id, name) ? QByteArray(name)
                                                         : QByteArray::number(quint32(in6.sin6_scope_id));
    }
    return TIpAddress(bytes, zone);
}

bool fromIpAddress(const TIpAddress& address, quint16 port, sockaddr_storage& out, socklen_t& length) {
    std::memset(&out, 0, sizeof out);
    if (address.isIPv4()) {
        auto* in = reinterpret_cast<sockaddr_in*>(&out);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4());
        length = sizeof *in;
        return true;
    }
    if (address.isIPv6()) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&out);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        std::memcpy(&in6->sin6_addr, address.toIPv6().data(), address.toIPv6().size());
        const QByteArray zone = address.zone();
        bool numeric = false;
        in6->sin6_scope_id = zone.toUInt(&numeric);
        if (!numeric && !zone.isEmpty())
            in6->sin6_scope_id = ::if_nametoindex(zone.constData());
        length = sizeof *in6;
        return true;
    }
    return false;
}

} // namespace SocketAddress
