#include "platform/windows/WindowsNetworkInfo.h"

#include <memory>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

QList<TInterfaceAddress> TWindowsNetworkInfo::localIPv4() const {
    QList<TInterfaceAddress> result;
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list may grow between asking for its size and fetching it: ask again.
    ULONG size = 16 * 1024;
    std::unique_ptr<char[]> buffer;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer = std::make_unique<char[]>(size);
        status = ::GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                        reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (status != NO_ERROR)
        return result;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
            continue;
        for (const IP_ADAPTER_UNICAST_ADDRESS* entry = adapter->FirstUnicastAddress; entry; entry = entry->Next) {
            const sockaddr* address = entry->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET)
                continue;
            const TIpAddress ip(ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr));
            if (!ip.isLoopback())
                result.append({ip, int(entry->OnLinkPrefixLength)});
        }
    }
    return result;
}
