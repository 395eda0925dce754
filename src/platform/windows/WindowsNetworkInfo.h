#pragma once

#include "platform/NetworkInfo.h"

// The IPv4 addresses of the adapters that are up, from GetAdaptersAddresses,
// each with the prefix of its own network.
class TWindowsNetworkInfo : public INetworkInfo {
public:
    QList<TInterfaceAddress> localIPv4() const override;
};
