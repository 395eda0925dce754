#include "platform/linux/LinuxNetworkInfo.h"

#include <QNetworkInterface>

QList<TInterfaceAddress> TLinuxNetworkInfo::localIPv4() const {
    QList<TInterfaceAddress> result;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() != QAbstractSocket::IPv4Protocol || ip.isLoopback())
                continue;
            result.append({ip, entry.prefixLength()});
        }
    }
    return result;
}
