#include "platform/linux/LinuxNetworkInfo.h"

#include <bit>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

QList<TInterfaceAddress> TLinuxNetworkInfo::localIPv4() const {
    QList<TInterfaceAddress> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return result;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        const TIpAddress ip(ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr));
        if (ip.isLoopback())
            continue;
        // The prefix is the length of the netmask's run of ones; unknown without one.
        int prefix = -1;
        if (entry->ifa_netmask && entry->ifa_netmask->sa_family == AF_INET) {
            const quint32 mask =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
            prefix = std::countl_one(mask);
        }
        result.append({ip, prefix});
    }
    ::freeifaddrs(list);
    return result;
}
