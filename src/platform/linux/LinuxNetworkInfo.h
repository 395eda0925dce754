#pragma once

#include "platform/NetworkInfo.h"

class TLinuxNetworkInfo : public INetworkInfo {
public:
    QList<TInterfaceAddress> localIPv4() const override;
};
