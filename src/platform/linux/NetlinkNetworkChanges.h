#pragma once

#include "platform/NetworkChanges.h"

class QSocketNotifier;

// The kernel's reports of links going up or down and of IPv4 addresses coming
// and going, from a routing netlink socket that is open only while started.
class TNetlinkNetworkChanges : public TNetworkChanges {
    Q_OBJECT
public:
    using TNetworkChanges::TNetworkChanges;
    ~TNetlinkNetworkChanges() override;

    bool start() override;
    void stop() override;

private:
    void onReadable();

    int FFd = -1;
    QSocketNotifier* FNotifier = nullptr;
};
