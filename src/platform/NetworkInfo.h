#pragma once

#include "platform/IpAddress.h"

#include <QList>

struct TInterfaceAddress {
    TIpAddress address; // IPv4
    int prefixLength = 24;
    bool operator==(const TInterfaceAddress&) const = default;
};

class INetworkInfo {
public:
    virtual ~INetworkInfo() = default;
    // IPv4 addresses of the interfaces that are up and not loopback.
    virtual QList<TInterfaceAddress> localIPv4() const = 0;
};
