#include "net/Datagram.h"

#include <cstring>

namespace Datagram {

QByteArray build(const QByteArray& sender, const char* keyword, const QByteArray& payload) {
    const qsizetype keywordLength = qsizetype(std::strlen(keyword));
    QByteArray text;
    text.reserve(sender.size() + 1 + keywordLength + payload.size());
    text.append(sender);
    text.append(':');
    text.append(keyword, keywordLength);
    text.append(payload);
    return text;
}

bool isPresence(QByteArrayView text) {
    const qsizetype colon = text.indexOf(':');
    if (colon <= 0)
        return false;
    const QByteArrayView rest = text.sliced(colon + 1);
    return rest.startsWith(kConnect) || rest.startsWith(kRefresh) || rest.startsWith(kDisconnect);
}

} // namespace Datagram
