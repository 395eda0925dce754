#pragma once

#include "platform/NetworkChanges.h"

#include <atomic>

// Windows' reports of IPv4 addresses coming and going
// (NotifyUnicastIpAddressChange) and of interfaces changing, such as a cable
// plugged in (NotifyIpInterfaceChange). They come on a thread of the system;
// changed() is emitted on the thread of this object, once for the reports that
// came while it had not been emitted yet.
class TWindowsNetworkChanges : public TNetworkChanges {
    Q_OBJECT
public:
    using TNetworkChanges::TNetworkChanges;
    ~TWindowsNetworkChanges() override;

    bool start() override;
    void stop() override;

    // Called on the system's thread for each report.
    void reportChange();

private:

    void* FAddressNotification = nullptr;
    void* FInterfaceNotification = nullptr;
    std::atomic_bool FReportPending{false};
};
