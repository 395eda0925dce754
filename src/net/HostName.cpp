#include "net/HostName.h"

#include "core/Ansi.h"

#include <QHostAddress>
#include <QHostInfo>

#include <algorithm>

namespace HostName {

bool isDottedIPv4(const QByteArray& host) {
    if (host.count('.') != 3)
        return false;
    QHostAddress address;
    return address.setAddress(QString::fromLatin1(host)) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

bool isKnown(const QByteArray& host) {
    if (host == "*" || isDottedIPv4(host))
        return true;
    if (host.isEmpty())
        return false;
    const QHostInfo info = QHostInfo::fromName(Ansi::toUnicode(host));
    const QList<QHostAddress> addresses = info.addresses();
    return info.error() == QHostInfo::NoError &&
           std::any_of(addresses.begin(), addresses.end(),
                       [](const QHostAddress& a) { return a.protocol() == QAbstractSocket::IPv4Protocol; });
}

} // namespace HostName
