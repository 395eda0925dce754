#include "net/HostName.h"

#include "core/Ansi.h"
#include "platform/HostLookup.h"
#include "platform/IpAddress.h"

namespace HostName {

bool isDottedIPv4(const QByteArray& host) {
    return host.count('.') == 3 && TIpAddress::parse(host).isIPv4();
}

bool isKnown(const QByteArray& host) {
    if (host == "*" || isDottedIPv4(host))
        return true;
    if (host.isEmpty())
        return false;
    return !HostLookup::firstIPv4(Ansi::toUnicode(host)).isNull();
}

} // namespace HostName
