#pragma once

#include <QHostAddress>
#include <QList>

struct TInterfaceAddress {
    QHostAddress address; // IPv4
    int prefixLength = 24;
    bool operator==(const TInterfaceAddress&) const = default;
};

class INetworkInfo {
public:
    virtual ~INetworkInfo() = default;
    // IPv4 addresses of the interfaces that are up and not loopback.
    virtual QList<TInterfaceAddress> localIPv4() const = 0;
};
